// Pixels of the screen and of bitmaps, read in-process through GDI, and saved as BMP files. Under
// Wine on X the screen is what the X server shows, colour-keyed see-through included.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A top-down picture of 0x00RRGGBB pixels.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    void Set(int x, int y, uint32_t rgb) { pixels[static_cast<size_t>(y) * width + x] = rgb; }
};

inline uint32_t RgbOf(COLORREF colour) {
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) |
           (static_cast<uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

// Copies `area` of the screen, in screen coordinates, into `out`.
bool CaptureScreen(const RECT& area, Image& out);

// Reads all pixels of a bitmap that is not selected into any device context.
bool ReadBitmap(HBITMAP bitmap, Image& out);

// Writes a 24-bit bottom-up BMP file. Paths that start with '/' are taken as host paths under
// Wine (drive Z:).
bool SaveBmp(const Image& image, const std::string& path);

// When the environment variable `variable` names a file, saves `area` of the screen there.
// True when nothing was asked for or the file was written; `saved` tells which.
bool SaveScreenshotIfRequested(const char* variable, const RECT& area, bool* saved = nullptr);
