#include "splash_watch.h"

#include "box_inspect.h"

namespace e2e {
namespace {

// Loaded as data: the program is only read, never run, in this process.
class ResourceModule {
public:
    explicit ResourceModule(const std::wstring& path)
        : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ResourceModule() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

bool ReadBitmap(HMODULE module, int id, int* width, int* height, std::vector<uint32_t>* pixels) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap == nullptr) return false;
    bool ok = false;
    BITMAP info = {};
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc != nullptr && GetObjectW(bitmap, sizeof(info), &info) != 0 && info.bmWidth > 0 &&
        info.bmHeight > 0) {
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = info.bmWidth;
        format.bmiHeader.biHeight = -info.bmHeight;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        pixels->assign(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight), 0);
        ok = GetDIBits(dc, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels->data(), &format,
                       DIB_RGB_COLORS) == info.bmHeight;
        for (uint32_t& pixel : *pixels) pixel &= 0xFFFFFFu;
        *width = info.bmWidth;
        *height = info.bmHeight;
    }
    if (dc != nullptr) DeleteDC(dc);
    DeleteObject(bitmap);
    return ok;
}

// At most one pixel in fifty may disagree: the corner's edge can catch a neighbour's shadow.
bool Matches(const std::vector<uint32_t>& picture, const std::vector<uint32_t>& shown, bool keyed,
             uint32_t key) {
    size_t informative = 0;
    size_t differing = 0;
    for (size_t i = 0; i < picture.size(); ++i) {
        if (keyed && picture[i] == key) continue;
        ++informative;
        if (!NearlyEqual(picture[i], shown[i])) ++differing;
    }
    return informative > 0 && differing * 50 <= informative;
}

struct ClassSearch {
    DWORD pid;
    const std::wstring* window_class;
    HWND found;
};

BOOL CALLBACK FindByClass(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ClassSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
    wchar_t name[256] = {};
    if (GetClassNameW(window, name, 256) > 0 && *search->window_class == name) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool LoadCornerPictures(const std::wstring& module_path, int background_id, int indicator_id,
                        CornerPictures* pictures, std::string* why) {
    ResourceModule module(module_path);
    if (module.get() == nullptr) {
        *why = "cannot read the resources of " + Utf8(module_path);
        return false;
    }
    int background_width = 0;
    int background_height = 0;
    std::vector<uint32_t> background;
    if (!ReadBitmap(module.get(), background_id, &background_width, &background_height,
                    &background)) {
        *why = "no bitmap " + std::to_string(background_id) + " in " + Utf8(module_path);
        return false;
    }
    if (!ReadBitmap(module.get(), indicator_id, &pictures->width, &pictures->height,
                    &pictures->on)) {
        *why = "no bitmap " + std::to_string(indicator_id) + " in " + Utf8(module_path);
        return false;
    }
    if (pictures->width > background_width || pictures->height > background_height) {
        *why = "the indicator is larger than the background";
        return false;
    }
    pictures->off.clear();
    const int left = background_width - pictures->width;
    const int top = background_height - pictures->height;
    for (int y = 0; y < pictures->height; ++y) {
        const uint32_t* row = background.data() + static_cast<size_t>(top + y) * background_width;
        pictures->off.insert(pictures->off.end(), row + left, row + background_width);
    }
    // Two pictures that look alike could not tell the indicator's states apart.
    size_t differing = 0;
    for (size_t i = 0; i < pictures->on.size(); ++i) {
        if (!NearlyEqual(pictures->on[i], pictures->off[i])) ++differing;
    }
    if (differing * 10 < pictures->on.size()) {
        *why = "the indicator hardly differs from the background under it";
        return false;
    }
    return true;
}

const char* CornerName(Corner corner) {
    switch (corner) {
        case Corner::kOff: return "off";
        case Corner::kOn: return "on";
        case Corner::kOther: break;
    }
    return "other";
}

Corner ClassifyCorner(const CornerPictures& pictures, const std::vector<uint32_t>& shown,
                      bool keyed, uint32_t key) {
    if (shown.size() != pictures.on.size()) return Corner::kOther;
    const bool off = Matches(pictures.off, shown, keyed, key);
    const bool on = Matches(pictures.on, shown, keyed, key);
    if (off == on) return Corner::kOther;
    return on ? Corner::kOn : Corner::kOff;
}

bool CaptureCorner(HWND window, int width, int height, std::vector<uint32_t>* shown) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    const RECT corner = {rect.right - width, rect.bottom - height, rect.right, rect.bottom};
    return CaptureScreen(corner, shown);
}

bool ColourKeyOf(HWND window, uint32_t* key) {
    COLORREF colour = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    if ((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED) == 0 ||
        !GetLayeredWindowAttributes(window, &colour, &alpha, &flags) ||
        (flags & LWA_COLORKEY) == 0) {
        return false;
    }
    *key = (static_cast<uint32_t>(GetRValue(colour)) << 16) |
           (static_cast<uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
    return true;
}

HWND FindProcessWindow(DWORD pid, const std::wstring& window_class) {
    ClassSearch search{pid, &window_class, nullptr};
    EnumWindows(FindByClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

POINT CentredOrigin(int width, int height) {
    POINT origin;
    origin.x = (GetSystemMetrics(SM_CXFULLSCREEN) - width) / 2;
    origin.y = (GetSystemMetrics(SM_CYFULLSCREEN) - height) / 2;
    return origin;
}

bool IsAbove(HWND upper, HWND lower) {
    for (HWND window = GetTopWindow(nullptr); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == upper) return true;
        if (window == lower) return false;
    }
    return false;
}

bool IsTopMost(HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

}  // namespace e2e
