#include "encode.h"

#include <algorithm>
#include <cstddef>

namespace artwork {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dpi
constexpr int kMaxIconSide = 255;               // an ICO directory stores sides in one byte

void Put16(Bytes* out, std::uint32_t v) {
  out->push_back(static_cast<std::uint8_t>(v & 0xFF));
  out->push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void Put32(Bytes* out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutInfoHeader(Bytes* out, std::int32_t width, std::int32_t height, std::uint32_t bitCount,
                   std::uint32_t imageSize, std::uint32_t coloursUsed) {
  Put32(out, kInfoHeaderSize);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);  // planes
  Put16(out, bitCount);
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, coloursUsed);
  Put32(out, 0);  // all colours important
}

// Bytes in one padded row of `width` pixels at `bits` each; sides are small
// enough (checked by callers) that this cannot overflow.
std::uint32_t PaddedRow(int width, int bits) {
  std::uint32_t rowBits = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(bits);
  return ((rowBits + 31) / 32) * 4;
}

bool ValidRgb(const RgbImage& image) {
  if (image.width < 1 || image.height < 1) return false;
  if (image.width > Canvas::kMaxSide || image.height > Canvas::kMaxSide) return false;
  return image.rgb.size() == static_cast<std::size_t>(image.width) * image.height * 3;
}

bool ValidRgba(const RgbaImage& image) {
  if (image.width < 1 || image.height < 1) return false;
  if (image.width > Canvas::kMaxSide || image.height > Canvas::kMaxSide) return false;
  return image.rgba.size() == static_cast<std::size_t>(image.width) * image.height * 4;
}

bool Opaque(const RgbaImage& image, std::size_t pixel) { return image.rgba[pixel * 4 + 3] >= 128; }

Rgb8 ColourAt(const RgbaImage& image, std::size_t pixel) {
  return {image.rgba[pixel * 4], image.rgba[pixel * 4 + 1], image.rgba[pixel * 4 + 2]};
}

bool ColourLess(Rgb8 a, Rgb8 b) {
  if (a.r != b.r) return a.r < b.r;
  if (a.g != b.g) return a.g < b.g;
  return a.b < b.b;
}

int Channel(Rgb8 c, int which) { return which == 0 ? c.r : (which == 1 ? c.g : c.b); }

// A box of the median cut: a run [begin, end) of the sorted colour list.
struct ColourBox {
  std::size_t begin;
  std::size_t end;
  int widestChannel;
  int spread;
};

ColourBox Measure(const std::vector<Rgb8>& colours, std::size_t begin, std::size_t end) {
  ColourBox box{begin, end, 0, 0};
  for (int ch = 0; ch < 3; ++ch) {
    int lo = 255;
    int hi = 0;
    for (std::size_t i = begin; i < end; ++i) {
      int v = Channel(colours[i], ch);
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    if (hi - lo > box.spread) {
      box.spread = hi - lo;
      box.widestChannel = ch;
    }
  }
  return box;
}

// How much splitting a box would help: wide boxes with many pixels first, so
// that large gradients get more shades than a few stray edge pixels.
std::uint64_t Weight(const ColourBox& box) { return static_cast<std::uint64_t>(box.spread) * (box.end - box.begin); }

// The AND mask: one bit a pixel, set where the pixel is transparent.
void PutMask(Bytes* out, const RgbaImage& image, bool (*transparent)(const RgbaImage&, std::size_t)) {
  const std::uint32_t row = PaddedRow(image.width, 1);
  for (int y = image.height - 1; y >= 0; --y) {
    const std::size_t line = out->size();
    out->resize(line + row, 0);
    for (int x = 0; x < image.width; ++x) {
      std::size_t pixel = static_cast<std::size_t>(y) * image.width + x;
      if (transparent(image, pixel)) (*out)[line + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
}

bool EncodeIconImage(const IconImage& icon, Bytes* out) {
  const RgbaImage& image = icon.image;
  const int bits = icon.bitsPerPixel;
  if (!ValidRgba(image) || image.width != image.height || image.width > kMaxIconSide) return false;
  if (bits != 4 && bits != 8 && bits != 32) return false;
  const std::uint32_t colourRow = PaddedRow(image.width, bits);
  const std::uint32_t maskRow = PaddedRow(image.width, 1);
  const std::uint32_t imageSize = (colourRow + maskRow) * static_cast<std::uint32_t>(image.height);
  out->clear();
  if (bits == 32) {
    // The height counts the colour and mask halves together.
    PutInfoHeader(out, image.width, image.height * 2, 32, imageSize, 0);
    for (int y = image.height - 1; y >= 0; --y) {
      for (int x = 0; x < image.width; ++x) {
        const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
        out->push_back(p[2]);
        out->push_back(p[1]);
        out->push_back(p[0]);
        out->push_back(p[3]);
      }
    }
    PutMask(out, image, [](const RgbaImage& img, std::size_t i) { return img.rgba[i * 4 + 3] == 0; });
    return true;
  }
  const int count = 1 << bits;
  std::vector<Rgb8> palette;
  if (!FitPalette(image, count, &palette)) return false;
  PutInfoHeader(out, image.width, image.height * 2, static_cast<std::uint32_t>(bits), imageSize,
                static_cast<std::uint32_t>(count));
  for (int i = 0; i < count; ++i) {
    Rgb8 c = i < static_cast<int>(palette.size()) ? palette[i] : Rgb8{0, 0, 0};
    out->push_back(c.b);
    out->push_back(c.g);
    out->push_back(c.r);
    out->push_back(0);
  }
  const int perByte = 8 / bits;
  for (int y = image.height - 1; y >= 0; --y) {
    const std::size_t line = out->size();
    out->resize(line + colourRow, 0);
    for (int x = 0; x < image.width; ++x) {
      std::size_t pixel = static_cast<std::size_t>(y) * image.width + x;
      // Transparent pixels carry black (index 0) so the mask shows through.
      int index = Opaque(image, pixel) ? NearestColour(palette, ColourAt(image, pixel)) : 0;
      int shift = (perByte - 1 - x % perByte) * bits;
      (*out)[line + x / perByte] |= static_cast<std::uint8_t>(index << shift);
    }
  }
  PutMask(out, image, [](const RgbaImage& img, std::size_t i) { return !Opaque(img, i); });
  return true;
}

}  // namespace

bool BmpRowStride(int width, std::uint32_t* stride) {
  if (width < 1 || width > Canvas::kMaxSide) return false;
  *stride = PaddedRow(width, 24);
  return true;
}

bool EncodeBmp24(const RgbImage& image, Bytes* out) {
  if (!ValidRgb(image)) return false;
  std::uint32_t stride = 0;
  if (!BmpRowStride(image.width, &stride)) return false;
  const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(image.height);
  const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
  out->clear();
  out->reserve(offset + pixelBytes);
  out->push_back('B');
  out->push_back('M');
  Put32(out, offset + pixelBytes);
  Put32(out, 0);  // two reserved words
  Put32(out, offset);
  // A positive height means rows are stored bottom-up.
  PutInfoHeader(out, image.width, image.height, 24, pixelBytes, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    std::size_t rowStart = out->size();
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
      out->push_back(p[2]);
      out->push_back(p[1]);
      out->push_back(p[0]);
    }
    out->resize(rowStart + stride, 0);
  }
  return true;
}

bool FitPalette(const RgbaImage& image, int count, std::vector<Rgb8>* palette) {
  if (!ValidRgba(image) || count < 2 || count > 256) return false;
  std::vector<Rgb8> colours;
  const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
  for (std::size_t i = 0; i < pixels; ++i) {
    if (Opaque(image, i)) colours.push_back(ColourAt(image, i));
  }
  palette->assign(1, Rgb8{0, 0, 0});
  if (colours.empty()) return true;
  // Repeatedly split the box that weighs most at the median pixel of its
  // widest channel. Sorting on full colours keeps it deterministic.
  std::vector<ColourBox> boxes{Measure(colours, 0, colours.size())};
  while (static_cast<int>(boxes.size()) < count - 1) {
    std::size_t pick = boxes.size();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      bool splittable = boxes[i].spread > 0 && boxes[i].end - boxes[i].begin > 1;
      if (splittable && (pick == boxes.size() || Weight(boxes[i]) > Weight(boxes[pick]))) pick = i;
    }
    if (pick == boxes.size()) break;
    ColourBox box = boxes[pick];
    const int ch = box.widestChannel;
    std::sort(colours.begin() + static_cast<std::ptrdiff_t>(box.begin),
              colours.begin() + static_cast<std::ptrdiff_t>(box.end), [ch](Rgb8 a, Rgb8 b) {
                if (Channel(a, ch) != Channel(b, ch)) return Channel(a, ch) < Channel(b, ch);
                return ColourLess(a, b);
              });
    std::size_t middle = box.begin + (box.end - box.begin) / 2;
    // Never split between equal values of the channel: move the cut to the
    // nearest change so that each half has a distinct range.
    const int pivot = Channel(colours[middle], ch);
    std::size_t cut = middle;
    while (cut > box.begin && Channel(colours[cut - 1], ch) == pivot) --cut;
    if (cut == box.begin) {
      cut = middle;
      while (cut < box.end && Channel(colours[cut], ch) == pivot) ++cut;
    }
    boxes[pick] = Measure(colours, box.begin, cut);
    boxes.push_back(Measure(colours, cut, box.end));
  }
  // Each box's colour is the rounded mean of its pixels.
  for (const ColourBox& box : boxes) {
    std::uint64_t sum[3] = {0, 0, 0};
    for (std::size_t i = box.begin; i < box.end; ++i) {
      for (int ch = 0; ch < 3; ++ch) sum[ch] += static_cast<std::uint64_t>(Channel(colours[i], ch));
    }
    std::uint64_t n = box.end - box.begin;
    palette->push_back({static_cast<std::uint8_t>((sum[0] + n / 2) / n), static_cast<std::uint8_t>((sum[1] + n / 2) / n),
                        static_cast<std::uint8_t>((sum[2] + n / 2) / n)});
  }
  return true;
}

int NearestColour(const std::vector<Rgb8>& palette, Rgb8 colour) {
  int best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    long dr = static_cast<long>(palette[i].r) - colour.r;
    long dg = static_cast<long>(palette[i].g) - colour.g;
    long db = static_cast<long>(palette[i].b) - colour.b;
    long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

bool EncodeIco(const std::vector<IconImage>& images, Bytes* out) {
  if (images.empty() || images.size() > 0xFFFF) return false;
  std::vector<Bytes> bodies(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    if (!EncodeIconImage(images[i], &bodies[i])) return false;
  }
  out->clear();
  Put16(out, 0);  // reserved
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, static_cast<std::uint32_t>(images.size()));
  std::uint64_t offset = 6 + 16 * static_cast<std::uint64_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImage& icon = images[i];
    if (offset + bodies[i].size() > 0xFFFFFFFFull) return false;
    out->push_back(static_cast<std::uint8_t>(icon.image.width));
    out->push_back(static_cast<std::uint8_t>(icon.image.height));
    out->push_back(static_cast<std::uint8_t>(icon.bitsPerPixel == 4 ? 16 : 0));  // palette size, 0 for 256+
    out->push_back(0);                                                           // reserved
    Put16(out, 1);                                                               // planes
    Put16(out, static_cast<std::uint32_t>(icon.bitsPerPixel));
    Put32(out, static_cast<std::uint32_t>(bodies[i].size()));
    Put32(out, static_cast<std::uint32_t>(offset));
    offset += bodies[i].size();
  }
  for (const Bytes& body : bodies) out->insert(out->end(), body.begin(), body.end());
  return true;
}

}  // namespace artwork
