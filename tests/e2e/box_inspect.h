// Reads what a message box shows, from outside the process that owns it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// What one message box shows. Texts are UTF-8.
struct BoxView {
    std::string title;
    std::string text;
    std::vector<int> buttons;  // command ids of the visible buttons, left to right
    std::string icon;          // error, warning, information, question, none or unknown
    std::string owner;         // "none" or "<owner class>:<owner title>"
};

// True for a top-level dialog window of the class message boxes use.
bool IsDialogWindow(HWND window);

// Reads title, text, buttons and owner at once, and identifies the icon, for which it waits up
// to icon_wait_ms for the box to be painted. False when the window went away meanwhile.
bool InspectBox(HWND dialog, DWORD icon_wait_ms, BoxView* view);

// The button names used in answer scripts and logs ("OK", "Retry", ...), by command id.
// Returns nullptr for an id that is not a message box button.
const char* ButtonName(int id);
// The command id for a button name, or 0 when the name is not known.
int ButtonIdForName(const std::string& name);

// Copies what the screen shows in a rectangle, as 0x00RRGGBB pixels, rows top down: the only
// way to see what another process has drawn.
bool CaptureScreen(const RECT& rect, std::vector<uint32_t>* pixels);
// Each of red, green and blue within 16 of the other's: a display may blend a little
// differently from GDI in memory.
bool NearlyEqual(uint32_t a, uint32_t b);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& text);

}  // namespace e2e
