// The BMP and ICO writers and the palette fitting behind 4- and 8-bit icons.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "encode.h"

namespace artwork {
namespace {

std::uint32_t Le16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t Le32(const Bytes& b, std::size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

RgbImage Gradient(int width, int height) {
  RgbImage image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.rgb.push_back(static_cast<std::uint8_t>(x));
      image.rgb.push_back(static_cast<std::uint8_t>(y));
      image.rgb.push_back(static_cast<std::uint8_t>(100 + x + y));
    }
  }
  return image;
}

TEST(Bmp, RowsArePaddedToFourBytes) {
  const struct {
    int width;
    std::uint32_t stride;
  } cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {68, 204}, {504, 1512}};
  for (const auto& c : cases) {
    std::uint32_t stride = 0;
    ASSERT_TRUE(BmpRowStride(c.width, &stride)) << c.width;
    EXPECT_EQ(stride, c.stride) << c.width;
  }
  std::uint32_t stride = 0;
  EXPECT_FALSE(BmpRowStride(0, &stride));
  EXPECT_FALSE(BmpRowStride(Canvas::kMaxSide + 1, &stride));
}

TEST(Bmp, HeadersDescribeAnUncompressedBottomUpBitmap) {
  Bytes out;
  ASSERT_TRUE(EncodeBmp24(Gradient(5, 3), &out));
  const std::uint32_t stride = 16;
  ASSERT_EQ(out.size(), 54u + stride * 3);
  EXPECT_EQ(out[0], 'B');
  EXPECT_EQ(out[1], 'M');
  EXPECT_EQ(Le32(out, 2), out.size());
  EXPECT_EQ(Le32(out, 6), 0u);
  EXPECT_EQ(Le32(out, 10), 54u);
  EXPECT_EQ(Le32(out, 14), 40u);
  EXPECT_EQ(Le32(out, 18), 5u);
  EXPECT_EQ(Le32(out, 22), 3u);  // positive: bottom-up
  EXPECT_EQ(Le16(out, 26), 1u);
  EXPECT_EQ(Le16(out, 28), 24u);
  EXPECT_EQ(Le32(out, 30), 0u);  // BI_RGB
  EXPECT_EQ(Le32(out, 34), stride * 3);
}

TEST(Bmp, PixelsAreStoredBlueGreenRedFromTheBottomRowUp) {
  RgbImage image = Gradient(5, 3);
  Bytes out;
  ASSERT_TRUE(EncodeBmp24(image, &out));
  const std::size_t stride = 16;
  for (int y = 0; y < 3; ++y) {
    std::size_t row = 54 + (2 - y) * stride;
    for (int x = 0; x < 5; ++x) {
      const std::uint8_t* src = &image.rgb[(y * 5 + x) * 3];
      EXPECT_EQ(out[row + x * 3 + 0], src[2]) << x << "," << y;
      EXPECT_EQ(out[row + x * 3 + 1], src[1]) << x << "," << y;
      EXPECT_EQ(out[row + x * 3 + 2], src[0]) << x << "," << y;
    }
    EXPECT_EQ(out[row + 15], 0) << "padding of row " << y;
  }
}

TEST(Bmp, RefusesInconsistentImages) {
  RgbImage image = Gradient(4, 4);
  image.rgb.pop_back();
  Bytes out;
  EXPECT_FALSE(EncodeBmp24(image, &out));
  RgbImage empty;
  EXPECT_FALSE(EncodeBmp24(empty, &out));
}

RgbaImage Square(int side, std::uint8_t alpha) {
  RgbaImage image;
  image.width = side;
  image.height = side;
  for (int i = 0; i < side * side; ++i) {
    image.rgba.push_back(static_cast<std::uint8_t>((i * 37) % 256));
    image.rgba.push_back(static_cast<std::uint8_t>((i * 11) % 256));
    image.rgba.push_back(static_cast<std::uint8_t>(255 - (i * 5) % 256));
    image.rgba.push_back(alpha);
  }
  return image;
}

TEST(Palette, StartsWithBlackAndStaysWithinTheLimit) {
  const int limits[] = {2, 16, 256};
  for (int limit : limits) {
    std::vector<Rgb8> palette;
    ASSERT_TRUE(FitPalette(Square(32, 255), limit, &palette)) << limit;
    EXPECT_LE(static_cast<int>(palette.size()), limit);
    EXPECT_EQ(palette[0], (Rgb8{0, 0, 0}));
  }
  std::vector<Rgb8> palette;
  EXPECT_FALSE(FitPalette(Square(4, 255), 1, &palette));
  EXPECT_FALSE(FitPalette(Square(4, 255), 257, &palette));
}

TEST(Palette, KeepsAFewColoursExactlyAndIgnoresTransparentOnes) {
  RgbaImage image = Square(2, 255);
  const Rgb8 colours[] = {{250, 10, 10}, {10, 250, 10}, {10, 10, 250}, {90, 90, 90}};
  for (int i = 0; i < 4; ++i) {
    image.rgba[i * 4] = colours[i].r;
    image.rgba[i * 4 + 1] = colours[i].g;
    image.rgba[i * 4 + 2] = colours[i].b;
  }
  image.rgba[3 * 4 + 3] = 20;  // the grey pixel is transparent
  std::vector<Rgb8> palette;
  ASSERT_TRUE(FitPalette(image, 16, &palette));
  std::set<std::uint32_t> kept;
  for (const Rgb8& c : palette) kept.insert((c.r << 16) | (c.g << 8) | c.b);
  EXPECT_EQ(palette.size(), 4u);  // black and the three opaque colours
  EXPECT_EQ(kept.count((250u << 16) | (10u << 8) | 10u), 1u);
  EXPECT_EQ(kept.count((10u << 16) | (250u << 8) | 10u), 1u);
  EXPECT_EQ(kept.count((10u << 16) | (10u << 8) | 250u), 1u);
  EXPECT_EQ(kept.count((90u << 16) | (90u << 8) | 90u), 0u);
}

TEST(Palette, NearestColourPrefersTheLowestIndexOnATie) {
  const std::vector<Rgb8> palette{{0, 0, 0}, {100, 100, 100}, {100, 100, 100}, {255, 255, 255}};
  EXPECT_EQ(NearestColour(palette, {90, 95, 110}), 1);
  EXPECT_EQ(NearestColour(palette, {10, 0, 5}), 0);
  EXPECT_EQ(NearestColour(palette, {240, 250, 255}), 3);
}

TEST(Ico, DirectoryPointsAtEachImageInOrder) {
  std::vector<IconImage> images{{4, Square(16, 255)}, {8, Square(24, 255)}, {32, Square(8, 255)}};
  Bytes out;
  ASSERT_TRUE(EncodeIco(images, &out));
  EXPECT_EQ(Le16(out, 0), 0u);
  EXPECT_EQ(Le16(out, 2), 1u);
  ASSERT_EQ(Le16(out, 4), 3u);
  std::size_t expectedOffset = 6 + 3 * 16;
  for (int i = 0; i < 3; ++i) {
    const std::size_t entry = 6 + i * 16;
    const int side = images[i].image.width;
    const int bits = images[i].bitsPerPixel;
    EXPECT_EQ(out[entry], side);
    EXPECT_EQ(out[entry + 1], side);
    EXPECT_EQ(out[entry + 2], bits == 4 ? 16 : 0);
    EXPECT_EQ(Le16(out, entry + 4), 1u);
    EXPECT_EQ(Le16(out, entry + 6), static_cast<std::uint32_t>(bits));
    const std::uint32_t size = Le32(out, entry + 8);
    EXPECT_EQ(Le32(out, entry + 12), expectedOffset);
    const std::uint32_t colourRow = ((side * bits + 31) / 32) * 4;
    const std::uint32_t maskRow = ((side + 31) / 32) * 4;
    const std::uint32_t palette = bits == 32 ? 0 : (1u << bits) * 4;
    EXPECT_EQ(size, 40 + palette + (colourRow + maskRow) * side) << "image " << i;
    EXPECT_EQ(Le32(out, expectedOffset + 8), static_cast<std::uint32_t>(2 * side)) << "colour and mask halves";
    expectedOffset += size;
  }
  EXPECT_EQ(out.size(), expectedOffset);
}

TEST(Ico, RefusesWhatAnIconCannotHold) {
  struct Case {
    const char* name;
    IconImage image;
  } cases[] = {
      {"24 bits per pixel", {24, Square(16, 255)}},
      {"too large", {32, Square(256, 255)}},
      {"not square", {8, RgbaImage{16, 8, std::vector<std::uint8_t>(16 * 8 * 4, 255)}}},
  };
  for (const Case& c : cases) {
    Bytes out;
    EXPECT_FALSE(EncodeIco({c.image}, &out)) << c.name;
  }
  Bytes out;
  EXPECT_FALSE(EncodeIco({}, &out));
}

}  // namespace
}  // namespace artwork
