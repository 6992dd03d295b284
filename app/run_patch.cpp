#include "app/run_patch.h"

#include <windows.h>

#include <cstring>

#include "patch/messages.h"
#include "patch/patch_bundle.h"

namespace {

class RegistryKey {
  public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY get() const { return key_; }
    HKEY* out() { return &key_; }

  private:
    HKEY key_ = nullptr;
};

// The native view first. A 32-bit installer's key lands in the 32-bit view, which a 64-bit
// process does not see by default, so that view is asked too, but only when the key is absent
// from the native one (a key that is there but cannot be opened is not looked for elsewhere).
bool OpenInstallKey(RegistryKey* key) {
    const LSTATUS native = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_ALL_ACCESS, key->out());
    if (native == ERROR_SUCCESS) {
        return true;
    }
    if (native != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                         key->out()) == ERROR_SUCCESS;
}

}  // namespace

bool EnsureGameNotRunning() {
    bool go = true;
    for (;;) {
        HANDLE running = CreateMutexA(nullptr, FALSE, kGameRunningMutex);
        if (running == nullptr) {
            break;
        }
        const DWORD error = GetLastError();
        CloseHandle(running);
        if (error != ERROR_ALREADY_EXISTS) {
            break;
        }
        // After Cancel the name is looked at once more, without the pause.
        if (!go) {
            return false;
        }
        Sleep(kGameRunningPauseMs);
        go = ShowMessage(kGameRunningText, MB_RETRYCANCEL | MB_ICONERROR) == IDRETRY;
    }
    // Never closed: the system releases both at exit, and while they exist the game sees that
    // a patch is running.
    CreateMutexA(nullptr, FALSE, kGameRunningMutex);
    CreateMutexA(nullptr, FALSE, kDemoMutex);
    return go;
}

std::string ReadInstallPath() {
    RegistryKey key;
    if (!OpenInstallKey(&key)) {
        return std::string();
    }

    // Two zero bytes beyond the value's room end the text whatever the value held.
    char value[kInstallValueBytes + 2] = {};
    DWORD size = kInstallValueBytes;
    const LSTATUS queried = RegQueryValueExA(key.get(), kInstallValue, nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(value), &size);
    if (queried != ERROR_SUCCESS || size > kInstallValueBytes) {
        return std::string();
    }
    value[size] = '\0';
    value[size + 1] = '\0';

    // The value's type is not looked at: plain and expandable strings are both expanded.
    char expanded[kExpandedPathBytes] = {};
    const DWORD needed = ExpandEnvironmentStringsA(value, expanded, sizeof expanded);
    if (needed == 0) {
        return std::string(value, strnlen(value, sizeof value));
    }
    // A result that does not fit is cut short (or not written at all), and a cut path would
    // name some other directory: treat it as no install path, i.e. not installed.
    if (needed > sizeof expanded) {
        return std::string();
    }
    return std::string(expanded, strnlen(expanded, sizeof expanded));
}

bool RunPatch() {
    if (!EnsureGameNotRunning()) {
        return false;
    }
    const std::string installText = ReadInstallPath();
    if (installText.empty()) {
        ShowMessage(kNotInstalledText, MB_OK | MB_ICONERROR);
        return false;
    }
    return PatchBundle(installText);
}
