// A floating-point drawing surface with anti-aliased painting of shapes, and
// a per-pixel "solid" flag that decides which pixels survive as picture and
// which become the see-through colour key when the canvas is flattened.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "geometry.h"
#include "shape.h"

namespace artwork {

// Colour channels in 0..1.
struct Rgb {
  double r;
  double g;
  double b;
};

// Straight (not premultiplied) alpha.
struct Rgba {
  double r;
  double g;
  double b;
  double a;
};

struct Rgb8 {
  std::uint8_t r;
  std::uint8_t g;
  std::uint8_t b;
};

inline bool operator==(Rgb8 x, Rgb8 y) { return x.r == y.r && x.g == y.g && x.b == y.b; }

Rgb FromBytes(int r, int g, int b);
Rgb MixRgb(Rgb a, Rgb b, double t);

// Top-down 8-bit pictures: 3 or 4 bytes a pixel, in R, G, B(, A) order.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
};

// What colour a shape is painted with at each point.
using Paint = std::function<Rgba(Point)>;

struct ColourStop {
  double at;  // 0..1 along the gradient, increasing from stop to stop
  Rgb colour;
  double alpha;
};

Paint SolidPaint(Rgb colour, double alpha = 1.0);
Paint LinearGradient(Point from, Point to, std::vector<ColourStop> stops);
Paint RadialGradient(Point centre, double radius, std::vector<ColourStop> stops);

class Canvas {
 public:
  // Pictures are at most this many pixels on a side.
  static constexpr int kMaxSide = 4096;

  // Every pixel starts as `fill` and not solid. False for a bad size.
  bool Init(int width, int height, Rgba fill);

  int width() const { return width_; }
  int height() const { return height_; }

  // Paints the shape with a one-pixel anti-aliased edge.
  void Fill(const Shape& shape, const Paint& paint, double opacity = 1.0);
  // Paints with an edge blurred over `softness` pixels: shadows and glows.
  void SoftFill(const Shape& shape, const Paint& paint, double softness, double opacity);

  // Marks the pixels whose centres lie inside the shape as picture (Solidify)
  // or as see-through (Cut). These are hard decisions, never blended.
  void Solidify(const Shape& shape);
  void Cut(const Shape& shape);
  bool IsSolid(int x, int y) const;

  // Copies a rectangle that lies wholly inside this canvas.
  bool Crop(int x, int y, int width, int height, Canvas* out) const;

  // Solid pixels keep their colour, except that one that would round to
  // exactly the key is nudged off it; all other pixels become the key.
  bool FlattenKeyed(Rgb8 key, RgbImage* out) const;
  // Colour and coverage, for icons; the solid flags play no part.
  bool ToRgba(RgbaImage* out) const;

 private:
  struct Pixel {
    double r, g, b, a;  // premultiplied
  };

  template <typename CoverageFn>
  void PaintArea(const Bounds& area, const Shape& shape, const Paint& paint, double opacity,
             CoverageFn coverage);
  void Mark(const Shape& shape, bool solid);

  int width_ = 0;
  int height_ = 0;
  std::vector<Pixel> pixels_;
  std::vector<std::uint8_t> solid_;
};

// The 8-bit value of a 0..1 channel, rounded to nearest.
std::uint8_t ToByte(double channel);

}  // namespace artwork
