#include "screen_capture.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// The screen's device context, released when the scope ends.
class ScreenDc {
  public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) {
            ReleaseDC(nullptr, dc_);
        }
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

// A memory device context with one bitmap selected; both go when the scope ends.
class BitmapCanvas {
  public:
    BitmapCanvas(HDC compatibleWith, HBITMAP bitmap)
        : dc_(CreateCompatibleDC(compatibleWith)), bitmap_(bitmap) {
        if (dc_ && bitmap_) {
            previous_ = SelectObject(dc_, bitmap_);
        }
    }
    ~BitmapCanvas() {
        if (dc_ && previous_) {
            SelectObject(dc_, previous_);
        }
        if (dc_) {
            DeleteDC(dc_);
        }
        if (bitmap_) {
            DeleteObject(bitmap_);
        }
    }
    BitmapCanvas(const BitmapCanvas&) = delete;
    BitmapCanvas& operator=(const BitmapCanvas&) = delete;
    HDC dc() const { return previous_ ? dc_ : nullptr; }

  private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_ = nullptr;
};

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Refuses sizes whose pixel count would not fit comfortably in memory arithmetic.
bool SizeIsSane(int width, int height) {
    return width > 0 && height > 0 && width <= 16384 && height <= 16384;
}

void CopyPixels(const void* bits, int width, int height, Image& out) {
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<size_t>(width) * height);
    std::memcpy(out.pixels.data(), bits, out.pixels.size() * sizeof(uint32_t));
    for (uint32_t& pixel : out.pixels) {
        pixel &= 0x00FFFFFFu;
    }
}

std::string HostPathForWine(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string converted = "Z:" + path;
    for (char& c : converted) {
        if (c == '/') {
            c = '\\';
        }
    }
    return converted;
}

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

bool CaptureScreen(const RECT& area, Image& out) {
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (!SizeIsSane(width, height)) {
        return false;
    }
    ScreenDc screen;
    if (!screen.get()) {
        return false;
    }
    BITMAPINFO info = TopDown32(width, height);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) {
        return false;
    }
    BitmapCanvas canvas(screen.get(), section);
    if (!canvas.dc() ||
        !BitBlt(canvas.dc(), 0, 0, width, height, screen.get(), area.left, area.top,
                SRCCOPY | CAPTUREBLT)) {
        return false;
    }
    GdiFlush();
    CopyPixels(bits, width, height, out);
    return true;
}

bool ReadBitmap(HBITMAP bitmap, Image& out) {
    BITMAP description{};
    if (!bitmap || GetObjectA(bitmap, sizeof description, &description) == 0 ||
        !SizeIsSane(description.bmWidth, description.bmHeight)) {
        return false;
    }
    ScreenDc screen;
    if (!screen.get()) {
        return false;
    }
    int width = description.bmWidth;
    int height = description.bmHeight;
    BITMAPINFO info = TopDown32(width, height);
    std::vector<uint32_t> bits(static_cast<size_t>(width) * height);
    if (GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), bits.data(), &info,
                  DIB_RGB_COLORS) != height) {
        return false;
    }
    CopyPixels(bits.data(), width, height, out);
    return true;
}

bool SaveBmp(const Image& image, const std::string& path) {
    if (!SizeIsSane(image.width, image.height) ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
        return false;
    }
    const uint32_t rowBytes = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(image.height);
    const uint32_t headerBytes = 14 + 40;
    std::vector<uint8_t> file;
    file.reserve(headerBytes + pixelBytes);
    file.push_back('B');
    file.push_back('M');
    PutLittleEndian(file, headerBytes + pixelBytes, 4);
    PutLittleEndian(file, 0, 4);
    PutLittleEndian(file, headerBytes, 4);
    PutLittleEndian(file, 40, 4);
    PutLittleEndian(file, static_cast<uint32_t>(image.width), 4);
    PutLittleEndian(file, static_cast<uint32_t>(image.height), 4);
    PutLittleEndian(file, 1, 2);
    PutLittleEndian(file, 24, 2);
    PutLittleEndian(file, 0, 4);  // uncompressed
    PutLittleEndian(file, pixelBytes, 4);
    PutLittleEndian(file, 2835, 4);  // 72 dpi
    PutLittleEndian(file, 2835, 4);
    PutLittleEndian(file, 0, 4);
    PutLittleEndian(file, 0, 4);
    for (int y = image.height - 1; y >= 0; --y) {
        const size_t rowStart = file.size();
        for (int x = 0; x < image.width; ++x) {
            uint32_t pixel = image.At(x, y);
            file.push_back(static_cast<uint8_t>(pixel));
            file.push_back(static_cast<uint8_t>(pixel >> 8));
            file.push_back(static_cast<uint8_t>(pixel >> 16));
        }
        while (file.size() - rowStart < rowBytes) {
            file.push_back(0);
        }
    }
    std::unique_ptr<FILE, FileCloser> out(fopen(HostPathForWine(path).c_str(), "wb"));
    if (!out) {
        return false;
    }
    return fwrite(file.data(), file.size(), 1, out.get()) == 1 && fflush(out.get()) == 0;
}

bool SaveScreenshotIfRequested(const char* variable, const RECT& area, bool* saved) {
    if (saved) {
        *saved = false;
    }
    const char* path = getenv(variable);
    if (!path || !*path) {
        return true;
    }
    Image screen;
    if (!CaptureScreen(area, screen) || !SaveBmp(screen, path)) {
        return false;
    }
    if (saved) {
        *saved = true;
    }
    return true;
}
