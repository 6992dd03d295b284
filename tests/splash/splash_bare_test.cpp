// Bring-up in an executable that carries none of the splash's images: it stops at the first
// image, silently, with the registration in place and nothing to tear down. No display needed.
#include <gtest/gtest.h>

#include "delta/progress.h"
#include "splash/activity_clock.h"
#include "splash/splash.h"

namespace {

int g_clockReads = 0;

bool CountingClock(int64_t& out) {
    ++g_clockReads;
    out = 0;
    return true;
}

TEST(SplashWithoutImages, StopsBeforeAnyWindowWithTheStateRegistered) {
    SplashState state;
    // Left-overs that bring-up must clear first.
    state.window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
    state.background = reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(0x5678));
    state.indicator = reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(0x9abc));
    state.blink = true;

    EXPECT_FALSE(BringUpSplash(state));
    EXPECT_EQ(state.window, nullptr);
    EXPECT_EQ(state.background, nullptr);
    EXPECT_EQ(state.indicator, nullptr);
    EXPECT_FALSE(state.blink);
    EXPECT_EQ(RegisteredSplash(), &state);
    EXPECT_EQ(g_progressTick, &ActivityTick);
    EXPECT_EQ(FindWindowA("QuorvaneClass", nullptr), nullptr);

    // The applier's ticks still count, but nothing is pumped.
    SetActivityClock(CountingClock);
    g_activityCounter = 9999;
    ActivityTick(false);
    ActivityTick(true);
    EXPECT_EQ(g_activityCounter, 0);
    EXPECT_EQ(g_clockReads, 0);
    SetActivityClock(nullptr);

    RegisterSplash(nullptr);
    TearDownSplash(state);
    EXPECT_EQ(state.window, nullptr);
    EXPECT_EQ(RegisteredSplash(), nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA(nullptr), "QuorvaneClass", &windowClass));
}

TEST(SplashWithoutImages, PinnedCounterReadsMoveForward) {
    int64_t frequency = 0;
    int64_t first = 0;
    int64_t second = 0;
    ASSERT_TRUE(QueryFrequencyPinned(frequency));
    EXPECT_GT(frequency, 0);
    ASSERT_TRUE(QueryCounterPinned(first));
    Sleep(20);
    ASSERT_TRUE(QueryCounterPinned(second));
    EXPECT_GE(second - first, frequency / 100);  // at least 10 ms passed
    // The thread's own affinity is back afterwards.
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask));
    DWORD_PTR previous = SetThreadAffinityMask(GetCurrentThread(), processMask);
    EXPECT_EQ(previous, processMask);
}

}  // namespace
