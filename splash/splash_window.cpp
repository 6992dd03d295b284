#include "splash/splash.h"
#include "splash/splash_window_internal.h"

namespace {

using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

// Looked up by name: the program must still run, unlayered, where the system lacks it.
SetLayeredFn FindSetLayeredWindowAttributes() {
    HMODULE user32 = GetModuleHandleA("USER32.DLL");
    if (!user32) {
        return nullptr;
    }
    return reinterpret_cast<SetLayeredFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetLayeredWindowAttributes")));
}

// Loads one of the executable's bitmaps at its own size. The handle is kept even when its size
// cannot be read, so teardown frees it.
bool LoadSplashBitmap(HINSTANCE module, int id, HBITMAP& bitmap, int32_t& width,
                      int32_t& height) {
    bitmap = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (!bitmap) {
        return false;
    }
    BITMAP info{};
    if (GetObjectA(bitmap, sizeof info, &info) == 0) {
        return false;
    }
    width = info.bmWidth;
    height = info.bmHeight;
    return true;
}

bool RegisterSplashClass(HINSTANCE module) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
    windowClass.lpfnWndProc = SplashWindowProc;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconA(module, MAKEINTRESOURCEA(kSplashIconId));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_WAIT);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = kSplashClassName;
    return RegisterClassExA(&windowClass) != 0;
}

// BeginPaint/EndPaint as a scope.
class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A memory device context, deleted when the scope ends.
class MemoryDc {
  public:
    explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDc() {
        if (dc_) {
            DeleteDC(dc_);
        }
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC dc() const { return dc_; }

  private:
    HDC dc_;
};

// Copies `bitmap` through `memory` to (x, y) at the given size and puts the memory context's
// previous object back.
void CopyBitmap(HDC target, HDC memory, HBITMAP bitmap, int x, int y, int width, int height) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(target, x, y, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
}

void PaintSplash(HWND window, const SplashState& state) {
    PaintScope paint(window);
    if (!paint.dc()) {
        return;
    }
    MemoryDc memory(paint.dc());
    if (!memory.dc()) {
        return;
    }
    CopyBitmap(paint.dc(), memory.dc(), state.background, 0, 0, state.backgroundWidth,
               state.backgroundHeight);
    if (state.blink) {
        CopyBitmap(paint.dc(), memory.dc(), state.indicator,
                   state.backgroundWidth - state.indicatorWidth,
                   state.backgroundHeight - state.indicatorHeight, state.indicatorWidth,
                   state.indicatorHeight);
    }
}

}  // namespace

POINT SplashOrigin(int width, int height) {
    // Integer division truncates toward zero, also for a window larger than the area.
    POINT origin;
    origin.x = (GetSystemMetrics(SM_CXFULLSCREEN) - width) / 2;
    origin.y = (GetSystemMetrics(SM_CYFULLSCREEN) - height) / 2;
    return origin;
}

bool BringUpSplash(SplashState& state) {
    state.window = nullptr;
    state.background = nullptr;
    state.indicator = nullptr;
    state.blink = false;
    SetLayeredFn setLayered = FindSetLayeredWindowAttributes();
    // Registered before anything can fail: the run relies on the registration even without a
    // window.
    RegisterSplash(&state);

    HINSTANCE module = GetModuleHandleA(nullptr);
    if (!LoadSplashBitmap(module, kSplashBackgroundId, state.background, state.backgroundWidth,
                          state.backgroundHeight)) {
        return false;
    }
    if (!LoadSplashBitmap(module, kSplashIndicatorId, state.indicator, state.indicatorWidth,
                          state.indicatorHeight)) {
        return false;
    }
    if (!RegisterSplashClass(module)) {
        return false;
    }
    POINT origin = SplashOrigin(state.backgroundWidth, state.backgroundHeight);
    state.window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kSplashClassName,
                                   kSplashTitle, WS_POPUP, origin.x, origin.y,
                                   state.backgroundWidth, state.backgroundHeight, nullptr,
                                   nullptr, nullptr, &state);
    if (!state.window) {
        return false;
    }
    if (setLayered) {
        LONG exStyle = GetWindowLongA(state.window, GWL_EXSTYLE);
        SetWindowLongA(state.window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        // The alpha is unused in colour-key mode.
        setLayered(state.window, kSplashColourKey, 0, LWA_COLORKEY);
    }
    ShowWindow(state.window, SW_SHOW);
    UpdateWindow(state.window);
    QueryFrequencyPinned(state.counterFrequency);
    QueryCounterPinned(state.lastBlinkChange);
    return true;
}

LRESULT CALLBACK SplashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const SplashState* state = RegisteredSplash();
    if (message == WM_PAINT && state && state->background) {
        PaintSplash(window, *state);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void TearDownSplash(SplashState& state) {
    if (state.window) {
        DestroyWindow(state.window);
        state.window = nullptr;
        UnregisterClassA(kSplashClassName, GetModuleHandleA(nullptr));
    }
    if (state.background) {
        DeleteObject(state.background);
        state.background = nullptr;
    }
    if (state.indicator) {
        DeleteObject(state.indicator);
        state.indicator = nullptr;
    }
}
