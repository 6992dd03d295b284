// box-probe: a stand-in program for checking box-agent itself. It shows the message boxes its
// arguments describe, one after the other, and exits with the answers it got.
//
//   box-probe [--owner CLASS TITLE] [--mutex NAME] FLAGS:TEXT ...
//
// FLAGS is the MessageBox type as a number (0x10 = MB_ICONERROR, ...); "\n" and "\t" in TEXT
// stand for a line break and a tab. With --owner the boxes belong to a window of that class and
// title, which lies under them; with --mutex the probe holds that mutex while it runs. The exit
// code is the answers' ids as decimal digits, first box first (OK, Retry, Cancel gives 142); an
// answer above 9 or a failed box makes it 99.

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr int kBadAnswer = 99;

std::wstring Unescape(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t next = i + 1 < text.size() ? text[i + 1] : L'\0';
        if (text[i] == L'\\' && (next == L'n' || next == L't')) {
            out.push_back(next == L'n' ? L'\n' : L'\t');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

HWND MakeOwner(const wchar_t* cls, const wchar_t* title) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = cls;
    if (!RegisterClassExW(&wc)) return nullptr;
    // Made like the patch's splash window: a top-most, colour-keyed tool window in the middle
    // of the screen, right under the boxes it owns.
    const int width = 504;
    const int height = 190;
    HWND window = CreateWindowExW(
        WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED, cls, title, WS_POPUP,
        (GetSystemMetrics(SM_CXFULLSCREEN) - width) / 2,
        (GetSystemMetrics(SM_CYFULLSCREEN) - height) / 2, width, height, nullptr, nullptr,
        wc.hInstance, nullptr);
    if (window != nullptr) {
        SetLayeredWindowAttributes(window, RGB(11, 80, 19), 0, LWA_COLORKEY);
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    return window;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HWND owner = nullptr;
    HANDLE mutex = nullptr;
    int code = 0;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--owner" && i + 2 < argc) {
            owner = MakeOwner(argv[i + 1], argv[i + 2]);
            if (owner == nullptr) return kBadAnswer;
            i += 2;
            continue;
        }
        if (arg == L"--mutex" && i + 1 < argc) {
            mutex = CreateMutexW(nullptr, FALSE, argv[++i]);
            if (mutex == nullptr) return kBadAnswer;
            continue;
        }
        size_t colon = arg.find(L':');
        if (colon == std::wstring::npos) return kBadAnswer;
        UINT flags = static_cast<UINT>(std::wcstoul(arg.substr(0, colon).c_str(), nullptr, 0));
        std::wstring text = Unescape(arg.substr(colon + 1));
        int answer = MessageBoxW(owner, text.c_str(), L"Box Probe", flags);
        if (answer <= 0 || answer > 9) return kBadAnswer;
        code = code * 10 + answer;
    }
    if (owner != nullptr) DestroyWindow(owner);
    if (mutex != nullptr) CloseHandle(mutex);
    return code;
}
