// Looks at a program's splash window from outside: where it is, whether it is top-most, and
// what its bottom-right corner shows on the screen, told apart by the pictures the program
// itself carries.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// The corner as it must look without and with the indicator: the background's bottom-right
// corner of the indicator's size, and the indicator. Pixels are 0x00RRGGBB, rows top down.
struct CornerPictures {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> off;
    std::vector<uint32_t> on;
};

// Reads the two bitmaps from the resources of the executable at module_path. False, with the
// reason, when either cannot be read or the indicator is larger than the background.
bool LoadCornerPictures(const std::wstring& module_path, int background_id, int indicator_id,
                        CornerPictures* pictures, std::string* why);

enum class Corner { kOff, kOn, kOther };
const char* CornerName(Corner corner);

// What the screen shows in the window's bottom-right corner of the pictures' size. The key
// colour, when the window has one, marks the pictures' see-through pixels, which say nothing.
// kOther when the corner matches neither picture (not painted yet, covered, being moved).
Corner ClassifyCorner(const CornerPictures& pictures, const std::vector<uint32_t>& shown,
                      bool keyed, uint32_t key);

// Captures the window's bottom-right corner of width x height from the screen, at the window's
// current place.
bool CaptureCorner(HWND window, int width, int height, std::vector<uint32_t>* shown);

// The colour key of a layered window as 0x00RRGGBB; false when it has none.
bool ColourKeyOf(HWND window, uint32_t* key);

// The visible top-level window of this class that the process owns, or nullptr.
HWND FindProcessWindow(DWORD pid, const std::wstring& window_class);

// Where a window of this size sits when centred in the full-screen area, as this process's
// system metrics give it.
POINT CentredOrigin(int width, int height);

// True when `upper` comes before `lower` in the z-order of the top-level windows.
bool IsAbove(HWND upper, HWND lower);

bool IsTopMost(HWND window);

}  // namespace e2e
