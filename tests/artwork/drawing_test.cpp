// The drawing kit: deterministic math, shape distances, painting, the
// colour-key flattening and the built-in font.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "canvas.h"
#include "font.h"
#include "geometry.h"
#include "shape.h"

namespace artwork {
namespace {

// ------------------------------------------------------------- math

TEST(DeterministicMath, SinCosMatchesTheLibraryEverywhere) {
  const double angles[] = {0.0, 0.3, kPi / 4.0, 1.0, kPi / 2.0, 2.0, 3.0, kPi, 4.5, 6.0, 7.5, 20.0, -0.5, -2.4, -9.0};
  for (double a : angles) {
    double s = 0.0;
    double c = 0.0;
    SinCos(a, &s, &c);
    EXPECT_NEAR(s, std::sin(a), 1e-12) << "angle " << a;
    EXPECT_NEAR(c, std::cos(a), 1e-12) << "angle " << a;
  }
}

TEST(DeterministicMath, Atan2MatchesTheLibraryInEveryQuadrant) {
  const double ys[] = {0.0, 1.0, -1.0, 0.2, -3.0, 7.0};
  const double xs[] = {1.0, -1.0, 0.0, 5.0, -0.3, 0.9};
  for (double y : ys) {
    for (double x : xs) {
      if (x == 0.0 && y == 0.0) continue;
      EXPECT_NEAR(Atan2(y, x), std::atan2(y, x), 1e-12) << "y " << y << " x " << x;
    }
  }
}

TEST(DeterministicMath, RotateTurnsCounterClockwise) {
  Point p = Rotate({1.0, 0.0}, kPi / 2.0);
  EXPECT_NEAR(p.x, 0.0, 1e-12);
  EXPECT_NEAR(p.y, 1.0, 1e-12);
}

// -------------------------------------------------------- distances

struct DistanceCase {
  const char* name;
  Point p;
  double expected;
};

TEST(SignedDistance, Circle) {
  const DistanceCase cases[] = {
      {"centre", {0.0, 0.0}, -2.0}, {"outside", {5.0, 0.0}, 3.0}, {"on edge", {0.0, -2.0}, 0.0}, {"diagonal", {3.0, 4.0}, 3.0}};
  for (const DistanceCase& c : cases) EXPECT_NEAR(CircleDistance(c.p, {0.0, 0.0}, 2.0), c.expected, 1e-12) << c.name;
}

TEST(SignedDistance, RoundedBox) {
  // A 10 x 6 box centred on the origin with corners of radius 2.
  const DistanceCase cases[] = {{"centre", {0.0, 0.0}, -3.0},
                                {"right of it", {8.0, 0.0}, 3.0},
                                {"above it", {0.0, -5.0}, 2.0},
                                {"near a side", {4.0, 0.0}, -1.0},
                                {"off a rounded corner", {3.0 + 3.0, 1.0 + 4.0}, 3.0}};
  for (const DistanceCase& c : cases) {
    EXPECT_NEAR(RoundedBoxDistance(c.p, {0.0, 0.0}, {5.0, 3.0}, 2.0), c.expected, 1e-12) << c.name;
  }
}

TEST(SignedDistance, Polygon) {
  const Point triangle[] = {{0.0, 0.0}, {4.0, 0.0}, {0.0, 4.0}};
  const DistanceCase cases[] = {{"inside", {1.0, 1.0}, -1.0},
                                {"below", {2.0, -3.0}, 3.0},
                                {"off a corner", {7.0, -4.0}, 5.0},
                                {"on an edge", {2.0, 2.0}, 0.0}};
  for (const DistanceCase& c : cases) EXPECT_NEAR(PolygonDistance(c.p, triangle, 3), c.expected, 1e-12) << c.name;
}

TEST(SignedDistance, MinorArcMeasuresToTheCurveOrItsEnds) {
  // The quarter circle of radius 1 from +x to +y.
  const DistanceCase cases[] = {{"beyond its middle", {std::sqrt(2.0), std::sqrt(2.0)}, 1.0},
                                {"at the centre", {0.0, 0.0}, 1.0},
                                {"past its start", {1.0, -1.0}, 1.0},
                                {"beside its end", {-3.0, 1.0}, 3.0}};
  for (const DistanceCase& c : cases) {
    EXPECT_NEAR(DistanceToMinorArc(c.p, {0.0, 0.0}, {1.0, 0.0}, {0.0, 1.0}), c.expected, 1e-3) << c.name;
  }
}

TEST(SignedDistance, SmoothUnionOnlyRoundsWhereShapesMeet) {
  EXPECT_DOUBLE_EQ(SmoothUnionDistance(1.0, 9.0, 4.0), 1.0);
  EXPECT_DOUBLE_EQ(SmoothUnionDistance(-6.0, 2.0, 4.0), -6.0);
  // Where both are close the seam is filled in: below either distance.
  EXPECT_LT(SmoothUnionDistance(1.0, 1.5, 4.0), 1.0);
}

TEST(Shapes, CombinationsFollowSetRules) {
  Shape a = CircleShape({0.0, 0.0}, 2.0);
  Shape b = CircleShape({3.0, 0.0}, 2.0);
  struct Case {
    const char* name;
    Shape shape;
    Point p;
    bool inside;
  };
  const Case cases[] = {
      {"union, only in a", Union(a, b), {-1.5, 0.0}, true},
      {"union, in neither", Union(a, b), {1.5, 3.0}, false},
      {"intersection, in both", Intersection(a, b), {1.5, 0.0}, true},
      {"intersection, only in a", Intersection(a, b), {-1.5, 0.0}, false},
      {"subtract, only in a", Subtract(a, b), {-1.5, 0.0}, true},
      {"subtract, in both", Subtract(a, b), {1.5, 0.0}, false},
      {"grown", Grow(a, 1.0), {2.5, 0.0}, true},
      {"shrunk", Grow(a, -1.0), {1.5, 0.0}, false},
      {"outline, on the edge", Outline(a, 1.0), {2.0, 0.0}, true},
      {"outline, at the centre", Outline(a, 1.0), {0.0, 0.0}, false},
      {"translated", Translate(a, 10.0, 0.0), {10.0, 0.0}, true},
      {"line, beside it", LineShape({0.0, 0.0}, {10.0, 0.0}, 2.0), {5.0, 0.9}, true},
      {"line, past its cap", LineShape({0.0, 0.0}, {10.0, 0.0}, 2.0), {11.2, 0.0}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.shape.distance(c.p) < 0.0, c.inside) << c.name;
}

TEST(Shapes, GearHasTeethAtTheTipRadiusAndGapsBetween) {
  // Eight teeth, the first pointing up.
  Shape gear = GearShape({0.0, 0.0}, 10.0, 14.0, 8, 4.0, kPi / 2.0);
  EXPECT_LT(gear.distance({0.0, -13.0}), 0.0);  // in the upward tooth (y grows downward)
  Point gap = Rotate({0.0, 13.0}, kPi / 8.0);
  EXPECT_GT(gear.distance({gap.x, -gap.y}), 0.0);
  EXPECT_LT(gear.distance({0.0, 0.0}), 0.0);
  EXPECT_GT(gear.distance({0.0, -15.0}), 0.0);
}

// ----------------------------------------------------------- canvas

Rgb8 PixelOf(const RgbImage& image, int x, int y) {
  const std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
  return {p[0], p[1], p[2]};
}

TEST(Canvas, RejectsImpossibleSizes) {
  Canvas c;
  EXPECT_FALSE(c.Init(0, 5, {0.0, 0.0, 0.0, 1.0}));
  EXPECT_FALSE(c.Init(5, -1, {0.0, 0.0, 0.0, 1.0}));
  EXPECT_FALSE(c.Init(Canvas::kMaxSide + 1, 1, {0.0, 0.0, 0.0, 1.0}));
  EXPECT_TRUE(c.Init(Canvas::kMaxSide, 1, {0.0, 0.0, 0.0, 1.0}));
}

TEST(Canvas, EdgesAreBlendedByCoverage) {
  Canvas c;
  ASSERT_TRUE(c.Init(3, 1, {0.0, 0.0, 0.0, 1.0}));
  c.Solidify(RectShape(0.0, 0.0, 3.0, 1.0));
  c.Fill(RectShape(0.0, 0.0, 1.5, 1.0), SolidPaint({1.0, 1.0, 1.0}));
  RgbImage out;
  ASSERT_TRUE(c.FlattenKeyed({11, 80, 19}, &out));
  EXPECT_EQ(PixelOf(out, 0, 0).r, 255);
  EXPECT_NEAR(PixelOf(out, 1, 0).r, 128, 2);
  EXPECT_EQ(PixelOf(out, 2, 0).r, 0);
}

TEST(Canvas, FlatteningKeysExactlyTheNonSolidPixels) {
  const Rgb8 key{11, 80, 19};
  struct Case {
    const char* name;
    Rgb8 painted;
    bool solid;
    Rgb8 expected;
  };
  const Case cases[] = {
      {"picture pixel keeps its colour", {200, 40, 60}, true, {200, 40, 60}},
      {"picture pixel next to the key stays", {11, 81, 19}, true, {11, 81, 19}},
      {"picture pixel equal to the key is nudged", {11, 80, 19}, true, {11, 81, 19}},
      {"see-through pixel becomes the key", {200, 40, 60}, false, key},
  };
  for (const Case& tc : cases) {
    Canvas c;
    ASSERT_TRUE(c.Init(1, 1, {tc.painted.r / 255.0, tc.painted.g / 255.0, tc.painted.b / 255.0, 1.0}));
    if (tc.solid) c.Solidify(RectShape(0.0, 0.0, 1.0, 1.0));
    RgbImage out;
    ASSERT_TRUE(c.FlattenKeyed(key, &out));
    EXPECT_EQ(PixelOf(out, 0, 0), tc.expected) << tc.name;
  }
}

TEST(Canvas, SolidAndCutDecideByPixelCentre) {
  Canvas c;
  ASSERT_TRUE(c.Init(6, 1, {0.0, 0.0, 0.0, 1.0}));
  c.Solidify(RectShape(0.0, 0.0, 4.4, 1.0));  // centres 0.5 .. 3.5 inside
  c.Cut(RectShape(1.6, 0.0, 2.6, 1.0));       // only centre 2.5 inside
  const bool expected[] = {true, true, false, true, false, false};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(c.IsSolid(x, 0), expected[x]) << "x " << x;
  EXPECT_FALSE(c.IsSolid(-1, 0));
  EXPECT_FALSE(c.IsSolid(6, 0));
}

TEST(Canvas, CropCopiesColourAndSolidityAndStaysInside) {
  Canvas c;
  ASSERT_TRUE(c.Init(4, 4, {0.0, 0.0, 0.0, 1.0}));
  c.Solidify(RectShape(2.0, 2.0, 4.0, 4.0));
  c.Fill(RectShape(3.0, 3.0, 4.0, 4.0), SolidPaint({1.0, 0.0, 0.0}));
  Canvas part;
  EXPECT_FALSE(c.Crop(3, 3, 2, 2, &part));
  EXPECT_FALSE(c.Crop(-1, 0, 2, 2, &part));
  ASSERT_TRUE(c.Crop(2, 2, 2, 2, &part));
  EXPECT_TRUE(part.IsSolid(0, 0));
  RgbImage out;
  ASSERT_TRUE(part.FlattenKeyed({11, 80, 19}, &out));
  EXPECT_EQ(PixelOf(out, 1, 1), (Rgb8{255, 0, 0}));
  EXPECT_EQ(PixelOf(out, 0, 0), (Rgb8{0, 0, 0}));
}

TEST(Canvas, TransparentGroundKeepsCoverageAsAlpha) {
  Canvas c;
  ASSERT_TRUE(c.Init(2, 1, {0.0, 0.0, 0.0, 0.0}));
  c.Fill(RectShape(0.0, 0.0, 1.0, 1.0), SolidPaint({0.0, 0.0, 1.0}));
  c.Fill(RectShape(1.0, 0.0, 2.0, 1.0), SolidPaint({0.0, 0.0, 1.0}), 0.5);
  RgbaImage out;
  ASSERT_TRUE(c.ToRgba(&out));
  EXPECT_EQ(out.rgba[2], 255);
  EXPECT_EQ(out.rgba[3], 255);
  EXPECT_EQ(out.rgba[6], 255);  // colour is not darkened by partial cover
  EXPECT_NEAR(out.rgba[7], 128, 1);
}

TEST(Paints, GradientsInterpolateBetweenStops) {
  Paint linear = LinearGradient({0.0, 0.0}, {10.0, 0.0}, {{0.0, {0.0, 0.0, 0.0}, 1.0}, {1.0, {1.0, 0.5, 0.0}, 0.0}});
  EXPECT_NEAR(linear({5.0, 3.0}).r, 0.5, 1e-12);
  EXPECT_NEAR(linear({5.0, 3.0}).a, 0.5, 1e-12);
  EXPECT_NEAR(linear({-5.0, 0.0}).r, 0.0, 1e-12);  // held before the first stop
  EXPECT_NEAR(linear({20.0, 0.0}).g, 0.5, 1e-12);  // and after the last
  Paint radial = RadialGradient({0.0, 0.0}, 4.0, {{0.0, {1.0, 1.0, 1.0}, 1.0}, {1.0, {0.0, 0.0, 0.0}, 1.0}});
  EXPECT_NEAR(radial({0.0, 1.0}).b, 0.75, 1e-12);
}

// ------------------------------------------------------------- font

TEST(Font, HasEveryLetterDigitAndCommonMark) {
  const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -.,:'/";
  const TextStyle style{10.0, 2.0, 0.0, 0.0};
  for (char ch : alphabet) {
    double width = 0.0;
    EXPECT_TRUE(MeasureText(std::string(1, ch), style, &width)) << "'" << ch << "'";
    EXPECT_GE(width, style.weight) << "'" << ch << "'";
  }
}

TEST(Font, RefusesCharactersItCannotDraw) {
  const TextStyle style{10.0, 2.0, 0.0, 0.0};
  const char* texts[] = {"#", "ORVEK~", "a\nb", "\xC3\xA9"};
  for (const char* text : texts) {
    double width = 0.0;
    Shape shape;
    EXPECT_FALSE(MeasureText(text, style, &width)) << text;
    EXPECT_FALSE(TextShape(text, 0.0, 10.0, style, &shape)) << text;
  }
}

TEST(Font, TrackingAddsSpaceBetweenLettersOnly) {
  const TextStyle tight{20.0, 3.0, 0.0, 0.0};
  const TextStyle loose{20.0, 3.0, 5.0, 0.0};
  double a = 0.0;
  double b = 0.0;
  ASSERT_TRUE(MeasureText("PATCH", tight, &a));
  ASSERT_TRUE(MeasureText("PATCH", loose, &b));
  EXPECT_NEAR(b - a, 4 * 5.0, 1e-9);
  double shorter = 0.0;
  ASSERT_TRUE(MeasureText("PATC", tight, &shorter));
  EXPECT_LT(shorter, a);
}

TEST(Font, InkSitsOnTheBaselineFromTheLeftEdge) {
  // An "I" of cap height 20 with a 4-pixel pen: its stem's centre is at
  // left + 2 and runs from the baseline up 20 pixels.
  const TextStyle upright{20.0, 4.0, 0.0, 0.0};
  Shape i;
  ASSERT_TRUE(TextShape("I", 10.0, 50.0, upright, &i));
  EXPECT_LT(i.distance({12.0, 40.0}), 0.0);
  EXPECT_LT(i.distance({12.0, 31.0}), 0.0);
  EXPECT_GT(i.distance({12.0, 27.0}), 0.0);
  EXPECT_GT(i.distance({12.0, 53.0}), 0.0);
  EXPECT_GT(i.distance({17.0, 40.0}), 0.0);
  // Slanted, the top of the stem leans right by slant times its height.
  const TextStyle italic{20.0, 4.0, 0.0, 0.5};
  ASSERT_TRUE(TextShape("I", 10.0, 50.0, italic, &i));
  EXPECT_LT(i.distance({12.0 + 9.0, 32.0}), 0.0);
  EXPECT_GT(i.distance({12.0, 32.0}), 0.0);
}

TEST(Font, EveryGlyphsInkLiesWithinItsBounds) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-.,:'/";
  const TextStyle style{12.0, 3.0, 0.0, 0.2};
  for (char ch : alphabet) {
    Shape glyph;
    ASSERT_TRUE(TextShape(std::string(1, ch), 20.0, 30.0, style, &glyph));
    int ink = 0;
    for (double y = 0.0; y < 60.0; y += 0.5) {
      for (double x = 0.0; x < 60.0; x += 0.5) {
        if (glyph.distance({x, y}) >= 0.0) continue;
        ++ink;
        const Bounds& b = glyph.bounds;
        EXPECT_TRUE(x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1) << "'" << ch << "' at " << x << "," << y;
      }
    }
    EXPECT_GT(ink, 0) << "'" << ch << "' has no ink";
  }
}

}  // namespace
}  // namespace artwork
