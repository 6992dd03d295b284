#include "box_inspect.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace e2e {
namespace {

struct ButtonKind {
    int id;
    const char* name;
};

constexpr ButtonKind kButtons[] = {
    {IDOK, "OK"},         {IDCANCEL, "Cancel"}, {IDABORT, "Abort"},
    {IDRETRY, "Retry"},   {IDIGNORE, "Ignore"}, {IDYES, "Yes"},
    {IDNO, "No"},         {IDHELP, "Help"},     {IDTRYAGAIN, "TryAgain"},
    {IDCONTINUE, "Continue"},
};

// The system icons a message box can show, as its MB_ICON flags name them.
struct IconKind {
    LPCWSTR resource;
    const char* name;
};

const IconKind kIcons[] = {
    {IDI_HAND, "error"},
    {IDI_EXCLAMATION, "warning"},
    {IDI_ASTERISK, "information"},
    {IDI_QUESTION, "question"},
};

// Message boxes put their text in a static control with this id.
constexpr int kTextControlId = 0xFFFF;

struct Child {
    HWND window;
    int id;
    std::wstring cls;
    LONG style;
    RECT rect;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    int n = GetClassNameW(window, name, 256);
    return std::wstring(name, n > 0 ? n : 0);
}

// Reading another process's window text this way needs no message to that process, so a busy
// or hung program cannot stall the agent.
std::wstring TextOf(HWND window) {
    std::wstring text(8192, L'\0');
    int n = GetWindowTextW(window, &text[0], static_cast<int>(text.size()));
    text.resize(n > 0 ? n : 0);
    return text;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    auto* children = reinterpret_cast<std::vector<Child>*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    Child child{window, GetDlgCtrlID(window), ClassOf(window),
                GetWindowLongW(window, GWL_STYLE), {}};
    GetWindowRect(window, &child.rect);
    children->push_back(child);
    return TRUE;
}

bool IsIconStatic(const Child& child) {
    return _wcsicmp(child.cls.c_str(), L"Static") == 0 && (child.style & SS_TYPEMASK) == SS_ICON;
}

// A 32-bit top-down bitmap of w x h pixels that GDI can draw into.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        if (dc_ != nullptr) {
            bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        }
        if (bitmap_ != nullptr) {
            previous_ = SelectObject(dc_, bitmap_);
            bits_ = static_cast<uint32_t*>(bits);
        }
    }
    ~Canvas() {
        if (bitmap_ != nullptr) {
            SelectObject(dc_, previous_);
            DeleteObject(bitmap_);
        }
        if (dc_ != nullptr) DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool ok() const { return bits_ != nullptr; }
    HDC dc() const { return dc_; }
    uint32_t* bits() const { return bits_; }
    size_t count() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
};

bool RenderIcon(LPCWSTR resource, uint32_t background, int width, int height,
                std::vector<uint32_t>* pixels) {
    HICON icon = LoadIconW(nullptr, resource);
    if (icon == nullptr) return false;
    Canvas canvas(width, height);
    if (!canvas.ok()) return false;
    std::fill(canvas.bits(), canvas.bits() + canvas.count(), background);
    if (!DrawIconEx(canvas.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL)) return false;
    GdiFlush();
    pixels->assign(canvas.bits(), canvas.bits() + canvas.count());
    return true;
}

// Names the system icon the screen shows in the icon control: the candidate drawn here on the
// same background that matches the captured pixels (all but 2% of them, allowing for a display
// that blends a little differently). Waits for the box to be painted.
std::string IdentifyIcon(HWND dialog, HWND icon_control, DWORD wait_ms) {
    // A box without an icon still has the control, empty. Asking it costs a message to the
    // box's thread, which is waiting in the box's own loop and answers at once.
    DWORD_PTR handle = 0;
    if (SendMessageTimeoutW(icon_control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &handle) &&
        handle == 0) {
        return "none";
    }
    const ULONGLONG deadline = GetTickCount64() + wait_ms;
    for (;;) {
        RECT rect;
        std::vector<uint32_t> shown;
        if (!IsWindow(dialog) || !GetWindowRect(icon_control, &rect)) return "unknown";
        if (CaptureScreen(rect, &shown)) {
            const int width = rect.right - rect.left;
            const int height = rect.bottom - rect.top;
            // Icons leave their corners transparent, so a corner shows the background.
            const uint32_t background = shown[0] & 0xFFFFFFu;
            for (const IconKind& kind : kIcons) {
                std::vector<uint32_t> drawn;
                if (!RenderIcon(kind.resource, background, width, height, &drawn)) continue;
                size_t differing = 0;
                for (size_t i = 0; i < shown.size(); ++i) {
                    if (!NearlyEqual(shown[i], drawn[i])) ++differing;
                }
                if (differing * 50 <= shown.size()) return kind.name;
            }
        }
        if (GetTickCount64() >= deadline) return "unknown";
        Sleep(50);
    }
}

}  // namespace

bool CaptureScreen(const RECT& rect, std::vector<uint32_t>* pixels) {
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    Canvas canvas(width, height);
    if (!canvas.ok()) return false;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return false;
    BOOL copied = BitBlt(canvas.dc(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    if (!copied) return false;
    GdiFlush();
    pixels->assign(canvas.bits(), canvas.bits() + canvas.count());
    return true;
}

bool NearlyEqual(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        int ca = static_cast<int>((a >> shift) & 0xFF);
        int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > 16) return false;
    }
    return true;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                            nullptr, nullptr);
    }
    return out;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    }
    return out;
}

const char* ButtonName(int id) {
    for (const ButtonKind& kind : kButtons) {
        if (kind.id == id) return kind.name;
    }
    return nullptr;
}

int ButtonIdForName(const std::string& name) {
    for (const ButtonKind& kind : kButtons) {
        if (_stricmp(kind.name, name.c_str()) == 0) return kind.id;
    }
    return 0;
}

bool IsDialogWindow(HWND window) { return ClassOf(window) == L"#32770"; }

bool InspectBox(HWND dialog, DWORD icon_wait_ms, BoxView* view) {
    std::vector<Child> children;
    EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
    if (!IsWindow(dialog)) return false;

    view->title = Utf8(TextOf(dialog));

    const Child* text = nullptr;
    for (const Child& child : children) {
        if (child.id == kTextControlId && _wcsicmp(child.cls.c_str(), L"Static") == 0) {
            text = &child;
        }
    }
    if (text == nullptr) {
        for (const Child& child : children) {
            if (_wcsicmp(child.cls.c_str(), L"Static") == 0 && !IsIconStatic(child) &&
                !TextOf(child.window).empty()) {
                text = &child;
                break;
            }
        }
    }
    view->text = text != nullptr ? Utf8(TextOf(text->window)) : std::string();

    std::vector<const Child*> buttons;
    for (const Child& child : children) {
        if (_wcsicmp(child.cls.c_str(), L"Button") == 0 && ButtonName(child.id) != nullptr) {
            buttons.push_back(&child);
        }
    }
    std::sort(buttons.begin(), buttons.end(), [](const Child* a, const Child* b) {
        return a->rect.left < b->rect.left;
    });
    view->buttons.clear();
    for (const Child* button : buttons) view->buttons.push_back(button->id);

    HWND owner = GetWindow(dialog, GW_OWNER);
    view->owner = owner == nullptr ? "none" : Utf8(ClassOf(owner) + L":" + TextOf(owner));

    const Child* icon = nullptr;
    for (const Child& child : children) {
        if (IsIconStatic(child)) icon = &child;
    }
    view->icon = icon == nullptr ? "none" : IdentifyIcon(dialog, icon->window, icon_wait_ms);
    return IsWindow(dialog) != FALSE;
}

}  // namespace e2e
