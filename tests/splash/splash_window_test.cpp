// The splash window as it shows on a real screen: size, place, styles, colour key, the indicator
// after bring-up, teardown, and bring-up that stops early.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "splash_fixture.h"

namespace {

using SplashWindow = SharedSplash;

TEST_F(SplashWindow, IsTheBackgroundSizeCentredInTheFullScreenArea) {
    EXPECT_EQ(state_.backgroundWidth, 504);
    EXPECT_EQ(state_.backgroundHeight, 190);
    EXPECT_EQ(state_.indicatorWidth, 68);
    EXPECT_EQ(state_.indicatorHeight, 48);

    const int left = (GetSystemMetrics(SM_CXFULLSCREEN) - 504) / 2;
    const int top = (GetSystemMetrics(SM_CYFULLSCREEN) - 190) / 2;
    RECT rect = WindowRect(state_.window);
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right - rect.left, 504);
    EXPECT_EQ(rect.bottom - rect.top, 190);
}

TEST_F(SplashWindow, IsABorderlessTopMostColourKeyedToolWindow) {
    char title[64] = {};
    GetWindowTextA(state_.window, title, sizeof title);
    EXPECT_STREQ(title, "ORVEK Demo - Patch");
    char className[64] = {};
    GetClassNameA(state_.window, className, sizeof className);
    EXPECT_STREQ(className, "QuorvaneClass");
    EXPECT_EQ(GetClassLongPtrA(state_.window, GCL_STYLE),
              static_cast<ULONG_PTR>(CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW));

    const LONG style = GetWindowLongA(state_.window, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_THICKFRAME), WS_POPUP);
    EXPECT_TRUE(IsWindowVisible(state_.window));
    const LONG exStyle = GetWindowLongA(state_.window, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED),
              WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED);

    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(state_.window, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(11, 80, 19));
    EXPECT_EQ(flags & LWA_COLORKEY, static_cast<DWORD>(LWA_COLORKEY));
}

TEST_F(SplashWindow, KeyColouredPixelsShowWhatIsBehindIt) {
    Image background;
    ASSERT_TRUE(ReadBitmap(state_.background, background));
    const uint32_t key = RgbOf(RGB(11, 80, 19));
    const uint32_t backdrop = RgbOf(kBackdropColour);
    ASSERT_EQ(background.At(0, 0), key) << "the background's edge carries the key colour";
    const int innerX = background.width / 2;
    const int innerY = background.height / 2;
    const uint32_t inner = background.At(innerX, innerY);
    ASSERT_NE(inner, key);
    ASSERT_NE(inner, backdrop);

    Image screen;
    ASSERT_TRUE(CaptureScreen(WindowRect(state_.window), screen));
    EXPECT_EQ(screen.At(0, 0), backdrop);
    EXPECT_EQ(screen.At(innerX, innerY), inner);
}

// Each test brings its own splash up, since bring-up and teardown are what it looks at.
class SplashLifecycle : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(NeedScreen());
        g_activityCounter = 0;
    }
    void TearDown() override {
        RegisterSplash(nullptr);
        TearDownSplash(state_);
    }

    SplashState state_;
};

TEST_F(SplashLifecycle, IndicatorIsHiddenUntilTheFirstForcedTickAfterTheInterval) {
    ASSERT_TRUE(BringUpSplash(state_));
    EXPECT_FALSE(state_.blink);
    EXPECT_TRUE(ScreenShows(state_.window, ExpectedFor(state_, false)));

    Sleep(700);
    ActivityTick(true);
    EXPECT_TRUE(state_.blink);
    // Outside the bottom-right 68 x 48 pixels both expected pictures agree, so this also says
    // that the indicator covers exactly that corner.
    EXPECT_TRUE(ScreenShows(state_.window, ExpectedFor(state_, true)));

    bool saved = false;
    EXPECT_TRUE(
        SaveScreenshotIfRequested("ORVEK_SPLASH_SCREENSHOT", WindowRect(state_.window), &saved));
    if (saved) {
        printf("saved the splash screenshot to %s\n", getenv("ORVEK_SPLASH_SCREENSHOT"));
    }
}

TEST_F(SplashLifecycle, TeardownReleasesTheWindowItsClassAndTheImages) {
    ASSERT_TRUE(BringUpSplash(state_));
    HWND window = state_.window;
    HBITMAP background = state_.background;
    HBITMAP indicator = state_.indicator;
    RegisterSplash(nullptr);
    TearDownSplash(state_);

    EXPECT_EQ(state_.window, nullptr);
    EXPECT_EQ(state_.background, nullptr);
    EXPECT_EQ(state_.indicator, nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetObjectType(background), 0u);
    EXPECT_EQ(GetObjectType(indicator), 0u);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA(nullptr), "QuorvaneClass", &windowClass));
}

// A class of the same name already registered for the module makes class registration fail.
TEST_F(SplashLifecycle, WithoutItsWindowClassStopsSilentlyAndStaysRegistered) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSEXA taken{};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = module;
    taken.lpszClassName = "QuorvaneClass";
    ASSERT_NE(RegisterClassExA(&taken), 0);

    EXPECT_FALSE(BringUpSplash(state_));
    EXPECT_EQ(state_.window, nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "ORVEK Demo - Patch"), nullptr);
    EXPECT_EQ(RegisteredSplash(), &state_);
    EXPECT_EQ(g_progressTick, &ActivityTick);
    // The images were loaded before the class was needed; teardown frees them.
    HBITMAP background = state_.background;
    EXPECT_NE(background, nullptr);
    EXPECT_NE(state_.indicator, nullptr);

    RegisterSplash(nullptr);
    TearDownSplash(state_);
    EXPECT_EQ(state_.background, nullptr);
    EXPECT_EQ(GetObjectType(background), 0u);
    // Without a window teardown leaves the class alone: it is not the splash's.
    WNDCLASSEXA still{};
    still.cbSize = sizeof still;
    EXPECT_TRUE(GetClassInfoExA(module, "QuorvaneClass", &still));
    EXPECT_TRUE(UnregisterClassA("QuorvaneClass", module));
}

}  // namespace
