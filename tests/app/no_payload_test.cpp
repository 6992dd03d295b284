// An executable without the DATA 110 payload: the patch stops before touching anything.
#include <gtest/gtest.h>

#include "patch/patch_bundle.h"
#include "test_support.h"

namespace {

constexpr uint64_t kSize = 1327174142;

TEST(PatchBundleNoPayloadTest, MissingPayloadLeavesTheBundleUntouched) {
    ASSERT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(110), "DATA"), nullptr);
    TempDir install;
    const std::string bundles = install.path() + "\\Bundles";
    const std::string bundle = bundles + "\\quick.bundle";
    ASSERT_TRUE(CreateDirectoryA(bundles.c_str(), nullptr));
    ASSERT_TRUE(CreateSparseFile(bundle, kSize, BundleMarkers(kSize)));
    MessageBoxRecorder boxes;

    EXPECT_FALSE(PatchBundle(install.path()));

    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_TRUE(IsBox(boxes.boxes()[0], texts::kCannotInstall, MB_OK | MB_ICONERROR, nullptr));
    EXPECT_EQ(FolderEntries(bundles), std::vector<std::string>{"quick.bundle"});
    EXPECT_TRUE(HoldsSparseContent(bundle, kSize, BundleMarkers(kSize)));
}

}  // namespace
