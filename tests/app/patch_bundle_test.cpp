// PatchBundle with real files: every refusal, the failures after the backup, and the success.
// This executable carries payloads/apply_ok.delta as its DATA 110 resource: a delta of more than
// 4 KiB that turns the stand-in bundle into "HEAD" "NEW" "TAIL" (see tests/app/CMakeLists.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

#include "patch/messages.h"
#include "patch/patch_bundle.h"
#include "test_support.h"

namespace {

constexpr uint64_t kSize = 1327174142;
constexpr uint64_t kFourGiB = uint64_t{1} << 32;
constexpr UINT kErrorBox = MB_OK | MB_ICONERROR;
const std::vector<std::string> kBundleOnly = {"quick.bundle"};

// Boxes are recorded, not shown, so the owner is only passed through: a distinct value of our
// own shows that every box gets the process-wide owner window (a real window would need a
// display).
const HWND kOwner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5A5A));

class OwnerWindow {
  public:
    OwnerWindow() { g_ownerWindow = kOwner; }
    ~OwnerWindow() { g_ownerWindow = nullptr; }
    HWND get() const { return kOwner; }
};

// Holds a file open with the given sharing, to make the program's own opens fail.
class HeldFile {
  public:
    HeldFile(const std::string& path, DWORD access, DWORD share, DWORD creation)
        : handle_(CreateFileA(path.c_str(), access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() { Release(); }
    bool IsHeld() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release() {
        if (IsHeld()) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

  private:
    HANDLE handle_;
};

class PatchBundleTest : public testing::Test {
  protected:
    std::string Bundles() const { return install_.path() + "\\Bundles"; }
    std::string InBundles(const char* name) const { return Bundles() + "\\" + name; }
    void MakeBundles() { ASSERT_TRUE(CreateDirectoryA(Bundles().c_str(), nullptr)); }
    void MakeBundle(uint64_t size) {
        ASSERT_TRUE(CreateSparseFile(InBundles("quick.bundle"), size, BundleMarkers(size)));
    }
    testing::AssertionResult BundleUntouched(uint64_t size) const {
        return HoldsSparseContent(InBundles("quick.bundle"), size, BundleMarkers(size));
    }
    void ExpectOneBox(const char* text) const {
        ASSERT_EQ(boxes_.boxes().size(), 1u);
        EXPECT_TRUE(IsBox(boxes_.boxes()[0], text, kErrorBox, owner_.get()));
    }

    TempDir install_;
    OwnerWindow owner_;
    MessageBoxRecorder boxes_;
};

// ---- Refused before the bundle is moved: one message, the files as they were ----------------

struct RefusalCase {
    const char* name;
    bool bundlesFolder;
    uint64_t bundleSize;           // 0: no bundle
    const char* folderNamed;       // a folder of this name in Bundles, or null
    bool holdBundleUnshared;       // the bundle is open elsewhere without sharing
    const char* message;
    std::vector<std::string> entriesAfter;
};

const RefusalCase kRefusals[] = {
    {"NoBundlesFolder", false, 0, nullptr, false, texts::kNotInstalled, {}},
    {"NoBundle", true, 0, nullptr, false, texts::kNotInstalled, {}},
    {"BundleCannotBeOpened", true, kSize, nullptr, true, texts::kNotInstalled, kBundleOnly},
    {"OneByteShort", true, kSize - 1, nullptr, false, texts::kWrongVersion, kBundleOnly},
    {"OneByteLong", true, kSize + 1, nullptr, false, texts::kWrongVersion, kBundleOnly},
    {"FourGiBLong", true, kSize + kFourGiB, nullptr, false, texts::kWrongVersion, kBundleOnly},
    {"TinyBundle", true, 16, nullptr, false, texts::kWrongVersion, kBundleOnly},
    // diff.dat cannot be created while a folder has its name.
    {"DeltaFileCannotBeCreated", true, kSize, "diff.dat", false, texts::kCannotInstall, {"diff.dat", "quick.bundle"}},
    // The rename to backup.dat fails while a folder has that name; diff.dat is deleted again.
    {"RenameToBackupFails", true, kSize, "backup.dat", false, texts::kCannotInstall, {"backup.dat", "quick.bundle"}},
};

class PatchBundleRefusalTest : public PatchBundleTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(PatchBundleRefusalTest, ShowsItsMessageAndLeavesTheFilesAsTheyWere) {
    const RefusalCase& c = GetParam();
    if (c.bundlesFolder) {
        MakeBundles();
    }
    if (c.bundleSize != 0) {
        MakeBundle(c.bundleSize);
    }
    if (c.folderNamed != nullptr) {
        ASSERT_TRUE(CreateDirectoryA(InBundles(c.folderNamed).c_str(), nullptr));
    }
    std::unique_ptr<HeldFile> held;
    if (c.holdBundleUnshared) {
        held = std::make_unique<HeldFile>(InBundles("quick.bundle"), GENERIC_READ, 0, OPEN_EXISTING);
        ASSERT_TRUE(held->IsHeld());
    }

    EXPECT_FALSE(PatchBundle(install_.path()));

    ExpectOneBox(c.message);
    held.reset();
    EXPECT_EQ(IsFolder(Bundles()), c.bundlesFolder);
    EXPECT_EQ(FolderEntries(Bundles()), c.entriesAfter);
    if (c.bundleSize != 0) {
        EXPECT_TRUE(BundleUntouched(c.bundleSize));
    }
    if (c.folderNamed != nullptr) {
        EXPECT_TRUE(IsFolder(InBundles(c.folderNamed)));
        EXPECT_EQ(FolderEntries(InBundles(c.folderNamed)), std::vector<std::string>());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, PatchBundleRefusalTest, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<RefusalCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- The payload write fails -----------------------------------------------------------------

// ctest prepares a Bundles folder whose diff.dat is a link to the Unix device that is always
// full, and names the install folder in ORVEK_TEST_FULL_DISK_DIR.
TEST_F(PatchBundleTest, IncompletePayloadWriteLeavesThePartialDeltaFile) {
    const char* fullDisk = std::getenv("ORVEK_TEST_FULL_DISK_DIR");
    if (fullDisk == nullptr || *fullDisk == '\0') {
        GTEST_SKIP() << "ORVEK_TEST_FULL_DISK_DIR is not set: run this through ctest";
    }
    const std::string bundles = std::string(fullDisk) + "\\Bundles";
    const std::string bundle = bundles + "\\quick.bundle";
    ASSERT_TRUE(CreateSparseFile(bundle, kSize, BundleMarkers(kSize)));

    EXPECT_FALSE(PatchBundle(fullDisk));

    ExpectOneBox(texts::kCannotInstall);
    EXPECT_EQ(FolderEntries(bundles), (std::vector<std::string>{"diff.dat", "quick.bundle"}));
    EXPECT_TRUE(HoldsSparseContent(bundle, kSize, BundleMarkers(kSize)));
    RemoveTree(bundle);
}

// ---- One of the three streams does not open --------------------------------------------------

// diff.dat is held open with write and delete sharing but no read sharing: the program can
// create and write it, and delete it, but not open it for reading. By then the bundle has been
// renamed and a new, empty bundle created at its path, which must make way for the backup.
TEST_F(PatchBundleTest, StreamThatDoesNotOpenPutsTheBackupBack) {
    MakeBundles();
    MakeBundle(kSize);
    HeldFile delta(InBundles("diff.dat"), GENERIC_WRITE, FILE_SHARE_WRITE | FILE_SHARE_DELETE, CREATE_ALWAYS);
    ASSERT_TRUE(delta.IsHeld());

    EXPECT_FALSE(PatchBundle(install_.path()));

    ExpectOneBox(texts::kCannotInstall);
    delta.Release();  // completes the deletion the program asked for
    EXPECT_EQ(FolderEntries(Bundles()), kBundleOnly);
    EXPECT_TRUE(BundleUntouched(kSize));
}

// ---- The apply succeeds ----------------------------------------------------------------------

TEST_F(PatchBundleTest, SuccessfulApplyLeavesOnlyTheNewBundle) {
    MakeBundles();
    MakeBundle(kSize);

    EXPECT_TRUE(PatchBundle(install_.path()));

    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(FolderEntries(Bundles()), kBundleOnly);
    EXPECT_EQ(ReadSmallFile(InBundles("quick.bundle")), "HEADNEWTAIL");
}

// The install text is used through its normalized form: capitals, slashes, doubled separators.
TEST_F(PatchBundleTest, UsesTheNormalizedInstallText) {
    MakeBundles();
    MakeBundle(kSize);
    std::string messy = install_.path();
    std::transform(messy.begin(), messy.end(), messy.begin(), [](char c) {
        return c == '\\' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    messy.insert(messy.find('/') + 1, "/");
    messy += "//";

    EXPECT_TRUE(PatchBundle(messy)) << messy;

    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(ReadSmallFile(InBundles("quick.bundle")), "HEADNEWTAIL");
}

// A previous run that failed to write its delta left diff.dat behind; the next run overwrites it.
TEST_F(PatchBundleTest, LeftoverDeltaFileIsOverwritten) {
    MakeBundles();
    MakeBundle(kSize);
    ASSERT_TRUE(WriteSmallFile(InBundles("diff.dat"), std::string(9000, '\xA7')));

    EXPECT_TRUE(PatchBundle(install_.path()));

    EXPECT_EQ(FolderEntries(Bundles()), kBundleOnly);
    EXPECT_EQ(ReadSmallFile(InBundles("quick.bundle")), "HEADNEWTAIL");
}

}  // namespace
