// The pictures the installer carries: the committed files are what the
// generator draws, in the formats and sizes the splash window loads, and the
// colour key cuts them exactly where the drawing says.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "artwork.h"

namespace artwork {
namespace {

bool ReadFile(const std::string& path, Bytes* out) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  out->clear();
  std::uint8_t buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) out->insert(out->end(), buffer, buffer + n);
  std::fclose(file);
  return true;
}

std::uint32_t Le16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t Le32(const Bytes& b, std::size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

const Bytes& Generated(const std::string& name) {
  static const std::vector<ArtworkFile> files = [] {
    std::vector<ArtworkFile> built;
    if (!BuildArtwork(&built)) built.clear();
    return built;
  }();
  static const Bytes none;
  for (const ArtworkFile& f : files) {
    if (f.name == name) return f.bytes;
  }
  return none;
}

// A decoded 24-bit BMP, top-down, for looking at pixels.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Rgb8> pixels;
  Rgb8 at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  bool keyed(int x, int y) const { return at(x, y) == kColourKey; }
};

bool DecodeBmp(const Bytes& b, Picture* out) {
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
  const int width = static_cast<int>(Le32(b, 18));
  const int height = static_cast<int>(Le32(b, 22));
  if (width < 1 || height < 1 || width > 4096 || height > 4096) return false;
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  const std::size_t offset = Le32(b, 10);
  if (offset > b.size() || b.size() - offset < stride * height) return false;
  out->width = width;
  out->height = height;
  out->pixels.clear();
  for (int y = 0; y < height; ++y) {
    const std::size_t row = offset + static_cast<std::size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      out->pixels.push_back({b[row + x * 3 + 2], b[row + x * 3 + 1], b[row + x * 3]});
    }
  }
  return true;
}

// Key pixels that are not connected to the picture's edge through other key
// pixels: openings inside the picture.
int CountEnclosedKeyPixels(const Picture& p) {
  std::vector<std::uint8_t> outside(p.pixels.size(), 0);
  std::vector<std::pair<int, int>> todo;
  for (int x = 0; x < p.width; ++x) {
    todo.push_back({x, 0});
    todo.push_back({x, p.height - 1});
  }
  for (int y = 0; y < p.height; ++y) {
    todo.push_back({0, y});
    todo.push_back({p.width - 1, y});
  }
  while (!todo.empty()) {
    auto [x, y] = todo.back();
    todo.pop_back();
    if (x < 0 || y < 0 || x >= p.width || y >= p.height) continue;
    std::size_t i = static_cast<std::size_t>(y) * p.width + x;
    if (outside[i] || !p.keyed(x, y)) continue;
    outside[i] = 1;
    todo.push_back({x + 1, y});
    todo.push_back({x - 1, y});
    todo.push_back({x, y + 1});
    todo.push_back({x, y - 1});
  }
  int enclosed = 0;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      if (p.keyed(x, y) && !outside[static_cast<std::size_t>(y) * p.width + x]) ++enclosed;
    }
  }
  return enclosed;
}

// ------------------------------------------------------- committed files

TEST(CommittedArtwork, EqualsAFreshDrawing) {
  const char* names[] = {"splash.bmp", "indicator.bmp", "orvek.ico"};
  for (const char* name : names) {
    Bytes committed;
    ASSERT_TRUE(ReadFile(std::string(ORVEK_RESOURCES_DIR) + "/" + name, &committed)) << name;
    const Bytes& fresh = Generated(name);
    ASSERT_FALSE(fresh.empty()) << name;
    EXPECT_TRUE(committed == fresh) << name << " is out of date: run make-artwork resources";
  }
}

TEST(CommittedArtwork, DrawingTwiceGivesTheSameBytes) {
  std::vector<ArtworkFile> again;
  ASSERT_TRUE(BuildArtwork(&again));
  ASSERT_EQ(again.size(), 3u);
  for (const ArtworkFile& f : again) EXPECT_TRUE(f.bytes == Generated(f.name)) << f.name;
}

// ---------------------------------------------------------------- bitmaps

TEST(Bitmaps, AreUncompressed24BitWithTheSizesTheWindowUses) {
  const struct {
    const char* name;
    int width;
    int height;
  } cases[] = {{"splash.bmp", 504, 190}, {"indicator.bmp", 68, 48}};
  for (const auto& c : cases) {
    const Bytes& b = Generated(c.name);
    ASSERT_GE(b.size(), 54u) << c.name;
    const std::uint32_t stride = (c.width * 3 + 3) / 4 * 4;
    EXPECT_EQ(b[0], 'B') << c.name;
    EXPECT_EQ(b[1], 'M') << c.name;
    EXPECT_EQ(Le32(b, 2), b.size()) << c.name;
    EXPECT_EQ(Le32(b, 10), 54u) << c.name;
    EXPECT_EQ(Le32(b, 14), 40u) << c.name;
    EXPECT_EQ(Le32(b, 18), static_cast<std::uint32_t>(c.width)) << c.name;
    EXPECT_EQ(Le32(b, 22), static_cast<std::uint32_t>(c.height)) << c.name;
    EXPECT_EQ(Le16(b, 26), 1u) << c.name;
    EXPECT_EQ(Le16(b, 28), 24u) << c.name;
    EXPECT_EQ(Le32(b, 30), 0u) << c.name;
    EXPECT_EQ(b.size(), 54u + stride * c.height) << c.name;
  }
}

TEST(Splash, EveryEdgePixelIsTheColourKey) {
  Picture p;
  ASSERT_TRUE(DecodeBmp(Generated("splash.bmp"), &p));
  for (int x = 0; x < p.width; ++x) {
    EXPECT_TRUE(p.keyed(x, 0)) << x << ",0";
    EXPECT_TRUE(p.keyed(x, p.height - 1)) << x << ",bottom";
  }
  for (int y = 0; y < p.height; ++y) {
    EXPECT_TRUE(p.keyed(0, y)) << "0," << y;
    EXPECT_TRUE(p.keyed(p.width - 1, y)) << "right," << y;
  }
}

TEST(Splash, HasOpeningsInsideThePicture) {
  Picture p;
  ASSERT_TRUE(DecodeBmp(Generated("splash.bmp"), &p));
  EXPECT_GT(CountEnclosedKeyPixels(p), 200);
}

TEST(Splash, IsMostlyPicture) {
  Picture p;
  ASSERT_TRUE(DecodeBmp(Generated("splash.bmp"), &p));
  std::size_t keyed = 0;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) keyed += p.keyed(x, y) ? 1 : 0;
  }
  EXPECT_GT(keyed, p.pixels.size() / 20);
  EXPECT_LT(keyed, p.pixels.size() / 3);
}

// Only pixels the drawing marked see-through carry the key; anti-aliasing
// and gradients never land on it by chance.
TEST(ColourKey, MarksExactlyTheSeeThroughPixels) {
  struct Case {
    const char* name;
    bool (*compose)(Canvas*);
  } cases[] = {{"splash", ComposeSplash}, {"indicator", ComposeIndicator}};
  for (const Case& c : cases) {
    Canvas canvas;
    ASSERT_TRUE(c.compose(&canvas)) << c.name;
    RgbImage image;
    ASSERT_TRUE(canvas.FlattenKeyed(kColourKey, &image)) << c.name;
    int mismatches = 0;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const std::uint8_t* px = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
        bool keyed = Rgb8{px[0], px[1], px[2]} == kColourKey;
        if (keyed == canvas.IsSolid(x, y)) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0) << c.name;
  }
}

// --------------------------------------------------------------- indicator

TEST(Indicator, KeepsTheSplashOutlineOfTheCorner) {
  Picture splash;
  Picture indicator;
  ASSERT_TRUE(DecodeBmp(Generated("splash.bmp"), &splash));
  ASSERT_TRUE(DecodeBmp(Generated("indicator.bmp"), &indicator));
  // Its right and bottom edges are the window's edges.
  for (int x = 0; x < indicator.width; ++x) EXPECT_TRUE(indicator.keyed(x, indicator.height - 1)) << x;
  for (int y = 0; y < indicator.height; ++y) EXPECT_TRUE(indicator.keyed(indicator.width - 1, y)) << y;
  // Blinking must not change the window's shape: wherever the corner is see-through
  // in the splash, it is in the indicator too.
  int cornerKeyed = 0;
  for (int y = 0; y < indicator.height; ++y) {
    for (int x = 0; x < indicator.width; ++x) {
      if (!splash.keyed(kIndicatorLeft + x, kIndicatorTop + y)) continue;
      ++cornerKeyed;
      EXPECT_TRUE(indicator.keyed(x, y)) << x << "," << y;
    }
  }
  EXPECT_GT(cornerKeyed, 0);
}

TEST(Indicator, HasSeeThroughPixelsOfItsOwnAndChangesTheCorner) {
  Picture splash;
  Picture indicator;
  ASSERT_TRUE(DecodeBmp(Generated("splash.bmp"), &splash));
  ASSERT_TRUE(DecodeBmp(Generated("indicator.bmp"), &indicator));
  int ownKeyed = 0;
  int changed = 0;
  for (int y = 0; y < indicator.height; ++y) {
    for (int x = 0; x < indicator.width; ++x) {
      Rgb8 under = splash.at(kIndicatorLeft + x, kIndicatorTop + y);
      if (indicator.keyed(x, y) && !(under == kColourKey)) ++ownKeyed;
      if (!(indicator.at(x, y) == under)) ++changed;
    }
  }
  EXPECT_GT(ownKeyed, 0);
  EXPECT_EQ(CountEnclosedKeyPixels(indicator), ownKeyed);
  EXPECT_GT(changed, indicator.width * indicator.height / 8) << "the blink would hardly show";
}

// --------------------------------------------------------------------- icon

struct IconEntry {
  int side;
  int bits;
  std::uint32_t size;
  std::uint32_t offset;
};

bool ReadIconDirectory(const Bytes& b, std::vector<IconEntry>* out) {
  if (b.size() < 6 || Le16(b, 0) != 0 || Le16(b, 2) != 1) return false;
  const std::uint32_t count = Le16(b, 4);
  if (b.size() < 6 + 16 * static_cast<std::size_t>(count)) return false;
  out->clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t e = 6 + 16 * i;
    IconEntry entry{b[e] == 0 ? 256 : b[e], static_cast<int>(Le16(b, e + 6)), Le32(b, e + 8), Le32(b, e + 12)};
    if (entry.offset > b.size() || entry.size > b.size() - entry.offset) return false;
    out->push_back(entry);
  }
  return true;
}

bool MaskBit(const Bytes& b, std::size_t maskStart, int side, int x, int y) {
  const std::size_t row = ((side + 31) / 32) * 4;
  const std::uint8_t byte = b[maskStart + static_cast<std::size_t>(side - 1 - y) * row + x / 8];
  return (byte & (0x80 >> (x % 8))) != 0;
}

TEST(Icon, HoldsEachSizeAtEachDepthOnce) {
  std::vector<IconEntry> entries;
  ASSERT_TRUE(ReadIconDirectory(Generated("orvek.ico"), &entries));
  ASSERT_EQ(entries.size(), 12u);
  std::set<std::pair<int, int>> seen;
  for (const IconEntry& e : entries) seen.insert({e.side, e.bits});
  std::set<std::pair<int, int>> wanted;
  for (int side : {48, 32, 24, 16}) {
    for (int bits : {4, 8, 32}) wanted.insert({side, bits});
  }
  EXPECT_EQ(seen, wanted);
}

TEST(Icon, EveryImageIsAWellFormedBitmapWithMask) {
  const Bytes& b = Generated("orvek.ico");
  std::vector<IconEntry> entries;
  ASSERT_TRUE(ReadIconDirectory(b, &entries));
  std::uint32_t end = 6 + 16 * static_cast<std::uint32_t>(entries.size());
  for (const IconEntry& e : entries) {
    SCOPED_TRACE(std::to_string(e.side) + " px at " + std::to_string(e.bits) + " bpp");
    EXPECT_EQ(e.offset, end) << "images follow one another";
    end = e.offset + e.size;
    const std::size_t h = e.offset;
    EXPECT_EQ(Le32(b, h), 40u);
    EXPECT_EQ(Le32(b, h + 4), static_cast<std::uint32_t>(e.side));
    EXPECT_EQ(Le32(b, h + 8), static_cast<std::uint32_t>(2 * e.side));
    EXPECT_EQ(Le16(b, h + 14), static_cast<std::uint32_t>(e.bits));
    EXPECT_EQ(Le32(b, h + 16), 0u);
    const std::size_t palette = e.bits == 32 ? 0 : (std::size_t{1} << e.bits) * 4;
    const std::size_t colourRow = ((e.side * e.bits + 31) / 32) * 4;
    const std::size_t colour = h + 40 + palette;
    const std::size_t mask = colour + colourRow * e.side;
    ASSERT_EQ(e.size, 40 + palette + (colourRow + ((e.side + 31) / 32) * 4) * e.side);
    // The emblem is round: the corners are see-through, the centre is not.
    EXPECT_TRUE(MaskBit(b, mask, e.side, 0, 0));
    EXPECT_TRUE(MaskBit(b, mask, e.side, e.side - 1, e.side - 1));
    EXPECT_FALSE(MaskBit(b, mask, e.side, e.side / 2, e.side / 2));
    for (int y = 0; y < e.side; ++y) {
      for (int x = 0; x < e.side; ++x) {
        const std::size_t row = colour + static_cast<std::size_t>(e.side - 1 - y) * colourRow;
        const bool transparent = MaskBit(b, mask, e.side, x, y);
        if (e.bits == 32) {
          // The mask agrees with the alpha channel.
          EXPECT_EQ(transparent, b[row + x * 4 + 3] == 0) << x << "," << y;
        } else if (transparent) {
          // Masked pixels must be black so the screen shows through unchanged.
          int index = e.bits == 8 ? b[row + x] : (b[row + x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F;
          const std::size_t entry = h + 40 + static_cast<std::size_t>(index) * 4;
          EXPECT_EQ(b[entry] | b[entry + 1] | b[entry + 2], 0) << x << "," << y;
        }
      }
    }
  }
  EXPECT_EQ(end, b.size());
}

}  // namespace
}  // namespace artwork
