// The activity tick: when it pumps, when the indicator changes, what a pump repaints and where it
// puts the window, and how the applier drives it. Time comes from a clock the test sets.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "delta/delta.h"
#include "splash_fixture.h"

namespace {

// The pump takes every message of the splash window; a posted marker shows whether it ran.
constexpr UINT kMarker = WM_APP + 7;

void PostMarker(HWND window) {
    PostMessageA(window, kMarker, 0, 0);
}

bool MarkerPending(HWND window) {
    MSG message;
    return PeekMessageA(&message, window, kMarker, kMarker, PM_NOREMOVE) != 0;
}

class ActivityPump : public SharedSplash {
  protected:
    void SetUp() override {
        SharedSplash::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        SetActivityClock(TestClock::Read);
        // A millisecond clock at a fixed start, unless a case says otherwise.
        state_.counterFrequency = 1000;
        state_.lastBlinkChange = 50000;
        TestClock::Reset(50000);
    }
};

TEST_F(ActivityPump, UnforcedTicksOnlyCountUntilTheTenThousandth) {
    TestClock::now = 51000;  // a pump would change the indicator
    PostMarker(state_.window);
    for (int32_t tick = 1; tick <= 9999; ++tick) {
        ActivityTick(false);
        ASSERT_EQ(g_activityCounter, tick);
    }
    EXPECT_EQ(TestClock::reads, 0);
    EXPECT_FALSE(state_.blink);
    EXPECT_TRUE(MarkerPending(state_.window));

    ActivityTick(false);
    EXPECT_EQ(g_activityCounter, 0);
    EXPECT_EQ(TestClock::reads, 1);
    EXPECT_TRUE(state_.blink);
    EXPECT_EQ(state_.lastBlinkChange, 51000);
    EXPECT_FALSE(MarkerPending(state_.window));
    EXPECT_TRUE(ScreenShows(state_.window, shown_));
}

TEST_F(ActivityPump, ForcedTicksPumpAtOnceAndRestartTheCount) {
    struct Case {
        int32_t countBefore;
        bool force;
        bool pumps;
        int32_t countAfter;
    };
    const Case cases[] = {
        {0, true, true, 0},       {1, true, true, 0},       {5000, true, true, 0},
        {9998, true, true, 0},    {9999, true, true, 0},    {9999, false, true, 0},
        {0, false, false, 1},     {9998, false, false, 9999},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("count " + std::to_string(c.countBefore) + (c.force ? " forced" : ""));
        g_activityCounter = c.countBefore;
        TestClock::reads = 0;
        PostMarker(state_.window);
        ActivityTick(c.force);
        EXPECT_EQ(g_activityCounter, c.countAfter);
        EXPECT_EQ(TestClock::reads, c.pumps ? 1 : 0);
        EXPECT_EQ(MarkerPending(state_.window), !c.pumps);
        PumpThreadMessages(0);  // drop a marker left behind
    }
}

TEST_F(ActivityPump, ForcedTickPostponesTheNextUnforcedPump) {
    g_activityCounter = 5000;
    ActivityTick(true);
    for (int32_t tick = 1; tick <= 9999; ++tick) {
        ActivityTick(false);
    }
    EXPECT_EQ(TestClock::reads, 1);
    ActivityTick(false);
    EXPECT_EQ(TestClock::reads, 2);
    EXPECT_EQ(g_activityCounter, 0);
}

TEST_F(ActivityPump, IndicatorChangesOnlyWhenMoreThanTheIntervalHasPassed) {
    struct Case {
        const char* name;
        int64_t frequency;
        int64_t elapsed;
        bool changes;
    };
    const Case cases[] = {
        {"0.599 s", 1000, 599, false},
        {"exactly 0.6 s", 1000, 600, false},
        {"0.601 s", 1000, 601, true},
        {"exactly 0.6 s at 10 MHz", 10000000, 6000000, false},
        {"0.600001 s at 10 MHz", 10000000, 6000010, true},
        {"5 s", 1000, 5000, true},
        {"no time at all", 1000, 0, false},
    };
    const int64_t base = 123456789;
    for (const Case& c : cases) {
        for (bool blinkBefore : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (blinkBefore ? ", indicator shown" : ""));
            state_.counterFrequency = c.frequency;
            state_.lastBlinkChange = base;
            state_.blink = blinkBefore;
            TestClock::now = base + c.elapsed;
            ActivityTick(true);
            EXPECT_EQ(state_.blink, c.changes ? !blinkBefore : blinkBefore);
            EXPECT_EQ(state_.lastBlinkChange, c.changes ? base + c.elapsed : base);
        }
    }
}

// A screen-compatible bitmap of one colour, deleted with its owner.
class SolidBitmap {
  public:
    SolidBitmap(int width, int height, COLORREF colour) {
        HDC screen = GetDC(nullptr);
        bitmap_ = CreateCompatibleBitmap(screen, width, height);
        HDC memory = CreateCompatibleDC(screen);
        if (bitmap_ && memory) {
            HGDIOBJ previous = SelectObject(memory, bitmap_);
            HBRUSH brush = CreateSolidBrush(colour);
            RECT all{0, 0, width, height};
            FillRect(memory, &all, brush);
            DeleteObject(brush);
            SelectObject(memory, previous);
        }
        if (memory) {
            DeleteDC(memory);
        }
        ReleaseDC(nullptr, screen);
    }
    ~SolidBitmap() {
        if (bitmap_) {
            DeleteObject(bitmap_);
        }
    }
    SolidBitmap(const SolidBitmap&) = delete;
    SolidBitmap& operator=(const SolidBitmap&) = delete;
    HBITMAP get() const { return bitmap_; }

  private:
    HBITMAP bitmap_ = nullptr;
};

TEST_F(ActivityPump, TickWithinTheIntervalRepaintsButKeepsTheIndicator) {
    // Behind the window's back the background becomes plain yellow: only a repaint shows it.
    SolidBitmap yellow(state_.backgroundWidth, state_.backgroundHeight, RGB(255, 255, 0));
    ASSERT_NE(yellow.get(), nullptr);
    Image yellowImage;
    Image indicator;
    ASSERT_TRUE(ReadBitmap(yellow.get(), yellowImage));
    ASSERT_TRUE(ReadBitmap(state_.indicator, indicator));
    HBITMAP original = state_.background;

    for (bool blink : {false, true}) {
        SCOPED_TRACE(blink ? "indicator shown" : "indicator hidden");
        state_.background = original;
        state_.blink = blink;
        InvalidateRect(state_.window, nullptr, FALSE);
        UpdateWindow(state_.window);
        ASSERT_TRUE(ScreenShows(state_.window, blink ? shown_ : hidden_));

        state_.background = yellow.get();
        PumpThreadMessages(200);
        EXPECT_TRUE(ScreenShows(state_.window, blink ? shown_ : hidden_))
            << "nothing but the tick may repaint";

        state_.lastBlinkChange = TestClock::now;
        TestClock::now += 300;
        ActivityTick(true);
        EXPECT_EQ(state_.blink, blink);
        EXPECT_TRUE(ScreenShows(
            state_.window, ExpectedSplash(yellowImage, indicator, blink, RgbOf(kBackdropColour))));
    }
    state_.background = original;
}

TEST_F(ActivityPump, ReturnsToTheCentreTopMostOnlyWhenAnotherWindowIsActive) {
    const RECT centred = WindowRect(state_.window);
    struct Case {
        const char* name;
        bool splashActive;
    };
    const Case cases[] = {{"backdrop active", false}, {"splash active", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetWindowPos(state_.window, nullptr, 10, 20, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        HWND active = c.splashActive ? state_.window : SharedBackdrop()->window();
        SetActiveWindow(active);
        ASSERT_EQ(GetActiveWindow(), active);
        ASSERT_EQ(WindowRect(state_.window).left, 10);

        ActivityTick(true);
        RECT rect = WindowRect(state_.window);
        if (c.splashActive) {
            EXPECT_EQ(rect.left, 10);
            EXPECT_EQ(rect.top, 20);
        } else {
            EXPECT_EQ(rect.left, centred.left);
            EXPECT_EQ(rect.top, centred.top);
            EXPECT_EQ(rect.right, centred.right);
            EXPECT_EQ(rect.bottom, centred.bottom);
        }
        EXPECT_TRUE(GetWindowLongA(state_.window, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_TRUE(IsWindowVisible(state_.window));
    }
}

// A temporary file, removed again when the owner goes away.
class TempFile {
  public:
    TempFile() {
        char folder[MAX_PATH];
        char name[MAX_PATH];
        DWORD length = GetTempPathA(sizeof folder, folder);
        if (length > 0 && length < sizeof folder &&
            GetTempFileNameA(folder, "spl", 0, name) != 0) {
            path_ = name;
        }
    }
    ~TempFile() {
        if (!path_.empty()) {
            DeleteFileA(path_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

    bool Write(const std::vector<uint8_t>& bytes) const {
        FILE* file = fopen(path_.c_str(), "wb");
        if (!file) {
            return false;
        }
        bool ok = bytes.empty() || fwrite(bytes.data(), bytes.size(), 1, file) == 1;
        return fclose(file) == 0 && ok;
    }

  private:
    std::string path_;
};

TEST_F(ActivityPump, RegisteredSplashIsPumpedByTheApplier) {
    EXPECT_EQ(g_progressTick, &ActivityTick);

    // Insert 25,000 literals, copy one source byte, insert 7 more: one tick per top-level byte,
    // and a forced one before the copy block.
    std::vector<uint8_t> delta = {DeltaEscape, DeltaInsert};
    delta.insert(delta.end(), 25000, 'x');
    delta.insert(delta.end(), {DeltaEscape, DeltaCopy, 0x00, DeltaEscape, DeltaInsert});
    delta.insert(delta.end(), 7, 'y');
    TempFile source, deltaFile, output;
    ASSERT_FALSE(source.path().empty());
    ASSERT_TRUE(source.Write({'s', 't'}));
    ASSERT_TRUE(deltaFile.Write(delta));

    FILE* in = fopen(source.path().c_str(), "rb");
    FILE* patch = fopen(deltaFile.path().c_str(), "rb");
    FILE* out = fopen(output.path().c_str(), "wb");
    ASSERT_TRUE(in && patch && out);
    const bool applied = ApplyDelta(in, patch, out);
    fclose(in);
    fclose(patch);
    fclose(out);
    EXPECT_TRUE(applied);

    // 1 + 25,000 ticks pump at the 10,000th and 20,000th; 5,002 are left when the copy forces
    // the third pump; the last 0xA7 and the 7 literals count 8.
    EXPECT_EQ(TestClock::reads, 3);
    EXPECT_EQ(g_activityCounter, 8);
}

TEST(ActivityTickWithoutWindow, CountsButNeverReadsTheClock) {
    struct Case {
        const char* name;
        bool registerEmptyState;
        int32_t countBefore;
        bool force;
        int32_t countAfter;
    };
    const Case cases[] = {
        {"nothing registered, counting", false, 0, false, 1},
        {"nothing registered, threshold", false, 9999, false, 0},
        {"nothing registered, forced", false, 42, true, 0},
        {"state without window, counting", true, 0, false, 1},
        {"state without window, threshold", true, 9999, false, 0},
        {"state without window, forced", true, 42, true, 0},
    };
    SetActivityClock(TestClock::Read);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SplashState noWindow;
        noWindow.counterFrequency = 1000;
        RegisterSplash(c.registerEmptyState ? &noWindow : nullptr);
        TestClock::Reset(1000000);
        g_activityCounter = c.countBefore;
        ActivityTick(c.force);
        EXPECT_EQ(g_activityCounter, c.countAfter);
        EXPECT_EQ(TestClock::reads, 0);
        EXPECT_FALSE(noWindow.blink);
        EXPECT_EQ(noWindow.lastBlinkChange, 0);
    }
    RegisterSplash(nullptr);
    SetActivityClock(nullptr);
    g_activityCounter = 0;
}

TEST(SplashRegistration, CarriesTheApplierProgressHook) {
    SplashState state;
    RegisterSplash(&state);
    EXPECT_EQ(RegisteredSplash(), &state);
    EXPECT_EQ(g_progressTick, &ActivityTick);
    RegisterSplash(nullptr);
    EXPECT_EQ(RegisteredSplash(), nullptr);
    EXPECT_EQ(g_progressTick, nullptr);
}

}  // namespace
