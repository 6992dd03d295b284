#include "shape.h"

#include <cmath>

namespace artwork {
namespace {

double Min(double a, double b) { return a < b ? a : b; }
double Max(double a, double b) { return a > b ? a : b; }

Bounds Expand(Bounds b, double amount) { return {b.x0 - amount, b.y0 - amount, b.x1 + amount, b.y1 + amount}; }

Bounds Hull(Bounds a, Bounds b) { return {Min(a.x0, b.x0), Min(a.y0, b.y0), Max(a.x1, b.x1), Max(a.y1, b.y1)}; }

Bounds Overlap(Bounds a, Bounds b) { return {Max(a.x0, b.x0), Max(a.y0, b.y0), Min(a.x1, b.x1), Min(a.y1, b.y1)}; }

}  // namespace

Shape CircleShape(Point centre, double radius) {
  return {{centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius},
          [=](Point p) { return CircleDistance(p, centre, radius); }};
}

Shape RectShape(double x0, double y0, double x1, double y1) { return RoundedRectShape(x0, y0, x1, y1, 0.0); }

Shape RoundedRectShape(double x0, double y0, double x1, double y1, double radius) {
  Point centre{(x0 + x1) / 2.0, (y0 + y1) / 2.0};
  Point half{(x1 - x0) / 2.0, (y1 - y0) / 2.0};
  return {{x0, y0, x1, y1}, [=](Point p) { return RoundedBoxDistance(p, centre, half, radius); }};
}

Shape LineShape(Point from, Point to, double width) {
  double half = width / 2.0;
  Bounds b{Min(from.x, to.x), Min(from.y, to.y), Max(from.x, to.x), Max(from.y, to.y)};
  return {Expand(b, half), [=](Point p) { return DistanceToSegment(p, from, to) - half; }};
}

Shape RingShape(Point centre, double radius, double width) {
  return Outline(CircleShape(centre, radius), width);
}

Shape PolygonShape(const std::vector<Point>& corners) {
  Bounds b{1e300, 1e300, -1e300, -1e300};
  for (const Point& c : corners) b = Hull(b, {c.x, c.y, c.x, c.y});
  return {b, [corners](Point p) {
            return PolygonDistance(p, corners.data(), static_cast<int>(corners.size()));
          }};
}

Shape GearShape(Point centre, double rootRadius, double tipRadius, int teeth, double toothWidth, double phase) {
  double pitch = 2.0 * kPi / teeth;
  return {{centre.x - tipRadius, centre.y - tipRadius, centre.x + tipRadius, centre.y + tipRadius},
          [=](Point p) {
            // Work in a y-up frame, turned so the nearest tooth lies on +x.
            Point q{p.x - centre.x, centre.y - p.y};
            double angle = Atan2(q.y, q.x) - phase;
            double nearest = std::floor(angle / pitch + 0.5) * pitch;
            Point local = Rotate(q, -(nearest + phase));
            double body = Length(local) - rootRadius;
            // Teeth narrow toward the tip, like a real spur gear's.
            double base = toothWidth * 0.6;
            double tip = toothWidth * 0.4;
            const Point tooth[4] = {{rootRadius - 1.0, -base}, {tipRadius, -tip}, {tipRadius, tip}, {rootRadius - 1.0, base}};
            return Min(body, PolygonDistance(local, tooth, 4));
          }};
}

Shape Union(const Shape& a, const Shape& b) {
  return {Hull(a.bounds, b.bounds), [a, b](Point p) { return Min(a.distance(p), b.distance(p)); }};
}

Shape SmoothUnion(const Shape& a, const Shape& b, double k) {
  return {Hull(a.bounds, b.bounds),
          [a, b, k](Point p) { return SmoothUnionDistance(a.distance(p), b.distance(p), k); }};
}

Shape Intersection(const Shape& a, const Shape& b) {
  return {Overlap(a.bounds, b.bounds), [a, b](Point p) { return Max(a.distance(p), b.distance(p)); }};
}

Shape Subtract(const Shape& from, const Shape& cut) {
  return {from.bounds, [from, cut](Point p) { return Max(from.distance(p), -cut.distance(p)); }};
}

Shape Grow(const Shape& shape, double amount) {
  return {Expand(shape.bounds, amount > 0.0 ? amount : 0.0),
          [shape, amount](Point p) { return shape.distance(p) - amount; }};
}

Shape Outline(const Shape& shape, double width) {
  double half = width / 2.0;
  return {Expand(shape.bounds, half), [shape, half](Point p) { return std::fabs(shape.distance(p)) - half; }};
}

Shape Translate(const Shape& shape, double dx, double dy) {
  Bounds b = shape.bounds;
  return {{b.x0 + dx, b.y0 + dy, b.x1 + dx, b.y1 + dy},
          [shape, dx, dy](Point p) { return shape.distance({p.x - dx, p.y - dy}); }};
}

}  // namespace artwork
