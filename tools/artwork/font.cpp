#include "font.h"

#include <cmath>
#include <map>
#include <vector>

namespace artwork {
namespace {

constexpr double kCapHeight = 10.0;
constexpr double kXHeight = 7.0;
constexpr double kDescender = -3.0;
constexpr double kLetterGap = 2.8;  // between glyph boxes, in grid units
constexpr double kRound = 2.5;      // corner radius of capitals
constexpr double kRoundSmall = 2.0; // corner radius of small letters

// A piece of a glyph's centre line: a straight run, or (when arc is set) the
// minor arc around centre from `from` to `to`.
struct Segment {
  Point from;
  Point to;
  bool arc;
  Point centre;
};

struct Glyph {
  double width = 0.0;  // of the centre lines
  std::vector<Segment> segments;
};

// A corner of a path; radius 0 keeps it sharp.
struct Corner {
  double x;
  double y;
  double radius;
};

class GlyphBuilder {
 public:
  explicit GlyphBuilder(double width) { glyph_.width = width; }

  GlyphBuilder& Line(double x0, double y0, double x1, double y1) {
    glyph_.segments.push_back({{x0, y0}, {x1, y1}, false, {0.0, 0.0}});
    return *this;
  }

  GlyphBuilder& Spot(double x, double y) { return Line(x, y, x, y); }

  // A polyline whose inner corners are rounded off with each corner's radius.
  GlyphBuilder& Path(const std::vector<Corner>& corners) { return Trace(corners, false); }
  GlyphBuilder& Loop(const std::vector<Corner>& corners) { return Trace(corners, true); }

  const Glyph& glyph() const { return glyph_; }

 private:
  GlyphBuilder& Trace(const std::vector<Corner>& corners, bool closed) {
    const int n = static_cast<int>(corners.size());
    if (n < 2) return *this;
    // Where the path enters and leaves each corner after rounding.
    std::vector<Point> enter(n);
    std::vector<Point> leave(n);
    std::vector<Point> centre(n);
    std::vector<bool> rounded(n, false);
    for (int i = 0; i < n; ++i) {
      Point p{corners[i].x, corners[i].y};
      enter[i] = leave[i] = p;
      bool endpoint = !closed && (i == 0 || i == n - 1);
      if (endpoint || corners[i].radius <= 0.0) continue;
      Point prev{corners[(i + n - 1) % n].x, corners[(i + n - 1) % n].y};
      Point next{corners[(i + 1) % n].x, corners[(i + 1) % n].y};
      double lenIn = Length(prev - p);
      double lenOut = Length(next - p);
      if (lenIn <= 0.0 || lenOut <= 0.0) continue;
      Point u = (prev - p) * (1.0 / lenIn);
      Point v = (next - p) * (1.0 / lenOut);
      double cosine = Dot(u, v);
      double sine = std::fabs(Cross(u, v));
      if (sine < 1e-9) continue;  // straight through: nothing to round
      // Distance from the corner to where the arc touches each side, kept
      // within half of either side so neighbouring corners cannot overlap.
      double radius = corners[i].radius;
      double reach = radius * (1.0 + cosine) / sine;
      double limit = (lenIn < lenOut ? lenIn : lenOut) / 2.0;
      if (reach > limit) {
        reach = limit;
        radius = reach * sine / (1.0 + cosine);
      }
      Point bisector = u + v;
      double bisectorLength = Length(bisector);
      double halfAngleSine = std::sqrt((1.0 - cosine) / 2.0);
      enter[i] = p + u * reach;
      leave[i] = p + v * reach;
      centre[i] = p + bisector * (radius / halfAngleSine / bisectorLength);
      rounded[i] = true;
    }
    const int runs = closed ? n : n - 1;
    for (int i = 0; i < runs; ++i) {
      int j = (i + 1) % n;
      glyph_.segments.push_back({leave[i], enter[j], false, {0.0, 0.0}});
    }
    for (int i = 0; i < n; ++i) {
      if (rounded[i]) glyph_.segments.push_back({enter[i], leave[i], true, centre[i]});
    }
    return *this;
  }

  Glyph glyph_;
};

std::map<char, Glyph> BuildFont() {
  const double R = kRound;
  const double r = kRoundSmall;
  const double X = kXHeight;
  const double D = kDescender;
  std::map<char, Glyph> font;
  auto add = [&font](char c, const GlyphBuilder& b) { font[c] = b.glyph(); };

  // Capitals, 7 units wide unless they need more or less room.
  add('A', GlyphBuilder(7).Path({{0, 0, 0}, {0, 10, R}, {7, 10, R}, {7, 0, 0}}).Line(0, 4.6, 7, 4.6));
  add('B', GlyphBuilder(7)
               .Loop({{0, 5, 0}, {0, 10, 0}, {6.3, 10, 2}, {6.3, 5, 2}})
               .Loop({{0, 0, 0}, {0, 5, 0}, {7, 5, 2}, {7, 0, 2}}));
  add('C', GlyphBuilder(7).Path({{7, 10, 0}, {0, 10, R}, {0, 0, R}, {7, 0, 0}}));
  add('D', GlyphBuilder(7).Loop({{0, 0, 0}, {0, 10, 0}, {7, 10, R}, {7, 0, R}}));
  add('E', GlyphBuilder(6.5).Path({{6.5, 10, 0}, {0, 10, 0}, {0, 0, 0}, {6.5, 0, 0}}).Line(0, 5, 5.2, 5));
  add('F', GlyphBuilder(6.5).Path({{6.5, 10, 0}, {0, 10, 0}, {0, 0, 0}}).Line(0, 5, 5.2, 5));
  add('G', GlyphBuilder(7).Path({{7, 10, 0}, {0, 10, R}, {0, 0, R}, {7, 0, R}, {7, 4.6, 0}, {3.8, 4.6, 0}}));
  add('H', GlyphBuilder(7).Line(0, 0, 0, 10).Line(7, 0, 7, 10).Line(0, 5, 7, 5));
  add('I', GlyphBuilder(0).Line(0, 0, 0, 10));
  add('J', GlyphBuilder(6).Path({{6, 10, 0}, {6, 0, R}, {0, 0, R}, {0, 3, 0}}));
  add('K', GlyphBuilder(7).Line(0, 0, 0, 10).Line(0, 3.6, 7, 10).Line(3.0, 6.3, 7, 0));
  add('L', GlyphBuilder(6.5).Path({{0, 10, 0}, {0, 0, 0}, {6.5, 0, 0}}));
  add('M', GlyphBuilder(9).Path({{0, 0, 0}, {0, 10, 0}, {4.5, 4.2, 0}, {9, 10, 0}, {9, 0, 0}}));
  add('N', GlyphBuilder(7).Path({{0, 0, 0}, {0, 10, 0}, {7, 0, 0}, {7, 10, 0}}));
  add('O', GlyphBuilder(7).Loop({{0, 0, R}, {0, 10, R}, {7, 10, R}, {7, 0, R}}));
  add('P', GlyphBuilder(7).Path({{0, 0, 0}, {0, 10, 0}, {7, 10, R}, {7, 4.6, R}, {0, 4.6, 0}}));
  add('Q', GlyphBuilder(7).Loop({{0, 0, R}, {0, 10, R}, {7, 10, R}, {7, 0, R}}).Line(4.4, 2.6, 7.6, -0.6));
  add('R', GlyphBuilder(7).Path({{0, 0, 0}, {0, 10, 0}, {7, 10, R}, {7, 4.6, R}, {0, 4.6, 0}}).Line(3.8, 4.6, 7, 0));
  add('S', GlyphBuilder(7).Path({{7, 10, 0}, {0, 10, R}, {0, 5, R}, {7, 5, R}, {7, 0, R}, {0, 0, 0}}));
  add('T', GlyphBuilder(7).Line(0, 10, 7, 10).Line(3.5, 0, 3.5, 10));
  add('U', GlyphBuilder(7).Path({{0, 10, 0}, {0, 0, R}, {7, 0, R}, {7, 10, 0}}));
  add('V', GlyphBuilder(7.4).Path({{0, 10, 0}, {3.7, 0, 0}, {7.4, 10, 0}}));
  add('W', GlyphBuilder(10).Path({{0, 10, 0}, {2.5, 0, 0}, {5, 7, 0}, {7.5, 0, 0}, {10, 10, 0}}));
  add('X', GlyphBuilder(7).Line(0, 0, 7, 10).Line(0, 10, 7, 0));
  add('Y', GlyphBuilder(7).Path({{0, 10, 0}, {3.5, 5, 0}, {7, 10, 0}}).Line(3.5, 5, 3.5, 0));
  add('Z', GlyphBuilder(7).Path({{0, 10, 0}, {7, 10, 0}, {0, 0, 0}, {7, 0, 0}}));

  // Digits share the capitals' height and corners.
  add('0', GlyphBuilder(7).Loop({{0, 0, R}, {0, 10, R}, {7, 10, R}, {7, 0, R}}).Line(2.2, 2.6, 4.8, 7.4));
  add('1', GlyphBuilder(4).Path({{1, 8, 0}, {3.5, 10, 0}, {3.5, 0, 0}}));
  add('2', GlyphBuilder(7).Path({{0, 10, 0}, {7, 10, R}, {7, 5, R}, {0, 5, R}, {0, 0, 0}, {7, 0, 0}}));
  add('3', GlyphBuilder(7).Path({{0, 10, 0}, {7, 10, R}, {7, 0, R}, {0, 0, 0}}).Line(2, 5, 7, 5));
  add('4', GlyphBuilder(7).Path({{0, 10, 0}, {0, 4, 0}, {7, 4, 0}}).Line(5, 0, 5, 7.5));
  add('5', GlyphBuilder(7).Path({{7, 10, 0}, {0, 10, 0}, {0, 5, 0}, {7, 5, R}, {7, 0, R}, {0, 0, 0}}));
  add('6', GlyphBuilder(7).Path({{7, 10, 0}, {0, 10, R}, {0, 0, R}, {7, 0, R}, {7, 5, R}, {0, 5, 0}}));
  add('7', GlyphBuilder(7).Path({{0, 10, 0}, {7, 10, 0}, {2.6, 0, 0}}));
  add('8', GlyphBuilder(7)
               .Loop({{0.4, 5, 2}, {0.4, 10, 2}, {6.6, 10, 2}, {6.6, 5, 2}})
               .Loop({{0, 0, R}, {0, 5, R}, {7, 5, R}, {7, 0, R}}));
  add('9', GlyphBuilder(7).Path({{0, 0, 0}, {7, 0, R}, {7, 10, R}, {0, 10, R}, {0, 5, R}, {7, 5, 0}}));

  // Small letters on the x-height, with ascenders to the cap height.
  add('a', GlyphBuilder(6).Path({{0.4, X, 0}, {6, X, r}, {6, 0, 0}, {0, 0, r}, {0, 3.6, r}, {6, 3.6, 0}}));
  add('b', GlyphBuilder(6).Line(0, 0, 0, 10).Loop({{0, 0, 0}, {0, X, 0}, {6, X, r}, {6, 0, r}}));
  add('c', GlyphBuilder(6).Path({{6, X, 0}, {0, X, r}, {0, 0, r}, {6, 0, 0}}));
  add('d', GlyphBuilder(6).Line(6, 0, 6, 10).Loop({{6, 0, 0}, {6, X, 0}, {0, X, r}, {0, 0, r}}));
  add('e', GlyphBuilder(6).Path({{0, 3.6, 0}, {6, 3.6, 0}, {6, X, r}, {0, X, r}, {0, 0, r}, {6, 0, 0}}));
  add('f', GlyphBuilder(4.5).Path({{4.5, 10, 0}, {1.2, 10, r}, {1.2, 0, 0}}).Line(0, X, 4.2, X));
  add('g', GlyphBuilder(6).Path({{6, X, 0}, {6, D, r}, {0.4, D, 0}}).Loop({{6, 0, 0}, {6, X, 0}, {0, X, r}, {0, 0, r}}));
  add('h', GlyphBuilder(6).Line(0, 0, 0, 10).Path({{0, X, 0}, {6, X, r}, {6, 0, 0}}));
  add('i', GlyphBuilder(0).Line(0, 0, 0, X).Spot(0, 9.6));
  add('j', GlyphBuilder(3).Path({{3, X, 0}, {3, D, r}, {0, D, 0}}).Spot(3, 9.6));
  add('k', GlyphBuilder(5.5).Line(0, 0, 0, 10).Line(0, 2.4, 5.5, X).Line(2.4, 4.0, 5.5, 0));
  add('l', GlyphBuilder(0).Line(0, 0, 0, 10));
  add('m', GlyphBuilder(10).Path({{0, 0, 0}, {0, X, 0}, {10, X, r}, {10, 0, 0}}).Line(5, 0, 5, X));
  add('n', GlyphBuilder(6).Path({{0, 0, 0}, {0, X, 0}, {6, X, r}, {6, 0, 0}}));
  add('o', GlyphBuilder(6).Loop({{0, 0, r}, {0, X, r}, {6, X, r}, {6, 0, r}}));
  add('p', GlyphBuilder(6).Line(0, D, 0, X).Loop({{0, 0, 0}, {0, X, 0}, {6, X, r}, {6, 0, r}}));
  add('q', GlyphBuilder(6).Line(6, D, 6, X).Loop({{6, 0, 0}, {6, X, 0}, {0, X, r}, {0, 0, r}}));
  add('r', GlyphBuilder(5).Path({{0, 0, 0}, {0, X, 0}, {5, X, 0}}));
  add('s', GlyphBuilder(6).Path({{6, X, 0}, {0, X, r}, {0, 3.5, r}, {6, 3.5, r}, {6, 0, r}, {0, 0, 0}}));
  add('t', GlyphBuilder(4.5).Path({{1.2, 10, 0}, {1.2, 0, r}, {4.5, 0, 0}}).Line(0, X, 4.5, X));
  add('u', GlyphBuilder(6).Path({{0, X, 0}, {0, 0, r}, {6, 0, 0}, {6, X, 0}}));
  add('v', GlyphBuilder(6).Path({{0, X, 0}, {3, 0, 0}, {6, X, 0}}));
  add('w', GlyphBuilder(9).Path({{0, X, 0}, {2.25, 0, 0}, {4.5, 5, 0}, {6.75, 0, 0}, {9, X, 0}}));
  add('x', GlyphBuilder(6).Line(0, 0, 6, X).Line(0, X, 6, 0));
  add('y', GlyphBuilder(6).Path({{0, X, 0}, {0, 0, r}, {6, 0, 0}}).Path({{6, X, 0}, {6, D, r}, {0.4, D, 0}}));
  add('z', GlyphBuilder(6).Path({{0, X, 0}, {6, X, 0}, {0, 0, 0}, {6, 0, 0}}));

  // Punctuation; a space is a glyph with no ink.
  add(' ', GlyphBuilder(2.2));
  add('-', GlyphBuilder(4).Line(0, 5, 4, 5));
  add('.', GlyphBuilder(0).Spot(0, 0));
  add(',', GlyphBuilder(0.6).Line(0.6, 0, 0, -1.8));
  add(':', GlyphBuilder(0).Spot(0, 0).Spot(0, 6));
  add('\'', GlyphBuilder(0).Line(0, 10, 0, 7.4));
  add('/', GlyphBuilder(5).Line(0, -1, 5, 11));
  return font;
}

const Glyph* FindGlyph(char c) {
  static const std::map<char, Glyph> font = BuildFont();
  auto it = font.find(c);
  return it == font.end() ? nullptr : &it->second;
}

// Glyphs of the text with the x where each one's grid origin lies (grid units).
bool LayOut(const std::string& text, const TextStyle& style, std::vector<const Glyph*>* glyphs,
            std::vector<double>* origins, double* width) {
  double scale = style.capHeight / kCapHeight;
  double gap = kLetterGap + style.tracking / scale;
  double x = 0.0;
  glyphs->clear();
  origins->clear();
  for (char c : text) {
    const Glyph* g = FindGlyph(c);
    if (g == nullptr) return false;
    if (!glyphs->empty()) x += gap;
    glyphs->push_back(g);
    origins->push_back(x);
    x += g->width;
  }
  *width = x;
  return true;
}

}  // namespace

bool MeasureText(const std::string& text, const TextStyle& style, double* width) {
  std::vector<const Glyph*> glyphs;
  std::vector<double> origins;
  double units = 0.0;
  if (!LayOut(text, style, &glyphs, &origins, &units)) return false;
  *width = units * style.capHeight / kCapHeight + style.weight;
  return true;
}

bool TextShape(const std::string& text, double left, double baseline, const TextStyle& style, Shape* out) {
  std::vector<const Glyph*> glyphs;
  std::vector<double> origins;
  double units = 0.0;
  if (!LayOut(text, style, &glyphs, &origins, &units)) return false;
  const double scale = style.capHeight / kCapHeight;
  const double half = style.weight / 2.0;
  const double originX = left + half;
  const double slant = style.slant;
  // Flatten to one list of segments in grid units, each moved to its place.
  std::vector<Segment> segments;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    Point shift{origins[i], 0.0};
    for (const Segment& s : glyphs[i]->segments) {
      segments.push_back({s.from + shift, s.to + shift, s.arc, s.centre + shift});
    }
  }
  // Slanted ink leans right above the baseline and left below it.
  double top = baseline - (kCapHeight + 1.0) * scale;
  double bottom = baseline - (kDescender - 1.0) * scale;
  double lean = (kCapHeight + 1.0) * scale * (slant > 0.0 ? slant : -slant);
  out->bounds = {left - lean - half, top - half, left + units * scale + style.weight + lean, bottom + half};
  out->distance = [segments, scale, half, originX, baseline, slant](Point p) {
    double gy = (baseline - p.y) / scale;
    Point g{(p.x - originX) / scale - slant * gy, gy};
    double best = 1e300;
    for (const Segment& s : segments) {
      double d = s.arc ? DistanceToMinorArc(g, s.centre, s.from, s.to) : DistanceToSegment(g, s.from, s.to);
      if (d < best) best = d;
    }
    return best * scale - half;
  };
  return true;
}

}  // namespace artwork
