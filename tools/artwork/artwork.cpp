#include "artwork.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "font.h"

namespace artwork {
namespace {

// ---------------------------------------------------------------- colours

Rgb Ink() { return FromBytes(9, 11, 22); }
Rgb White() { return FromBytes(255, 255, 255); }
Rgb Black() { return FromBytes(0, 0, 0); }
Rgb Ice() { return FromBytes(200, 222, 250); }
Rgb Cream() { return FromBytes(255, 244, 222); }

// Polished gold, lit from above: bright crown, a dark horizon, warm base.
std::vector<ColourStop> GoldStops() {
  return {{0.00, FromBytes(255, 248, 206), 1.0}, {0.38, FromBytes(250, 208, 104), 1.0},
          {0.54, FromBytes(206, 140, 46), 1.0},  {0.56, FromBytes(168, 100, 30), 1.0},
          {0.80, FromBytes(226, 166, 70), 1.0},  {1.00, FromBytes(255, 214, 128), 1.0}};
}

// Brushed bronze-gold for rims and trims, lit from the top left.
std::vector<ColourStop> RimStops() {
  return {{0.00, FromBytes(255, 236, 170), 1.0}, {0.30, FromBytes(228, 178, 84), 1.0},
          {0.62, FromBytes(150, 94, 32), 1.0},   {1.00, FromBytes(96, 58, 20), 1.0}};
}

std::vector<ColourStop> BrightRimStops() {
  return {{0.00, FromBytes(255, 240, 184), 1.0}, {0.45, FromBytes(242, 196, 98), 1.0},
          {1.00, FromBytes(184, 122, 44), 1.0}};
}

// ----------------------------------------------------------- splash layout

const Point kEmblemCentre{96.0, 95.0};
constexpr double kEmblemRadius = 90.0;
// The title column between the emblem and the status socket.
constexpr double kColumnCentre = 312.0;
// The recessed status socket, inside the indicator's corner.
constexpr double kSocketX0 = kIndicatorLeft + 6.0;
constexpr double kSocketY0 = kIndicatorTop + 5.0;
constexpr double kSocketX1 = kSplashWidth - 13.0;
constexpr double kSocketY1 = kSplashHeight - 12.0;

// The window's outline: a round emblem that breaks out of a long plaque,
// with a tab below the plaque's right end that holds the status socket.
// Every shape stays at least two pixels inside the picture so the outer
// border is always the key.
Shape SplashSilhouette() {
  Shape emblem = CircleShape(kEmblemCentre, kEmblemRadius);
  Shape plaque = RoundedRectShape(100.0, 22.0, 499.0, 164.0, 16.0);
  Shape tab = RoundedRectShape(426.0, 112.0, 499.0, 186.0, 14.0);
  return SmoothUnion(SmoothUnion(emblem, plaque, 16.0), tab, 12.0);
}

Point SocketCentre() { return {(kSocketX0 + kSocketX1) / 2.0, (kSocketY0 + kSocketY1) / 2.0}; }

// Pseudo-random numbers with a fixed seed, so the star field never changes.
class Sprinkle {
 public:
  double Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state_ >> 11) / 9007199254740992.0;
  }

 private:
  std::uint64_t state_ = 0x0DEC0DE5u;
};

// --------------------------------------------------------------- plaque

void DrawPlaque(Canvas& c) {
  Shape body = SplashSilhouette();
  Shape face = Grow(body, -2.0);
  c.Solidify(body);
  c.Fill(body, SolidPaint(Ink()));
  c.Fill(face, LinearGradient({0.0, 20.0}, {0.0, 188.0},
                              {{0.0, FromBytes(58, 74, 124), 1.0},
                               {0.45, FromBytes(30, 38, 78), 1.0},
                               {1.0, FromBytes(14, 18, 40), 1.0}}));
  // A cool glow behind the title.
  c.Fill(face, RadialGradient({330.0, 70.0}, 190.0,
                              {{0.0, FromBytes(110, 150, 230), 0.34}, {1.0, FromBytes(110, 150, 230), 0.0}}));
  // Faint stars scattered over the plaque, thinning out toward the bottom.
  Sprinkle random;
  for (int i = 0; i < 70; ++i) {
    Point at{110.0 + random.Next() * 380.0, 32.0 + random.Next() * 124.0};
    double size = 0.45 + random.Next() * 0.75;
    double strength = (0.25 + random.Next() * 0.6) * (1.0 - (at.y - 32.0) / 160.0);
    c.SoftFill(CircleShape(at, size), SolidPaint(Ice()), 1.6, strength);
  }
  // Bevel: light catches the top edge, the bottom edge falls into shadow.
  c.Fill(Outline(Grow(body, -2.6), 1.3),
         LinearGradient({0.0, 10.0}, {0.0, 130.0}, {{0.0, White(), 0.55}, {1.0, White(), 0.0}}));
  c.Fill(Outline(Grow(body, -2.6), 1.3),
         LinearGradient({0.0, 110.0}, {0.0, 188.0}, {{0.0, Black(), 0.0}, {1.0, Black(), 0.5}}));
  // A fine gold inlay following the outline.
  c.Fill(Outline(Grow(body, -7.0), 1.1), LinearGradient({0.0, 20.0}, {0.0, 188.0}, RimStops()), 0.75);
}

// --------------------------------------------------------------- emblem

struct EmblemDetail {
  bool slot = true;        // a circular slot between rim and face
  bool openSlot = false;   // the slot is a real opening (splash) rather than a groove (icon)
  bool bridges = true;     // the slot is broken by four bridges
  bool ornaments = false;  // rivets, rim ticks and rays in the face
  bool gleam = false;
  bool flat = false;       // few, flat colours for a 16-colour palette
  double outline = 1.0;    // ink around the rim, in pixels
  double face = 0.69;      // radius of the enamel face, as a part of the emblem's
  double crystal = 1.0;    // size of the crystal, 1 for the splash
  std::vector<ColourStop> rim = RimStops();
};

// The four-facet crystal at the emblem's heart.
void DrawCrystal(Canvas& c, Point o, double size, double outline, bool glow) {
  const double R = size;
  Point top{o.x, o.y - 0.50 * R};
  Point bottom{o.x, o.y + 0.52 * R};
  Point left{o.x - 0.27 * R, o.y - 0.07 * R};
  Point right{o.x + 0.27 * R, o.y - 0.07 * R};
  Point waist{o.x, o.y - 0.07 * R};
  Shape whole = PolygonShape({top, right, bottom, left});
  if (glow) c.SoftFill(whole, SolidPaint(FromBytes(120, 200, 255)), 0.30 * R, 0.45);
  c.Fill(Grow(whole, outline), SolidPaint(Ink()));
  c.Fill(PolygonShape({top, waist, left}), SolidPaint(FromBytes(206, 244, 255)));
  c.Fill(PolygonShape({top, right, waist}), SolidPaint(FromBytes(118, 196, 244)));
  c.Fill(PolygonShape({left, waist, bottom}), SolidPaint(FromBytes(58, 136, 218)));
  c.Fill(PolygonShape({waist, right, bottom}), SolidPaint(FromBytes(26, 72, 152)));
}

void DrawGleam(Canvas& c, Point at, double size) {
  c.SoftFill(CircleShape(at, size * 0.35), SolidPaint(White()), size * 0.6, 0.8);
  c.Fill(PolygonShape({{at.x, at.y - size}, {at.x + size * 0.16, at.y}, {at.x, at.y + size}, {at.x - size * 0.16, at.y}}),
         SolidPaint(White()), 0.95);
  c.Fill(PolygonShape({{at.x - size, at.y}, {at.x, at.y - size * 0.16}, {at.x + size, at.y}, {at.x, at.y + size * 0.16}}),
         SolidPaint(White()), 0.95);
}

// The round emblem: a gold rim around a dark-blue enamel face that holds a
// crystal, with a circular slot between rim and face.
void DrawEmblem(Canvas& c, Point o, double R, const EmblemDetail& detail) {
  Shape disc = CircleShape(o, R);
  c.Fill(disc, SolidPaint(Ink()));
  Shape rim = CircleShape(o, R - detail.outline);
  c.Fill(rim, LinearGradient({o.x - R * 0.7, o.y - R * 0.7}, {o.x + R * 0.7, o.y + R * 0.7}, detail.rim));
  // Polished highlight on the upper-left of the rim.
  if (!detail.flat) {
    c.Fill(Outline(CircleShape(o, R * 0.93), R * 0.035),
           LinearGradient({o.x - R * 0.6, o.y - R * 0.6}, {o.x + R * 0.2, o.y + R * 0.2},
                          {{0.0, White(), 0.7}, {1.0, White(), 0.0}}));
  }
  if (detail.ornaments) {
    // Engraved ticks around the rim, like a bezel.
    for (int i = 0; i < 40; ++i) {
      Point dir = Rotate({1.0, 0.0}, i * kPi / 20.0);
      c.Fill(LineShape(o + dir * (R * 0.835), o + dir * (R * 0.885), R * 0.014), SolidPaint(FromBytes(90, 54, 18)),
             0.7);
    }
  }
  if (detail.slot) {
    // The slot, with a dark lip all round.
    Shape slot = RingShape(o, R * 0.755, R * 0.085);
    if (detail.bridges) {
      double reach = R * 0.9;
      double w = R * 0.13;
      Shape cross = Union(LineShape({o.x - reach, o.y - reach}, {o.x + reach, o.y + reach}, w),
                          LineShape({o.x - reach, o.y + reach}, {o.x + reach, o.y - reach}, w));
      slot = Subtract(slot, cross);
    }
    c.Fill(Grow(slot, detail.openSlot ? 1.6 : 0.0), SolidPaint(Ink()));
    if (detail.openSlot) c.Cut(slot);
  }
  if (detail.ornaments && detail.bridges) {
    for (int i = 0; i < 4; ++i) {
      Point dir = Rotate({1.0, 0.0}, kPi / 4.0 + i * kPi / 2.0);
      Point at = o + dir * (R * 0.755);
      c.Fill(CircleShape(at, R * 0.042), SolidPaint(FromBytes(70, 42, 14)));
      c.Fill(CircleShape({at.x - R * 0.01, at.y - R * 0.01}, R * 0.026), SolidPaint(FromBytes(255, 232, 170)));
    }
  }
  // Enamel face, bordered by a thin gold bead.
  double faceRadius = R * detail.face;
  c.Fill(CircleShape(o, faceRadius + detail.outline * 0.8), SolidPaint(Ink()));
  Paint enamel = RadialGradient({o.x - R * 0.18, o.y - R * 0.25}, R * 0.95,
                                {{0.0, FromBytes(58, 112, 186), 1.0},
                                 {0.55, FromBytes(24, 46, 104), 1.0},
                                 {1.0, FromBytes(10, 18, 46), 1.0}});
  c.Fill(CircleShape(o, faceRadius), detail.flat ? SolidPaint(FromBytes(28, 54, 118)) : enamel);
  if (detail.ornaments) {
    // Faint rays fanning out from the crystal.
    Shape face = CircleShape(o, faceRadius);
    for (int i = 0; i < 16; ++i) {
      double angle = i * kPi / 8.0;
      Point a = o + Rotate({faceRadius * 1.2, 0.0}, angle - kPi / 40.0);
      Point b = o + Rotate({faceRadius * 1.2, 0.0}, angle + kPi / 40.0);
      c.Fill(Intersection(PolygonShape({o, a, b}), face),
             RadialGradient(o, faceRadius, {{0.2, White(), 0.10}, {1.0, White(), 0.0}}));
    }
  }
  c.Fill(Outline(CircleShape(o, faceRadius - R * 0.045), R * 0.018), SolidPaint(FromBytes(200, 150, 70)), 0.8);
  const double crystal = R * detail.crystal;
  DrawCrystal(c, o, crystal, detail.outline * 0.9, !detail.flat);
  if (detail.gleam) DrawGleam(c, {o.x - crystal * 0.16, o.y - crystal * 0.30}, crystal * 0.16);
}

// ---------------------------------------------------------------- title

bool DrawTitle(Canvas& c) {
  // The name: big gold capitals with an ink edge and a soft drop shadow.
  TextStyle name{42.0, 8.4, 1.5, 0.0};
  double width = 0.0;
  if (!MeasureText("ORVEK", name, &width)) return false;
  double left = kColumnCentre - width / 2.0;
  const double nameBase = 84.0;
  Shape letters;
  if (!TextShape("ORVEK", left, nameBase, name, &letters)) return false;
  c.SoftFill(Translate(letters, 3.0, 5.0), SolidPaint(Black()), 9.0, 0.75);
  c.Fill(Grow(letters, 2.4), SolidPaint(Ink()));
  c.Fill(letters, LinearGradient({0.0, nameBase - 46.0}, {0.0, nameBase + 4.0}, GoldStops()));
  c.Fill(Intersection(Grow(letters, -2.6), RectShape(0.0, 0.0, kSplashWidth, nameBase - 36.0)), SolidPaint(White()),
         0.35);

  // "Demo", between two fine gold rules.
  TextStyle demo{16.0, 3.0, 1.6, 0.0};
  if (!MeasureText("Demo", demo, &width)) return false;
  left = kColumnCentre - width / 2.0;
  const double demoBase = 114.0;
  Shape word;
  if (!TextShape("Demo", left, demoBase, demo, &word)) return false;
  c.SoftFill(Translate(word, 1.5, 2.0), SolidPaint(Black()), 4.0, 0.6);
  c.Fill(word, LinearGradient({0.0, demoBase - 16.0}, {0.0, demoBase},
                              {{0.0, White(), 1.0}, {1.0, Ice(), 1.0}}));
  const double ruleY = demoBase - 6.0;
  double gap = 12.0;
  double span = 78.0;
  double x0 = left - gap;
  double x1 = left + width + gap;
  c.Fill(LineShape({x0 - span, ruleY}, {x0, ruleY}, 1.5),
         LinearGradient({x0 - span, 0.0}, {x0, 0.0},
                        {{0.0, FromBytes(232, 180, 84), 0.0}, {1.0, FromBytes(255, 220, 140), 1.0}}));
  c.Fill(LineShape({x1, ruleY}, {x1 + span, ruleY}, 1.5),
         LinearGradient({x1, 0.0}, {x1 + span, 0.0},
                        {{0.0, FromBytes(255, 220, 140), 1.0}, {1.0, FromBytes(232, 180, 84), 0.0}}));
  c.Fill(PolygonShape({{x0 + 3.5, ruleY}, {x0, ruleY - 3.5}, {x0 - 3.5, ruleY}, {x0, ruleY + 3.5}}),
         SolidPaint(FromBytes(255, 220, 140)));
  c.Fill(PolygonShape({{x1 + 3.5, ruleY}, {x1, ruleY - 3.5}, {x1 - 3.5, ruleY}, {x1, ruleY + 3.5}}),
         SolidPaint(FromBytes(255, 220, 140)));

  // "PATCH" on a crimson swallow-tailed ribbon.
  const double top = 123.0;
  const double bottom = 149.0;
  const double mid = (top + bottom) / 2.0;
  const double ribbonLeft = kColumnCentre - 88.0;
  const double ribbonRight = kColumnCentre + 88.0;
  Shape ribbon = PolygonShape({{ribbonLeft - 12.0, top},
                               {ribbonRight + 12.0, top},
                               {ribbonRight + 2.0, mid},
                               {ribbonRight + 12.0, bottom},
                               {ribbonLeft - 12.0, bottom},
                               {ribbonLeft - 2.0, mid}});
  c.SoftFill(Translate(ribbon, 2.0, 4.0), SolidPaint(Black()), 8.0, 0.6);
  c.Fill(Grow(ribbon, 1.6), SolidPaint(Ink()));
  c.Fill(ribbon, LinearGradient({0.0, top}, {0.0, bottom},
                                {{0.0, FromBytes(214, 64, 64), 1.0},
                                 {0.5, FromBytes(160, 30, 40), 1.0},
                                 {1.0, FromBytes(104, 16, 28), 1.0}}));
  c.Fill(Outline(Grow(ribbon, -3.2), 1.0), LinearGradient({0.0, top}, {0.0, bottom}, RimStops()), 0.9);
  TextStyle title{15.0, 3.4, 6.0, 0.0};
  if (!MeasureText("PATCH", title, &width)) return false;
  Shape patch;
  if (!TextShape("PATCH", kColumnCentre - width / 2.0, mid + 7.5, title, &patch)) return false;
  c.Fill(Translate(patch, 1.0, 1.5), SolidPaint(FromBytes(60, 6, 14)), 0.9);
  c.Fill(patch, LinearGradient({0.0, mid - 8.0}, {0.0, mid + 8.0}, {{0.0, White(), 1.0}, {1.0, Cream(), 1.0}}));
  return true;
}

// ---------------------------------------------------------- status socket

Shape ActivityGear() { return GearShape(SocketCentre(), 9.5, 14.0, 8, 4.6, kPi / 8.0); }

// A recessed well in the tab; the indicator lights a gear inside it.
void DrawSocket(Canvas& c) {
  Shape well = RoundedRectShape(kSocketX0, kSocketY0, kSocketX1, kSocketY1, 9.0);
  c.Fill(Outline(Grow(well, 1.0), 1.4), SolidPaint(White()), 0.22);  // a faint lit lip
  c.Fill(well, SolidPaint(Ink()));
  c.Fill(Grow(well, -1.5), LinearGradient({0.0, kSocketY0}, {0.0, kSocketY1},
                                          {{0.0, FromBytes(6, 8, 18), 1.0}, {1.0, FromBytes(22, 28, 56), 1.0}}));
  // The unlit gear, only just visible, so the socket reads as a lamp.
  Shape gear = ActivityGear();
  c.Fill(Translate(gear, 0.0, 1.0), SolidPaint(FromBytes(40, 50, 86)), 0.6);
  c.Fill(gear, SolidPaint(FromBytes(24, 30, 58)));
  c.Fill(CircleShape(SocketCentre(), 3.6), SolidPaint(FromBytes(8, 10, 20)));
}

// The gear lit amber, with the hub bored through to show what lies behind.
void DrawLitGear(Canvas& c) {
  Point o = SocketCentre();
  Shape gear = ActivityGear();
  c.SoftFill(Grow(gear, 1.0), SolidPaint(FromBytes(255, 150, 40)), 9.0, 0.55);
  c.Fill(Grow(gear, 1.2), SolidPaint(FromBytes(40, 16, 4)));
  c.Fill(gear, RadialGradient({o.x - 4.0, o.y - 5.0}, 18.0,
                              {{0.0, FromBytes(255, 246, 200), 1.0},
                               {0.45, FromBytes(255, 190, 80), 1.0},
                               {1.0, FromBytes(214, 110, 24), 1.0}}));
  c.Fill(Outline(CircleShape(o, 6.6), 1.2), SolidPaint(FromBytes(150, 70, 10)), 0.8);
  Shape hub = CircleShape(o, 3.6);
  c.Fill(Grow(hub, 1.4), SolidPaint(FromBytes(40, 16, 4)));
  c.Cut(hub);
}

}  // namespace

bool ComposeSplash(Canvas* canvas) {
  if (!canvas->Init(kSplashWidth, kSplashHeight, {0.0, 0.0, 0.0, 1.0})) return false;
  DrawPlaque(*canvas);
  // The emblem's shadow falls on the plaque to its right.
  canvas->SoftFill(Intersection(Translate(CircleShape(kEmblemCentre, kEmblemRadius - 2.0), 5.0, 4.0),
                                Grow(SplashSilhouette(), -2.0)),
                   SolidPaint(Black()), 14.0, 0.55);
  EmblemDetail emblem;
  emblem.openSlot = true;
  emblem.ornaments = true;
  emblem.gleam = true;
  emblem.outline = 2.2;
  DrawEmblem(*canvas, kEmblemCentre, kEmblemRadius - 2.0, emblem);
  if (!DrawTitle(*canvas)) return false;
  DrawSocket(*canvas);
  return true;
}

bool ComposeIndicator(Canvas* canvas) {
  // The indicator is the splash's own corner with the gear lit, so the two
  // line up pixel for pixel whether or not it is drawn.
  Canvas splash;
  if (!ComposeSplash(&splash)) return false;
  DrawLitGear(splash);
  return splash.Crop(kIndicatorLeft, kIndicatorTop, kIndicatorWidth, kIndicatorHeight, canvas);
}

bool ComposeIcon(int side, int bitsPerPixel, Canvas* canvas) {
  if (!canvas->Init(side, side, {0.0, 0.0, 0.0, 0.0})) return false;
  const double R = side / 2.0 - 0.25;
  const Point o{side / 2.0, side / 2.0};
  // Small sizes keep only what still reads there: a larger crystal and a
  // brighter rim, as a few pixels of dark bronze would look like dirt.
  const bool large = side >= 32;
  EmblemDetail detail;
  detail.slot = large;
  detail.bridges = large;
  detail.gleam = side >= 48 && bitsPerPixel > 4;
  detail.outline = large ? 1.2 : 0.8;
  detail.face = large ? 0.69 : 0.68;
  detail.crystal = large ? 1.12 : 1.3;
  detail.rim = large ? RimStops() : BrightRimStops();
  // Sixteen colours cannot hold gradients: a two-tone bevel reads better.
  if (bitsPerPixel <= 4) {
    detail.flat = true;
    detail.rim = {{0.0, FromBytes(255, 226, 140), 1.0}, {0.5, FromBytes(255, 226, 140), 1.0},
                  {0.5, FromBytes(214, 152, 60), 1.0}, {1.0, FromBytes(214, 152, 60), 1.0}};
  }
  DrawEmblem(*canvas, o, R, detail);
  return true;
}

bool BuildArtwork(std::vector<ArtworkFile>* files) {
  files->clear();
  Canvas canvas;
  RgbImage picture;
  ArtworkFile splash{"splash.bmp", {}};
  if (!ComposeSplash(&canvas) || !canvas.FlattenKeyed(kColourKey, &picture)) return false;
  if (!EncodeBmp24(picture, &splash.bytes)) return false;
  ArtworkFile indicator{"indicator.bmp", {}};
  if (!ComposeIndicator(&canvas) || !canvas.FlattenKeyed(kColourKey, &picture)) return false;
  if (!EncodeBmp24(picture, &indicator.bytes)) return false;
  std::vector<IconImage> icons;
  for (int side : kIconSides) {
    for (int depth : kIconDepths) {
      RgbaImage image;
      if (!ComposeIcon(side, depth, &canvas) || !canvas.ToRgba(&image)) return false;
      icons.push_back({depth, image});
    }
  }
  ArtworkFile icon{"orvek.ico", {}};
  if (!EncodeIco(icons, &icon.bytes)) return false;
  files->push_back(std::move(splash));
  files->push_back(std::move(indicator));
  files->push_back(std::move(icon));
  return true;
}

}  // namespace artwork
