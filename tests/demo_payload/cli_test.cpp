// Runs the make-demo-payload executable as the build does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bundle_model.h"
#include "delta_encoder.h"
#include "sha256.h"
#include "test_support.h"

namespace {

using demo_payload_test::FileSize;
using demo_payload_test::Quote;
using demo_payload_test::RunTool;
using demo_payload_test::ScratchDir;
using demo_payload_test::ToolResult;

size_t CountLines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(Cli, HelpListsEveryCommand) {
    const ToolResult r = RunTool("--help");
    EXPECT_EQ(r.exit_code, 0);
    for (const char* command : {"old-bundle", "delta", "new-bundle", "new-sha256"}) {
        EXPECT_NE(r.out.find(command), std::string::npos) << command;
    }
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST(Cli, RejectsBadUsageWithOneLine) {
    struct Case {
        const char* args;
        const char* message;
    };
    const Case cases[] = {
        {"", "missing command"},
        {"bogus", "unknown command 'bogus'"},
        {"old-bundle", "expected exactly one PATH"},
        {"delta a b", "expected exactly one PATH"},
        {"new-bundle ''", "empty PATH"},
        {"new-sha256 extra", "new-sha256 takes no argument"},
        {"--help extra", "--help takes no argument"},
    };
    for (const Case& c : cases) {
        const ToolResult r = RunTool(c.args);
        EXPECT_EQ(r.exit_code, 2) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(CountLines(r.err), 1u) << c.args << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << c.args;
    }
}

TEST(Cli, ReportsOutputsThatCannotBeWritten) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string directory = dir.File("");
    struct Case {
        const char* command;
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {"delta", "/nonexistent-demo-payload-dir/payload.bin", std::strerror(ENOENT)},
        {"delta", directory, std::strerror(EISDIR)},
        // A full disk: the writes themselves fail, not the open.
        {"delta", "/dev/full", std::strerror(ENOSPC)},
        {"old-bundle", "/dev/full", std::strerror(ENOSPC)},
        {"new-bundle", "/dev/full", std::strerror(ENOSPC)},
    };
    for (const Case& c : cases) {
        const std::string args = std::string(c.command) + " " + Quote(c.path);
        const ToolResult r = RunTool(args);
        EXPECT_EQ(r.exit_code, 2) << args;
        EXPECT_NE(r.err.find(c.path), std::string::npos) << args << ": " << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(CountLines(r.err), 1u) << args << ": " << r.err;
    }
}

TEST(Cli, ReportsAFullStandardOutput) {
    const ToolResult r = RunTool("new-sha256", "/dev/full");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(std::strerror(ENOSPC)), std::string::npos) << r.err;
}

TEST(Cli, DeltaFileIsTheEncodedPayloadOnEveryRun) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    std::vector<uint8_t> first, second, encoded;
    for (auto* target : {&first, &second}) {
        const std::string path = dir.File(target == &first ? "first.delta" : "second.delta");
        const ToolResult r = RunTool("delta " + Quote(path));
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
        ASSERT_TRUE(demo_payload_test::ReadFile(path, target));
    }
    const demo_payload::OldBundle old = demo_payload::BuildOldBundle();
    ASSERT_TRUE(demo_payload::EncodeDelta(old, demo_payload::BuildNewBundle(old), &encoded));
    EXPECT_TRUE(first == second);
    EXPECT_TRUE(first == encoded);
}

// Reads the source bundle from a file at any position.
class FileSource : public demo_payload_test::DeltaSourceReader {
public:
    explicit FileSource(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
    ~FileSource() override {
        if (file_ != nullptr) std::fclose(file_);
    }
    bool ok() const { return file_ != nullptr; }
    bool Read(int64_t offset, uint8_t* out, size_t size) override {
        return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0 &&
               std::fread(out, 1, size, file_) == size;
    }

private:
    std::FILE* file_;
};

// Compares everything written with a file, in order.
class CompareWithFile : public demo_payload_test::DeltaOutput {
public:
    explicit CompareWithFile(const std::string& path)
        : file_(std::fopen(path.c_str(), "rb")), buffer_(8 << 20) {}
    ~CompareWithFile() override {
        if (file_ != nullptr) std::fclose(file_);
    }
    bool ok() const { return file_ != nullptr; }
    uint64_t matched() const { return matched_; }

    bool Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            if (at_ == have_) {
                have_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
                at_ = 0;
                if (have_ == 0) return false;  // longer than the file
            }
            const size_t n = std::min(size, have_ - at_);
            if (std::memcmp(data, buffer_.data() + at_, n) != 0) return false;
            at_ += n;
            matched_ += n;
            data += n;
            size -= n;
        }
        return true;
    }

private:
    std::FILE* file_;
    std::vector<uint8_t> buffer_;
    size_t have_ = 0;
    size_t at_ = 0;
    uint64_t matched_ = 0;
};

bool HashFile(const std::string& path, std::string* hex) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::vector<uint8_t> buffer(8 << 20);
    demo_payload::Sha256 sha;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) sha.Update(buffer.data(), n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    *hex = sha.FinalHex();
    return ok;
}

// The whole chain on real files: the old bundle as the patch expects it,
// the new bundle and its checksum from the model, and the delta applied to
// the old file by an independent reader giving exactly the new file.
TEST(Cli, DeltaTurnsTheOldBundleIntoTheNewOne) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string old_path = dir.File("old.bundle");
    const std::string new_path = dir.File("new.bundle");
    const std::string delta_path = dir.File("payload.delta");

    ToolResult r = RunTool("old-bundle " + Quote(old_path));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_EQ(FileSize(old_path), 1327174142);
    std::vector<uint8_t> head;
    ASSERT_TRUE(demo_payload_test::ReadFileHead(old_path, 1 << 20, &head));
    demo_payload_test::Toc old_toc;
    std::string error;
    ASSERT_TRUE(demo_payload_test::ParseToc(head, 1327174142, &old_toc, &error)) << error;

    r = RunTool("new-bundle " + Quote(new_path));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const demo_payload::OldBundle old_model = demo_payload::BuildOldBundle();
    const uint64_t planned_size = demo_payload::BuildNewBundle(old_model).size;
    ASSERT_EQ(FileSize(new_path), static_cast<int64_t>(planned_size));
    ASSERT_TRUE(demo_payload_test::ReadFileHead(new_path, 1 << 20, &head));
    demo_payload_test::Toc new_toc;
    ASSERT_TRUE(demo_payload_test::ParseToc(head, planned_size, &new_toc, &error)) << error;
    EXPECT_EQ(new_toc.version, demo_payload::kNewBundleVersion);

    r = RunTool("new-sha256");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::string file_hash;
    ASSERT_TRUE(HashFile(new_path, &file_hash));
    EXPECT_EQ(r.out, file_hash + "\n");

    r = RunTool("delta " + Quote(delta_path));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::vector<uint8_t> delta;
    ASSERT_TRUE(demo_payload_test::ReadFile(delta_path, &delta));

    FileSource source(old_path);
    CompareWithFile expected(new_path);
    ASSERT_TRUE(source.ok() && expected.ok());
    demo_payload_test::DeltaStats stats;
    EXPECT_TRUE(demo_payload_test::WalkDelta(delta, &source, &expected, &stats, &error))
        << error << " after " << expected.matched() << " matching bytes";
    EXPECT_EQ(expected.matched(), planned_size);
}

}  // namespace
