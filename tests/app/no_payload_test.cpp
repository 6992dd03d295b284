// An executable without the DATA 110 payload: the patch stops before touching anything.
#include <gtest/gtest.h>

#include "patch/patch_bundle.h"
#include "test_support.h"

namespace {

TEST(PatchBundleNoPayloadTest, MissingPayloadLeavesTheBundleUntouched) {
    ASSERT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(110), "DATA"), nullptr);
    StandInInstall demo;
    ASSERT_TRUE(demo.Create());
    MessageBoxRecorder boxes;

    EXPECT_FALSE(PatchBundle(demo.install.path()));

    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_TRUE(IsBox(boxes.boxes()[0], texts::kCannotInstall, MB_OK | MB_ICONERROR, nullptr));
    EXPECT_EQ(FolderEntries(demo.bundles), std::vector<std::string>{"quick.bundle"});
    EXPECT_TRUE(demo.Untouched());
}

}  // namespace
