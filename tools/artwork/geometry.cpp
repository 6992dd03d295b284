#include "geometry.h"

#include <cmath>

namespace artwork {

double Length(Point a) { return std::sqrt(a.x * a.x + a.y * a.y); }

double Clamp(double value, double low, double high) {
  if (value < low) return low;
  if (value > high) return high;
  return value;
}

double Mix(double a, double b, double t) { return a + (b - a) * t; }

double SmoothStep(double edge0, double edge1, double x) {
  double t = Clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

void SinCos(double radians, double* sine, double* cosine) {
  // Reduce to [-pi/4, pi/4] around the nearest quarter turn, where seven
  // terms of each series are accurate to the last few bits of a double.
  double quarter = std::floor(radians / (kPi / 2.0) + 0.5);
  double r = radians - quarter * (kPi / 2.0);
  double r2 = r * r;
  // Horner form of the Taylor series; each factor divides by the next two
  // factorial terms, (2k)(2k+1) for the sine and (2k-1)(2k) for the cosine.
  double s = 1.0;
  for (int k = 7; k >= 1; --k) s = 1.0 - r2 / ((2.0 * k) * (2.0 * k + 1.0)) * s;
  s *= r;
  double c = 1.0;
  for (int k = 7; k >= 1; --k) c = 1.0 - r2 / ((2.0 * k - 1.0) * (2.0 * k)) * c;
  double turn = quarter - 4.0 * std::floor(quarter / 4.0);  // 0..3, also for negative angles
  if (turn == 0.0) {
    *sine = s;
    *cosine = c;
  } else if (turn == 1.0) {
    *sine = c;
    *cosine = -s;
  } else if (turn == 2.0) {
    *sine = -s;
    *cosine = -c;
  } else {
    *sine = -c;
    *cosine = s;
  }
}

namespace {

// atan for 0 <= z <= 1.
double AtanUnit(double z) {
  // Shift by pi/6 to keep the series argument below tan(pi/12).
  const double kTanPi12 = 0.2679491924311227;
  const double kSqrt3 = 1.7320508075688772;
  double offset = 0.0;
  if (z > kTanPi12) {
    z = (z * kSqrt3 - 1.0) / (kSqrt3 + z);
    offset = kPi / 6.0;
  }
  double z2 = z * z;
  double sum = 0.0;
  for (int k = 10; k >= 0; --k) {
    double term = 1.0 / (2.0 * k + 1.0);
    sum = (k % 2 == 0 ? term : -term) + z2 * sum;
  }
  return offset + z * sum;
}

}  // namespace

double Atan2(double y, double x) {
  if (x == 0.0 && y == 0.0) return 0.0;
  double ax = std::fabs(x);
  double ay = std::fabs(y);
  double a = ay <= ax ? AtanUnit(ay / ax) : kPi / 2.0 - AtanUnit(ax / ay);
  if (x < 0.0) a = kPi - a;
  return y < 0.0 ? -a : a;
}

Point Rotate(Point p, double radians) {
  double s = 0.0;
  double c = 1.0;
  SinCos(radians, &s, &c);
  return {p.x * c - p.y * s, p.x * s + p.y * c};
}

double DistanceToSegment(Point p, Point a, Point b) {
  Point ab = b - a;
  double lengthSquared = Dot(ab, ab);
  double t = lengthSquared > 0.0 ? Clamp(Dot(p - a, ab) / lengthSquared, 0.0, 1.0) : 0.0;
  return Length(p - (a + ab * t));
}

double DistanceToMinorArc(Point p, Point centre, Point from, Point to) {
  Point a = from - centre;
  Point b = to - centre;
  Point q = p - centre;
  double turn = Cross(a, b);
  // Inside the arc's wedge both cross products share the arc's turning sense.
  if (Cross(a, q) * turn >= 0.0 && Cross(q, b) * turn >= 0.0) {
    return std::fabs(Length(q) - Length(a));
  }
  double da = Length(p - from);
  double db = Length(p - to);
  return da < db ? da : db;
}

double CircleDistance(Point p, Point centre, double radius) { return Length(p - centre) - radius; }

double RoundedBoxDistance(Point p, Point centre, Point halfSize, double radius) {
  double qx = std::fabs(p.x - centre.x) - halfSize.x + radius;
  double qy = std::fabs(p.y - centre.y) - halfSize.y + radius;
  double outside = Length({qx > 0.0 ? qx : 0.0, qy > 0.0 ? qy : 0.0});
  double inside = qx > qy ? qx : qy;
  if (inside > 0.0) inside = 0.0;
  return outside + inside - radius;
}

double PolygonDistance(Point p, const Point* corners, int count) {
  double best = 1e300;
  bool inside = false;
  for (int i = 0, j = count - 1; i < count; j = i++) {
    Point a = corners[j];
    Point b = corners[i];
    double d = DistanceToSegment(p, a, b);
    if (d < best) best = d;
    if ((b.y > p.y) != (a.y > p.y) && p.x < (a.x - b.x) * (p.y - b.y) / (a.y - b.y) + b.x) {
      inside = !inside;
    }
  }
  return inside ? -best : best;
}

double SmoothUnionDistance(double a, double b, double k) {
  double h = Clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
  return Mix(b, a, h) - k * h * (1.0 - h);
}

}  // namespace artwork
