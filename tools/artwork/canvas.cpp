#include "canvas.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace artwork {

Rgb FromBytes(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

Rgb MixRgb(Rgb a, Rgb b, double t) { return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)}; }

std::uint8_t ToByte(double channel) {
  return static_cast<std::uint8_t>(std::floor(Clamp(channel, 0.0, 1.0) * 255.0 + 0.5));
}

namespace {

Rgba Sample(const std::vector<ColourStop>& stops, double t) {
  if (stops.empty()) return {0.0, 0.0, 0.0, 0.0};
  if (t <= stops.front().at) {
    const ColourStop& s = stops.front();
    return {s.colour.r, s.colour.g, s.colour.b, s.alpha};
  }
  for (std::size_t i = 1; i < stops.size(); ++i) {
    const ColourStop& lo = stops[i - 1];
    const ColourStop& hi = stops[i];
    if (t <= hi.at) {
      double span = hi.at - lo.at;
      double u = span > 0.0 ? (t - lo.at) / span : 1.0;
      Rgb c = MixRgb(lo.colour, hi.colour, u);
      return {c.r, c.g, c.b, Mix(lo.alpha, hi.alpha, u)};
    }
  }
  const ColourStop& s = stops.back();
  return {s.colour.r, s.colour.g, s.colour.b, s.alpha};
}

}  // namespace

Paint SolidPaint(Rgb colour, double alpha) {
  return [=](Point) { return Rgba{colour.r, colour.g, colour.b, alpha}; };
}

Paint LinearGradient(Point from, Point to, std::vector<ColourStop> stops) {
  Point axis = to - from;
  double lengthSquared = Dot(axis, axis);
  return [=, stops = std::move(stops)](Point p) {
    double t = lengthSquared > 0.0 ? Dot(p - from, axis) / lengthSquared : 0.0;
    return Sample(stops, t);
  };
}

Paint RadialGradient(Point centre, double radius, std::vector<ColourStop> stops) {
  return [=, stops = std::move(stops)](Point p) { return Sample(stops, Length(p - centre) / radius); };
}

bool Canvas::Init(int width, int height, Rgba fill) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
  width_ = width;
  height_ = height;
  std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  pixels_.assign(count, Pixel{fill.r * fill.a, fill.g * fill.a, fill.b * fill.a, fill.a});
  solid_.assign(count, 0);
  return true;
}

template <typename CoverageFn>
void Canvas::PaintArea(const Bounds& area, const Shape& shape, const Paint& paint, double opacity,
                   CoverageFn coverage) {
  // Clip in floating point first so that huge bounds cannot overflow an int.
  int x0 = static_cast<int>(std::floor(Clamp(area.x0, 0.0, width_)));
  int y0 = static_cast<int>(std::floor(Clamp(area.y0, 0.0, height_)));
  int x1 = static_cast<int>(std::ceil(Clamp(area.x1, 0.0, width_)));
  int y1 = static_cast<int>(std::ceil(Clamp(area.y1, 0.0, height_)));
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      Point centre{x + 0.5, y + 0.5};
      double cover = coverage(shape.distance(centre));
      if (cover <= 0.0) continue;
      Rgba colour = paint(centre);
      double a = Clamp(cover * opacity * colour.a, 0.0, 1.0);
      if (a <= 0.0) continue;
      Pixel& px = pixels_[static_cast<std::size_t>(y) * width_ + x];
      px.r = colour.r * a + px.r * (1.0 - a);
      px.g = colour.g * a + px.g * (1.0 - a);
      px.b = colour.b * a + px.b * (1.0 - a);
      px.a = a + px.a * (1.0 - a);
    }
  }
}

void Canvas::Fill(const Shape& shape, const Paint& paint, double opacity) {
  const Bounds& b = shape.bounds;
  PaintArea({b.x0 - 1.0, b.y0 - 1.0, b.x1 + 1.0, b.y1 + 1.0}, shape, paint, opacity,
        [](double d) { return Clamp(0.5 - d, 0.0, 1.0); });
}

void Canvas::SoftFill(const Shape& shape, const Paint& paint, double softness, double opacity) {
  if (softness < 1.0) softness = 1.0;
  const Bounds& b = shape.bounds;
  double reach = softness / 2.0 + 1.0;
  PaintArea({b.x0 - reach, b.y0 - reach, b.x1 + reach, b.y1 + reach}, shape, paint, opacity,
        [softness](double d) { return SmoothStep(0.0, 1.0, 0.5 - d / softness); });
}

void Canvas::Mark(const Shape& shape, bool solid) {
  const Bounds& b = shape.bounds;
  int x0 = static_cast<int>(std::floor(Clamp(b.x0 - 1.0, 0.0, width_)));
  int y0 = static_cast<int>(std::floor(Clamp(b.y0 - 1.0, 0.0, height_)));
  int x1 = static_cast<int>(std::ceil(Clamp(b.x1 + 1.0, 0.0, width_)));
  int y1 = static_cast<int>(std::ceil(Clamp(b.y1 + 1.0, 0.0, height_)));
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      if (shape.distance({x + 0.5, y + 0.5}) < 0.0) {
        solid_[static_cast<std::size_t>(y) * width_ + x] = solid ? 1 : 0;
      }
    }
  }
}

void Canvas::Solidify(const Shape& shape) { Mark(shape, true); }

void Canvas::Cut(const Shape& shape) { Mark(shape, false); }

bool Canvas::IsSolid(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  return solid_[static_cast<std::size_t>(y) * width_ + x] != 0;
}

bool Canvas::Crop(int x, int y, int width, int height, Canvas* out) const {
  if (x < 0 || y < 0 || width < 1 || height < 1) return false;
  if (x > width_ - width || y > height_ - height) return false;
  if (!out->Init(width, height, {0.0, 0.0, 0.0, 0.0})) return false;
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      std::size_t from = static_cast<std::size_t>(y + row) * width_ + (x + col);
      std::size_t to = static_cast<std::size_t>(row) * width + col;
      out->pixels_[to] = pixels_[from];
      out->solid_[to] = solid_[from];
    }
  }
  return true;
}

bool Canvas::FlattenKeyed(Rgb8 key, RgbImage* out) const {
  if (width_ < 1 || height_ < 1) return false;
  out->width = width_;
  out->height = height_;
  out->rgb.assign(static_cast<std::size_t>(width_) * height_ * 3, 0);
  for (std::size_t i = 0; i < pixels_.size(); ++i) {
    Rgb8 c = key;
    if (solid_[i]) {
      // Solid pixels are opaque by construction; drop any leftover alpha.
      const Pixel& px = pixels_[i];
      c = {ToByte(px.r), ToByte(px.g), ToByte(px.b)};
      // A picture pixel must never turn see-through by chance.
      if (c == key) c.g = static_cast<std::uint8_t>(key.g < 255 ? key.g + 1 : key.g - 1);
    }
    out->rgb[i * 3 + 0] = c.r;
    out->rgb[i * 3 + 1] = c.g;
    out->rgb[i * 3 + 2] = c.b;
  }
  return true;
}

bool Canvas::ToRgba(RgbaImage* out) const {
  if (width_ < 1 || height_ < 1) return false;
  out->width = width_;
  out->height = height_;
  out->rgba.assign(static_cast<std::size_t>(width_) * height_ * 4, 0);
  for (std::size_t i = 0; i < pixels_.size(); ++i) {
    const Pixel& px = pixels_[i];
    std::uint8_t alpha = ToByte(px.a);
    if (alpha == 0) continue;  // fully transparent pixels stay black
    out->rgba[i * 4 + 0] = ToByte(px.r / px.a);
    out->rgba[i * 4 + 1] = ToByte(px.g / px.a);
    out->rgba[i * 4 + 2] = ToByte(px.b / px.a);
    out->rgba[i * 4 + 3] = alpha;
  }
  return true;
}

}  // namespace artwork
