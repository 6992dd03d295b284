// A failed apply: this executable's DATA 110 payload (payloads/apply_fails.delta) inserts a few
// bytes and then copies past the end of the bundle, so the applier returns false midway.
#include <gtest/gtest.h>

#include "patch/patch_bundle.h"
#include "test_support.h"

namespace {

TEST(PatchBundleRollbackTest, FailedApplyPutsTheOldBundleBackSilently) {
    StandInInstall demo;
    ASSERT_TRUE(demo.Create());
    MessageBoxRecorder boxes;

    EXPECT_FALSE(PatchBundle(demo.install.path()));

    EXPECT_TRUE(boxes.boxes().empty()) << "the run sequence reports a failed apply";
    EXPECT_EQ(FolderEntries(demo.bundles), std::vector<std::string>{"quick.bundle"});
    EXPECT_TRUE(demo.Untouched());
}

}  // namespace
