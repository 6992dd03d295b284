// Writers for the two Windows picture formats the installer carries: 24-bit
// BMP files for the bitmap resources and a multi-image ICO for the icon
// group.
#pragma once

#include <cstdint>
#include <vector>

#include "canvas.h"

namespace artwork {

using Bytes = std::vector<std::uint8_t>;

// Rows of a 24-bit bitmap are padded to a multiple of 4 bytes.
bool BmpRowStride(int width, std::uint32_t* stride);

// BITMAPFILEHEADER + BITMAPINFOHEADER (BI_RGB, 24 bpp), bottom-up rows.
bool EncodeBmp24(const RgbImage& image, Bytes* out);

struct IconImage {
  int bitsPerPixel;  // 4, 8 or 32
  RgbaImage image;   // square, 1..255 pixels on a side
};

// One ICO file holding every image, in the given order. Palettized images get
// a palette fitted to their colours; pixels with alpha below one half become
// transparent through the AND mask. 32-bit images keep their alpha and get
// an AND mask of their fully transparent pixels.
bool EncodeIco(const std::vector<IconImage>& images, Bytes* out);

// Fits at most `count` colours to the opaque pixels by median cut. Index 0 is
// always black, the colour that transparent pixels must carry in an icon.
bool FitPalette(const RgbaImage& image, int count, std::vector<Rgb8>* palette);
// Index of the nearest palette colour; the lowest index wins a tie.
int NearestColour(const std::vector<Rgb8>& palette, Rgb8 colour);

}  // namespace artwork
