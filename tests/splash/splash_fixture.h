// Splash windows on a real screen over the shared backdrop.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "delta/progress.h"
#include "splash/activity_clock.h"
#include "splash/splash.h"
#include "splash_test_support.h"

constexpr DWORD kScreenTimeoutMs = 5000;

inline testing::AssertionResult NeedScreen() {
    std::string why;
    if (!DisplayConfigured(why)) {
        return testing::AssertionFailure() << why;
    }
    if (!SharedBackdrop()) {
        return testing::AssertionFailure()
               << "no window could be created: is the X server at DISPLAY running?";
    }
    return testing::AssertionSuccess();
}

// Waits until `window`'s area of the screen shows `expected`.
inline testing::AssertionResult ScreenShows(HWND window, const Image& expected) {
    Image last;
    if (WaitForScreen(WindowRect(window), expected, kScreenTimeoutMs, last)) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << DescribeDifference(last, expected);
}

inline Image ExpectedFor(const SplashState& state, bool blink) {
    Image background;
    Image indicator;
    ReadBitmap(state.background, background);
    ReadBitmap(state.indicator, indicator);
    return ExpectedSplash(background, indicator, blink, RgbOf(kBackdropColour));
}

// One splash for a whole suite, since every splash window that goes away costs Wine ~2 s (it is
// shown active). Each test starts from the look and place of a fresh bring-up: centred, active,
// indicator hidden, count at 0, real clock.
class SharedSplash : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (NeedScreen()) {
            BringUpSplash(state_);
            hidden_ = ExpectedFor(state_, false);
            shown_ = ExpectedFor(state_, true);
        }
    }

    static void TearDownTestSuite() {
        RegisterSplash(nullptr);
        TearDownSplash(state_);
    }

    void SetUp() override {
        ASSERT_TRUE(NeedScreen());
        ASSERT_NE(state_.window, nullptr) << "the splash did not come up";
        RegisterSplash(&state_);
        SetActivityClock(nullptr);
        g_activityCounter = 0;
        state_.blink = false;
        POINT origin{(GetSystemMetrics(SM_CXFULLSCREEN) - state_.backgroundWidth) / 2,
                     (GetSystemMetrics(SM_CYFULLSCREEN) - state_.backgroundHeight) / 2};
        SetWindowPos(state_.window, HWND_TOPMOST, origin.x, origin.y, 0, 0, SWP_NOSIZE);
        SetActiveWindow(state_.window);
        InvalidateRect(state_.window, nullptr, FALSE);
        UpdateWindow(state_.window);
        ASSERT_TRUE(ScreenShows(state_.window, hidden_));
    }

    void TearDown() override {
        SetActivityClock(nullptr);
        g_activityCounter = 0;
    }

    static inline SplashState state_;
    static inline Image hidden_;  // the expected screen without the indicator
    static inline Image shown_;   // and with it
};
