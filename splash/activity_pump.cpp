#include "delta/progress.h"
#include "splash/activity_clock.h"
#include "splash/splash.h"
#include "splash/splash_window_internal.h"

namespace {

CounterReadFn g_readCounter = QueryCounterPinned;

// Inverts the indicator when strictly more than the blink interval has passed since it last
// changed. A failed clock read or an unknown frequency leaves it as it is.
void UpdateBlink(SplashState& state) {
    int64_t now = 0;
    if (!g_readCounter(now) || state.counterFrequency <= 0) {
        return;
    }
    // Counter values are never negative, so the difference cannot overflow.
    float elapsed = static_cast<float>(now - state.lastBlinkChange) /
                    static_cast<float>(state.counterFrequency);
    if (elapsed > kBlinkInterval) {
        state.lastBlinkChange = now;
        state.blink = !state.blink;
    }
}

// Serves only the splash window's messages; the paint request just made is among them. Whenever
// another window is active the splash goes back to the centre of the current full-screen area,
// top-most.
void PumpSplashMessages(const SplashState& state) {
    MSG message;
    while (PeekMessageA(&message, state.window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        if (GetActiveWindow() != state.window) {
            POINT origin = SplashOrigin(state.backgroundWidth, state.backgroundHeight);
            SetWindowPos(state.window, HWND_TOPMOST, origin.x, origin.y, state.backgroundWidth,
                         state.backgroundHeight, SWP_SHOWWINDOW);
        }
    }
}

}  // namespace

CounterReadFn SetActivityClock(CounterReadFn read) {
    CounterReadFn previous = g_readCounter;
    g_readCounter = read ? read : QueryCounterPinned;
    return previous;
}

void ActivityTick(bool force) {
    g_activityCounter += 1;
    if (g_activityCounter != kActivityPumpThreshold && !force) {
        return;
    }
    g_activityCounter = 0;
    // Counted even without a window, so the applier's batching of quiet ticks stays in step.
    SplashState* state = RegisteredSplash();
    if (!state || !state->window) {
        return;
    }
    UpdateBlink(*state);
    InvalidateRect(state->window, nullptr, FALSE);
    PumpSplashMessages(*state);
}
