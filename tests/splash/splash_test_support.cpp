#include "splash_test_support.h"

#include <cstdlib>

int64_t TestClock::now = 0;
int TestClock::reads = 0;

bool TestClock::Read(int64_t& out) {
    ++reads;
    out = now;
    return true;
}

void TestClock::Reset(int64_t start) {
    now = start;
    reads = 0;
}

bool DisplayConfigured(std::string& why) {
    const char* display = getenv("DISPLAY");
    if (!display || !*display) {
        why = "no X display for Wine: set DISPLAY (for instance start 'Xvfb :99 -screen 0 "
              "1024x768x24' and export DISPLAY=:99)";
        return false;
    }
    return true;
}

void PumpThreadMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

namespace {

constexpr char kBackdropClass[] = "OrvekTestBackdrop";

Backdrop* g_backdrop = nullptr;

class BackdropEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        std::string why;
        if (DisplayConfigured(why)) {
            g_backdrop = new Backdrop(kBackdropColour);
            PumpThreadMessages(100);
        }
    }
    void TearDown() override {
        delete g_backdrop;
        g_backdrop = nullptr;
    }
};

testing::Environment* const g_backdropEnvironment =
    testing::AddGlobalTestEnvironment(new BackdropEnvironment);

}  // namespace

Backdrop* SharedBackdrop() {
    return g_backdrop && g_backdrop->window() ? g_backdrop : nullptr;
}

Backdrop::Backdrop(COLORREF colour) : brush_(CreateSolidBrush(colour)) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = module;
    windowClass.hbrBackground = brush_;
    windowClass.lpszClassName = kBackdropClass;
    if (!brush_ || !RegisterClassExA(&windowClass)) {
        return;
    }
    window_ = CreateWindowExA(0, kBackdropClass, "backdrop", WS_POPUP, 0, 0,
                              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                              nullptr, nullptr, module, nullptr);
    if (window_) {
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
    }
}

Backdrop::~Backdrop() {
    if (window_) {
        DestroyWindow(window_);
    }
    UnregisterClassA(kBackdropClass, GetModuleHandleA(nullptr));
    if (brush_) {
        DeleteObject(brush_);
    }
}

Image ExpectedSplash(const Image& background, const Image& indicator, bool blink,
                     uint32_t backdrop) {
    Image expected = background;
    if (blink) {
        const int left = background.width - indicator.width;
        const int top = background.height - indicator.height;
        for (int y = 0; y < indicator.height; ++y) {
            for (int x = 0; x < indicator.width; ++x) {
                expected.Set(left + x, top + y, indicator.At(x, y));
            }
        }
    }
    const uint32_t key = RgbOf(RGB(11, 80, 19));
    for (uint32_t& pixel : expected.pixels) {
        if (pixel == key) {
            pixel = backdrop;
        }
    }
    return expected;
}

std::string DescribeDifference(const Image& actual, const Image& expected) {
    if (actual.width != expected.width || actual.height != expected.height) {
        return "sizes differ: " + std::to_string(actual.width) + "x" +
               std::to_string(actual.height) + " captured, " + std::to_string(expected.width) +
               "x" + std::to_string(expected.height) + " expected";
    }
    size_t differing = 0;
    std::string first;
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            if (actual.At(x, y) == expected.At(x, y)) {
                continue;
            }
            if (differing++ == 0) {
                char text[96];
                snprintf(text, sizeof text, " first at (%d,%d): %06X captured, %06X expected", x,
                         y, static_cast<unsigned>(actual.At(x, y)),
                         static_cast<unsigned>(expected.At(x, y)));
                first = text;
            }
        }
    }
    if (differing == 0) {
        return std::string();
    }
    return std::to_string(differing) + " pixels differ;" + first;
}

bool WaitForScreen(const RECT& area, const Image& expected, DWORD timeoutMs, Image& last) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (CaptureScreen(area, last) && DescribeDifference(last, expected).empty()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        PumpThreadMessages(50);
    }
}

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}
