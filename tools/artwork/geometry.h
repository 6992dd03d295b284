// Plane geometry for the artwork generator: points, signed distances and a
// few math helpers.
//
// The trigonometry is our own polynomial code rather than the C library's so
// that the generated pictures are byte-for-byte the same on every machine:
// it uses only +, -, *, / and sqrt, which IEEE 754 rounds identically
// everywhere.
#pragma once

namespace artwork {

constexpr double kPi = 3.14159265358979323846;

struct Point {
  double x;
  double y;
};

inline Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
inline Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
inline Point operator*(Point a, double s) { return {a.x * s, a.y * s}; }
inline double Dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }
inline double Cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
double Length(Point a);

double Clamp(double value, double low, double high);
double Mix(double a, double b, double t);
// Hermite ease between 0 at edge0 and 1 at edge1.
double SmoothStep(double edge0, double edge1, double x);

void SinCos(double radians, double* sine, double* cosine);
double Atan2(double y, double x);
// Rotates p about the origin, counter-clockwise in a y-up frame.
Point Rotate(Point p, double radians);

// Unsigned distance from p to the segment a-b (a point when a == b).
double DistanceToSegment(Point p, Point a, Point b);
// Unsigned distance from p to the minor arc of the circle around centre that
// runs from `from` to `to` (both on the circle).
double DistanceToMinorArc(Point p, Point centre, Point from, Point to);

// Signed distances: negative inside.
double CircleDistance(Point p, Point centre, double radius);
double RoundedBoxDistance(Point p, Point centre, Point halfSize, double radius);
// Polygon by even-odd rule; any simple polygon with at least 3 corners.
double PolygonDistance(Point p, const Point* corners, int count);

// Union of two signed distances that rounds the concave seam with radius k.
double SmoothUnionDistance(double a, double b, double k);

}  // namespace artwork
