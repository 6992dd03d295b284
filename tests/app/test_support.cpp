#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "patch/messages.h"

// ---- Message boxes ---------------------------------------------------------------------------

namespace {
MessageBoxRecorder* g_recorder = nullptr;
}

MessageBoxRecorder::MessageBoxRecorder() {
    g_recorder = this;
    g_messageBox = &MessageBoxRecorder::Record;
}

MessageBoxRecorder::~MessageBoxRecorder() {
    g_messageBox = &MessageBoxA;
    g_recorder = nullptr;
}

std::vector<std::string> MessageBoxRecorder::texts() const {
    std::vector<std::string> texts;
    for (const RecordedBox& box : boxes_) {
        texts.push_back(box.text);
    }
    return texts;
}

int WINAPI MessageBoxRecorder::Record(HWND owner, LPCSTR text, LPCSTR title, UINT type) {
    MessageBoxRecorder* self = g_recorder;
    self->boxes_.push_back(RecordedBox{owner, text != nullptr ? text : "<null>",
                                       title != nullptr ? title : "<null>", type});
    const RecordedBox& box = self->boxes_.back();
    if (self->answerer_) {
        return self->answerer_(box, self->boxes_.size() - 1);
    }
    return (type & MB_TYPEMASK) == MB_RETRYCANCEL ? IDCANCEL : IDOK;
}

testing::AssertionResult IsBox(const RecordedBox& box, const char* text, UINT type, HWND owner) {
    if (box.text != text) {
        return testing::AssertionFailure() << "text \"" << box.text << "\", expected \"" << text << "\"";
    }
    if (box.title != "ORVEK Demo Patch") {
        return testing::AssertionFailure() << "title \"" << box.title << "\"";
    }
    if (box.type != type) {
        return testing::AssertionFailure() << "type 0x" << std::hex << box.type << ", expected 0x" << type;
    }
    if (box.owner != owner) {
        return testing::AssertionFailure() << "owner " << box.owner << ", expected " << owner;
    }
    return testing::AssertionSuccess();
}

// ---- Files -----------------------------------------------------------------------------------

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    path_ = std::string(temp) + "orvek-app-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(counter++);
    RemoveTree(path_);
    if (!CreateDirectoryA(path_.c_str(), nullptr)) {
        ADD_FAILURE() << "cannot create " << path_;
    }
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        for (const std::string& name : FolderEntries(path)) {
            RemoveTree(path + "\\" + name);
        }
        RemoveDirectoryA(path.c_str());
    } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

std::vector<Marker> BundleMarkers(uint64_t size) {
    std::vector<Marker> markers = {{0, "HEAD"}, {size / 2, "MIDDLE"}, {size - 4, "TAIL"}};
    return markers;
}

namespace {

bool WriteAt(HANDLE file, uint64_t offset, const std::string& bytes) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD written = 0;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
           WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

bool CreateSparseFile(const std::string& path, uint64_t size, const std::vector<Marker>& markers) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    // Setting the end without writing leaves a hole, so a 1.3 GB bundle costs no disk space.
    bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    for (const Marker& marker : markers) {
        ok = ok && marker.offset + marker.text.size() <= size && WriteAt(file, marker.offset, marker.text);
    }
    return CloseHandle(file) && ok;
}

testing::AssertionResult HoldsSparseContent(const std::string& path, uint64_t size,
                                            const std::vector<Marker>& markers) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return testing::AssertionFailure() << path << " cannot be opened";
    }
    LARGE_INTEGER actualSize;
    actualSize.QuadPart = -1;
    GetFileSizeEx(file, &actualSize);
    if (static_cast<uint64_t>(actualSize.QuadPart) != size) {
        CloseHandle(file);
        return testing::AssertionFailure() << path << " has " << actualSize.QuadPart << " bytes, expected " << size;
    }
    constexpr DWORD kChunk = 8 << 20;
    std::vector<char> actual(kChunk);
    std::vector<char> expected(kChunk);
    uint64_t offset = 0;
    while (offset < size) {
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kChunk, size - offset));
        DWORD got = 0;
        if (!ReadFile(file, actual.data(), want, &got, nullptr) || got != want) {
            CloseHandle(file);
            return testing::AssertionFailure() << path << ": read failed at " << offset;
        }
        std::fill(expected.begin(), expected.begin() + want, '\0');
        for (const Marker& marker : markers) {
            for (size_t i = 0; i < marker.text.size(); ++i) {
                const uint64_t at = marker.offset + i;
                if (at >= offset && at < offset + want) {
                    expected[at - offset] = marker.text[i];
                }
            }
        }
        if (std::memcmp(actual.data(), expected.data(), want) != 0) {
            const auto mismatch = std::mismatch(actual.begin(), actual.begin() + want, expected.begin());
            CloseHandle(file);
            return testing::AssertionFailure() << path << " differs at byte " << offset + (mismatch.first - actual.begin());
        }
        offset += want;
    }
    CloseHandle(file);
    return testing::AssertionSuccess();
}

std::string ReadSmallFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return "<missing>";
    }
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, n);
    }
    std::fclose(file);
    return bytes;
}

bool WriteSmallFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
    return std::fclose(file) == 0 && written;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// ---- Registry --------------------------------------------------------------------------------

namespace {
constexpr char kMakerKey[] = "SOFTWARE\\PELLANTIS";
constexpr char kInstallKey[] = "SOFTWARE\\PELLANTIS\\Halvenmoor Demo";
constexpr char kInstallValue[] = "InstalledPath";
}

void DeleteInstallKey(REGSAM view) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, view, 0);
    // Fails, as it should, while the maker's key holds anything else.
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kMakerKey, view, 0);
}

bool CreateInstallKey(REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, nullptr, 0, KEY_ALL_ACCESS | view,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool SetInstallValue(REGSAM view, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, nullptr, 0, KEY_ALL_ACCESS | view,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS set = RegSetValueExA(key, kInstallValue, 0, type,
                                       reinterpret_cast<const BYTE*>(bytes.data()),
                                       static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

InstallKeyGuard::InstallKeyGuard() {
    DeleteInstallKey(kNativeView);
    DeleteInstallKey(kWow32View);
}

InstallKeyGuard::~InstallKeyGuard() {
    DeleteInstallKey(kNativeView);
    DeleteInstallKey(kWow32View);
}

// ---- Mutexes ---------------------------------------------------------------------------------

bool MutexNameExists(const char* name) {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (mutex == nullptr) {
        return false;
    }
    CloseHandle(mutex);
    return true;
}

bool StandInInstall::Create() const {
    return CreateDirectoryA(bundles.c_str(), nullptr) && CreateSparseFile(bundle, kSize, BundleMarkers(kSize));
}
