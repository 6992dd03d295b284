// A failed apply: this executable's DATA 110 payload (payloads/apply_fails.delta) inserts a few
// bytes and then copies past the end of the bundle, so the applier returns false midway.
#include <gtest/gtest.h>

#include "patch/patch_bundle.h"
#include "test_support.h"

namespace {

constexpr uint64_t kSize = 1327174142;

TEST(PatchBundleRollbackTest, FailedApplyPutsTheOldBundleBackSilently) {
    TempDir install;
    const std::string bundles = install.path() + "\\Bundles";
    const std::string bundle = bundles + "\\quick.bundle";
    ASSERT_TRUE(CreateDirectoryA(bundles.c_str(), nullptr));
    ASSERT_TRUE(CreateSparseFile(bundle, kSize, BundleMarkers(kSize)));
    MessageBoxRecorder boxes;

    EXPECT_FALSE(PatchBundle(install.path()));

    EXPECT_TRUE(boxes.boxes().empty()) << "the run sequence reports a failed apply";
    EXPECT_EQ(FolderEntries(bundles), std::vector<std::string>{"quick.bundle"});
    EXPECT_TRUE(HoldsSparseContent(bundle, kSize, BundleMarkers(kSize)));
}

}  // namespace
