// The splash display: a borderless, top-most, colour-keyed picture window that is up for the whole
// run and owns every message box, and the activity tick that keeps it alive during the apply.
// Everything here runs on the program's only thread.
#pragma once

#include <windows.h>

#include <cstdint>

// The run's one splash record. WinMain owns it; while the splash is up it is also the process-wide
// splash registration, read by the window procedure and by the activity tick.
struct SplashState {
    HWND window = nullptr;          // the splash window, or none
    HBITMAP background = nullptr;   // bitmap 109, or none
    HBITMAP indicator = nullptr;    // bitmap 111, or none
    int32_t backgroundWidth = 0;
    int32_t indicatorWidth = 0;
    int32_t backgroundHeight = 0;
    int32_t indicatorHeight = 0;
    int64_t counterFrequency = 0;   // performance-counter ticks per second
    int64_t lastBlinkChange = 0;    // performance-counter value when `blink` last changed
    bool blink = false;             // the indicator is drawn
};

constexpr int kSplashIconId = 101;
constexpr int kSplashBackgroundId = 109;
constexpr int kSplashIndicatorId = 111;
constexpr char kSplashClassName[] = "QuorvaneClass";
constexpr char kSplashTitle[] = "ORVEK Demo - Patch";
// Pixels of exactly this colour are see-through where layering is available.
constexpr COLORREF kSplashColourKey = RGB(11, 80, 19);
// Seconds that must have passed, strictly, before the indicator changes again.
constexpr float kBlinkInterval = 0.6f;

// Sets the splash registration. A state also registers ActivityTick as the applier's progress
// tick; nullptr clears both. The run sequence clears it before TearDownSplash.
void RegisterSplash(SplashState* state);
SplashState* RegisteredSplash();

// Fills `state`, registers it before anything can fail, loads the two images and creates, shows
// and paints the window. Any failure stops silently with what has been set so far, so afterwards
// `state.window` is the splash window or none. True when the window came up.
bool BringUpSplash(SplashState& state);

// Paints from the registered state (not the creation parameter): the background, and the
// indicator in the bottom-right corner while `blink` is set.
LRESULT CALLBACK SplashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Destroys the window (and unregisters its class) and frees the images; safe on a state that
// never got them. Leaves the handles none.
void TearDownSplash(SplashState& state);

// Performance-counter reads with the thread pinned to the first processor, whose previous
// affinity is restored afterwards. Each returns the result of the read and sets `out` only then.
bool QueryFrequencyPinned(int64_t& out);
bool QueryCounterPinned(int64_t& out);

// The applier's progress tick. Every call counts; on the 10,000th unforced call, or on any forced
// one, the count restarts and, when the registered state has a window, the pump runs: blink at
// most every 0.6 s, repaint, dispatch the splash window's messages, and put the window back in
// the centre, top-most, whenever another window is active.
void ActivityTick(bool force);
