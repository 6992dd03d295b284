// Shapes as signed distance functions (negative inside) with a bounding box.
// Painting samples the distance at pixel centres, which gives anti-aliased
// edges, outlines, glows and rounded seams from one description.
#pragma once

#include <functional>
#include <vector>

#include "geometry.h"

namespace artwork {

struct Bounds {
  double x0;
  double y0;
  double x1;
  double y1;
};

struct Shape {
  Bounds bounds;  // no part of the shape lies outside
  std::function<double(Point)> distance;
};

Shape CircleShape(Point centre, double radius);
Shape RectShape(double x0, double y0, double x1, double y1);
Shape RoundedRectShape(double x0, double y0, double x1, double y1, double radius);
// A straight stroke with round caps.
Shape LineShape(Point from, Point to, double width);
Shape RingShape(Point centre, double radius, double width);
Shape PolygonShape(const std::vector<Point>& corners);
// A toothed wheel; the first tooth points at `phase` radians (y-up sense).
Shape GearShape(Point centre, double rootRadius, double tipRadius, int teeth, double toothWidth, double phase);

Shape Union(const Shape& a, const Shape& b);
Shape SmoothUnion(const Shape& a, const Shape& b, double k);
Shape Intersection(const Shape& a, const Shape& b);
Shape Subtract(const Shape& from, const Shape& cut);
// Grows (amount > 0) or shrinks (amount < 0) a shape along its normals.
Shape Grow(const Shape& shape, double amount);
// The band of the given width centred on the shape's edge.
Shape Outline(const Shape& shape, double width);
Shape Translate(const Shape& shape, double dx, double dy);

}  // namespace artwork
