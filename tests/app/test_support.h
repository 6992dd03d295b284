// Real files, the real registry and a recorder for the message boxes, for the program's tests
// under Wine.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// ---- Message boxes ---------------------------------------------------------------------------

// The texts as the user must see them, written out here rather than taken from the program.
namespace texts {
constexpr char kIntroduction[] =
    "This will install the ORVEK Demo patch on your computer.\nThis might take several minutes.";
constexpr char kSuccess[] = "The patch has been successfully installed on your system";
constexpr char kFailure[] = "The patch has not been installed on your system";
constexpr char kGameRunning[] = "ORVEK Demo is running. You need to quit it in order to install this patch.";
constexpr char kNotInstalled[] = "ORVEK Demo is not installed on your system!";
constexpr char kWrongVersion[] = "Cannot patch this version of ORVEK Demo.";
constexpr char kCannotInstall[] = "Cannot install the patch! Please ensure you have enough space on your disk.";
}  // namespace texts

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string title;
    UINT type;
};

// Replaces MessageBoxA for as long as it lives: each box is recorded and answered by the
// answerer, which by default gives IDOK, and IDCANCEL to a Retry/Cancel question so that a
// stray question can never loop.
class MessageBoxRecorder {
  public:
    using Answerer = std::function<int(const RecordedBox& box, size_t index)>;

    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void SetAnswerer(Answerer answerer) { answerer_ = std::move(answerer); }
    const std::vector<RecordedBox>& boxes() const { return boxes_; }
    std::vector<std::string> texts() const;

  private:
    static int WINAPI Record(HWND owner, LPCSTR text, LPCSTR title, UINT type);

    Answerer answerer_;
    std::vector<RecordedBox> boxes_;
};

// The box as the program must show it: the run's title, the owner window, the given type.
testing::AssertionResult IsBox(const RecordedBox& box, const char* text, UINT type, HWND owner);

// ---- Files -----------------------------------------------------------------------------------

// A fresh folder in the temporary folder, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Removes a file or a folder tree. Written without the shell, which is under test.
void RemoveTree(const std::string& path);

// A bundle stand-in: a sparse file of the given size that holds the marker texts at their
// offsets and zero bytes everywhere else.
struct Marker {
    uint64_t offset;
    std::string text;
};
std::vector<Marker> BundleMarkers(uint64_t size);  // "HEAD" at 0, one in the middle, "TAIL" at the end
bool CreateSparseFile(const std::string& path, uint64_t size, const std::vector<Marker>& markers);

// Compares the whole file with what CreateSparseFile wrote, byte for byte.
testing::AssertionResult HoldsSparseContent(const std::string& path, uint64_t size,
                                            const std::vector<Marker>& markers);

// A demo install in a fresh folder: a Bundles folder holding a stand-in bundle of the expected
// size (1,327,174,142 bytes) with the usual markers.
struct StandInInstall {
    static constexpr uint64_t kSize = 1327174142;
    TempDir install;
    std::string bundles = install.path() + "\\Bundles";
    std::string bundle = bundles + "\\quick.bundle";

    bool Create() const;
    // The bundle holds exactly what Create wrote.
    testing::AssertionResult Untouched() const { return HoldsSparseContent(bundle, kSize, BundleMarkers(kSize)); }
};

std::string ReadSmallFile(const std::string& path);  // whole file; "<missing>" if it cannot be opened
bool WriteSmallFile(const std::string& path, const std::string& bytes);
std::vector<std::string> FolderEntries(const std::string& folder);  // sorted names, without . and ..
bool IsFolder(const std::string& path);

// ---- Registry --------------------------------------------------------------------------------

// The view flag for the 32-bit view, and 0 for the process's own (native) view.
constexpr REGSAM kNativeView = 0;
constexpr REGSAM kWow32View = KEY_WOW64_32KEY;

// Removes the install key (and the maker's key if it is left empty) from the given view.
void DeleteInstallKey(REGSAM view);
bool CreateInstallKey(REGSAM view);
// Sets "InstalledPath" to exactly these bytes (a terminating zero only if the bytes hold one).
bool SetInstallValue(REGSAM view, DWORD type, const std::string& bytes);

// Clears the install key in both views on entry and on exit.
class InstallKeyGuard {
  public:
    InstallKeyGuard();
    ~InstallKeyGuard();
    InstallKeyGuard(const InstallKeyGuard&) = delete;
    InstallKeyGuard& operator=(const InstallKeyGuard&) = delete;
};

// ---- Mutexes ---------------------------------------------------------------------------------

bool MutexNameExists(const char* name);
