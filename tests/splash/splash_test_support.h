// Shared pieces of the splash tests: a display check, a solid backdrop window, the expected look
// of the splash, waiting for the screen to show it, and a clock the tests set.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "screen_capture.h"

// True when an X display is configured for Wine; otherwise `why` says what to do.
bool DisplayConfigured(std::string& why);

// Dispatches every pending message of this thread for about `milliseconds`.
void PumpThreadMessages(DWORD milliseconds);

// A borderless window of one colour over the whole screen, for what shows through the splash. It
// is shown without being activated: Wine, with no window manager running, waits about 2 s when it
// hides a window that was ever active.
class Backdrop {
  public:
    explicit Backdrop(COLORREF colour);
    ~Backdrop();
    Backdrop(const Backdrop&) = delete;
    Backdrop& operator=(const Backdrop&) = delete;
    HWND window() const { return window_; }

  private:
    HBRUSH brush_ = nullptr;
    HWND window_ = nullptr;
};

// The run's one backdrop, made before the first test when a display is configured; null otherwise.
constexpr COLORREF kBackdropColour = RGB(255, 0, 255);
Backdrop* SharedBackdrop();

// What the splash should look like on screen: the background, the indicator in the bottom-right
// corner when `blink` is set, and the backdrop wherever the result has the key colour.
Image ExpectedSplash(const Image& background, const Image& indicator, bool blink,
                     uint32_t backdrop);

// Empty when the two match; otherwise how many pixels differ and the first of them.
std::string DescribeDifference(const Image& actual, const Image& expected);

// Captures `area` until it equals `expected` or `timeoutMs` has passed, pumping this thread's
// messages in between (Wine hands window contents to X asynchronously). `last` is the final
// capture.
bool WaitForScreen(const RECT& area, const Image& expected, DWORD timeoutMs, Image& last);

RECT WindowRect(HWND window);

// A clock for the activity tick that only moves when a test sets it.
struct TestClock {
    static int64_t now;
    static int reads;
    static bool Read(int64_t& out);
    static void Reset(int64_t start);
};
