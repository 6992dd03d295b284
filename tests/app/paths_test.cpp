// The path rules and the stream owner: no Windows headers, so these run natively too.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "patch/file_stream.h"
#include "patch/paths.h"

namespace {

struct NormalizeCase {
    const char* name;
    std::string text;
    std::string normalized;
};

const NormalizeCase kNormalizeCases[] = {
    {"SlashesAndDoubledSeparators", "C:/Games//Demo", "c:\\games\\demo\\"},
    {"TrailingBackslashKept", "D:\\Demo\\", "d:\\demo\\"},
    {"TrailingBackslashAdded", "d:\\demo", "d:\\demo\\"},
    {"LeadingSeparatorsDropped", "\\\\server\\share\\demo", "server\\share\\demo\\"},
    {"MixedLeadingSeparators", "/\\/x", "x\\"},
    {"OnlySeparators", "\\/\\//", ""},
    {"Empty", "", ""},
    {"ManyTrailingSeparators", "C:\\Demo\\\\//", "c:\\demo\\"},
    {"OnlyAsciiCapitalsChange", "ABCXYZ@[`{", "abcxyz@[`{\\"},
    {"BytesAboveAsciiUnchanged", "C:\\Spi\xC4\xCB\xDF\x80\xFF", "c:\\spi\xC4\xCB\xDF\x80\xFF\\"},
    {"SpacesAndDotsKept", "C:\\Program Files\\ORVEK Demo.", "c:\\program files\\orvek demo.\\"},
    {"SingleLetter", "Q", "q\\"},
};

class NormalizeInstallPathTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeInstallPathTest, Normalizes) {
    EXPECT_EQ(NormalizeInstallPath(GetParam().text), GetParam().normalized);
}

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeInstallPathTest, testing::ValuesIn(kNormalizeCases),
                         [](const testing::TestParamInfo<NormalizeCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(NormalizeInstallPathTest, IsStableWhenAppliedTwice) {
    for (const NormalizeCase& c : kNormalizeCases) {
        EXPECT_EQ(NormalizeInstallPath(c.normalized), c.normalized) << c.name;
    }
}

struct BundlePathsCase {
    const char* text;
    const char* directory;
};

TEST(BundlePathsTest, DirectoryAndFilesFollowTheNormalizedText) {
    const BundlePathsCase cases[] = {
        {"C:/Games//Demo", "c:\\games\\demo\\Bundles"},
        {"D:\\Demo\\", "d:\\demo\\Bundles"},
        {"d:\\demo", "d:\\demo\\Bundles"},
        {"\\\\server\\share\\demo", "server\\share\\demo\\Bundles"},
        {"\\\\//", "Bundles"},  // only separators: a relative directory
    };
    for (const BundlePathsCase& c : cases) {
        const BundlePaths paths = MakeBundlePaths(c.text);
        const std::string directory = c.directory;
        EXPECT_EQ(paths.directory, directory) << c.text;
        EXPECT_EQ(paths.bundle, directory + "\\quick.bundle") << c.text;
        EXPECT_EQ(paths.backup, directory + "\\backup.dat") << c.text;
        EXPECT_EQ(paths.delta, directory + "\\diff.dat") << c.text;
    }
}

TEST(JoinPathTest, ConcatenatesWithoutAddingSeparators) {
    EXPECT_EQ(JoinPath("c:\\demo\\", "Bundles"), "c:\\demo\\Bundles");
    EXPECT_EQ(JoinPath("Bundles", "\\diff.dat"), "Bundles\\diff.dat");
    EXPECT_EQ(JoinPath("", "x"), "x");
}

#ifdef _WIN32
constexpr char kMissingFolderFile[] = "Z:\\no-such-folder-for-orvek\\file.dat";
#else
constexpr char kMissingFolderFile[] = "/no-such-folder-for-orvek/file.dat";
#endif

TEST(FileStreamTest, OpenFailureLeavesItClosed) {
    FileStream stream = FileStream::Open(kMissingFolderFile, "wb");
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.get(), nullptr);
    EXPECT_TRUE(stream.Close());  // nothing was open, so nothing was lost
}

TEST(FileStreamTest, MovesOwnershipAndClosesOnce) {
    const std::string path = testing::TempDir() + "orvek_file_stream_test.dat";
    {
        FileStream first = FileStream::Open(path, "wb");
        ASSERT_TRUE(first.IsOpen());
        FILE* file = first.get();
        FileStream second(std::move(first));
        EXPECT_FALSE(first.IsOpen());
        EXPECT_EQ(second.get(), file);
        EXPECT_GE(std::fputs("kept", second.get()), 0);
        FileStream third;
        third = std::move(second);
        EXPECT_FALSE(second.IsOpen());
        EXPECT_EQ(third.get(), file);
        EXPECT_TRUE(third.Close());
        EXPECT_FALSE(third.IsOpen());
        EXPECT_TRUE(third.Close());
    }
    FileStream reader = FileStream::Open(path, "rb");
    ASSERT_TRUE(reader.IsOpen());
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, reader.get()), 4u);
    EXPECT_STREQ(text, "kept");
    reader.Close();
    std::remove(path.c_str());
}

TEST(FileStreamTest, DestructorClosesTheStream) {
    const std::string path = testing::TempDir() + "orvek_file_stream_destructor.dat";
    {
        FileStream stream = FileStream::Open(path, "wb");
        ASSERT_TRUE(stream.IsOpen());
        EXPECT_GE(std::fputs("flushed", stream.get()), 0);
    }
    // The buffered bytes reached the file, so the stream was closed.
    FileStream reader = FileStream::Open(path, "rb");
    ASSERT_TRUE(reader.IsOpen());
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, reader.get()), 7u);
    EXPECT_STREQ(text, "flushed");
    reader.Close();
    std::remove(path.c_str());
}

#ifndef _WIN32
// The close reports bytes that never reached the file (Wine's runtime does not report a failed
// flush at the close, so this runs natively only).
TEST(FileStreamTest, CloseReportsAFailedFinalFlush) {
    FileStream stream = FileStream::Open("/dev/full", "wb");
    ASSERT_TRUE(stream.IsOpen());
    ASSERT_GE(std::fputs("lost", stream.get()), 0);  // buffered: the failure shows at the close
    EXPECT_FALSE(stream.Close());
}
#endif

}  // namespace
