// bundle-delta as its users run it: a separate process, real files, exit codes and messages.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <string>

#include "delta/delta.h"
#include "delta_fixture.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;  // stdout and stderr together
};

ToolRun RunTool(const std::string& args) {
    ToolRun r;
    std::string command = std::string(BUNDLE_DELTA) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return r;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0) {
        r.out.append(buf, n);
    }
    int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool Exists(const char* path) {
    FILE* f = fopen(path, "rb");
    if (f) {
        fclose(f);
    }
    return f != nullptr;
}

class ApplyCommand : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(WriteBytes(old_.c_str(), Text("abcdef"))); }
    std::string Args() { return std::string("apply ") + old_.c_str() + " " + delta_.c_str() + " " + new_.c_str(); }
    TempPath old_, delta_, new_;
};

TEST_F(ApplyCommand, RebuildsNew) {
    ASSERT_TRUE(WriteBytes(delta_.c_str(), B({0xA7, DeltaCopy, 0x01, 0xA7, DeltaInsert, 'X', 0xA7, DeltaSeekForward, 0x00,
                                             0xA7, DeltaCopy, 0x01})));
    ToolRun r = RunTool(Args());
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadBytes(new_.c_str()), Text("abXde"));
}

TEST_F(ApplyCommand, FailedApplyExitsOneAndRemovesNew) {
    const Bytes failing[] = {B({0xA7, DeltaCopy, 0x07}), B({0xA7, DeltaSeekBack, 0x00}), B({0xA7, DeltaInsert, 'x', 0xA7})};
    for (const Bytes& delta : failing) {
        ASSERT_TRUE(WriteBytes(delta_.c_str(), delta));
        ToolRun r = RunTool(Args());
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_NE(r.out.find("apply failed"), std::string::npos) << r.out;
        EXPECT_FALSE(Exists(new_.c_str()));
    }
}

TEST_F(ApplyCommand, FullDiskExitsOne) {
    ASSERT_TRUE(WriteBytes(delta_.c_str(), B({0xA7, DeltaInsert, 'x', 'y'})));
    ToolRun r = RunTool(std::string("apply ") + old_.c_str() + " " + delta_.c_str() + " /dev/full");
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("NEW could not be written"), std::string::npos) << r.out;
    struct stat st;
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "a failed NEW that is a device must not be removed";
}

TEST_F(ApplyCommand, FileErrorsExitTwoNamingTheFile) {
    ASSERT_TRUE(WriteBytes(delta_.c_str(), {}));
    struct {
        std::string args;
        std::string named;
    } cases[] = {
        {std::string("apply /nonexistent/old ") + delta_.c_str() + " " + new_.c_str(), "OLD '/nonexistent/old'"},
        {std::string("apply ") + old_.c_str() + " /nonexistent/delta " + new_.c_str(), "DELTA '/nonexistent/delta'"},
        {std::string("apply ") + old_.c_str() + " " + delta_.c_str() + " /nonexistent/new", "NEW '/nonexistent/new'"},
    };
    for (const auto& c : cases) {
        ToolRun r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args;
        EXPECT_NE(r.out.find(c.named), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("No such file or directory"), std::string::npos) << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    }
}

TEST(Usage, HelpAndUsageErrors) {
    struct {
        const char* args;
        int exitCode;
        const char* expected;
    } cases[] = {
        {"", 2, "usage: bundle-delta apply OLD DELTA NEW"},
        {"--help", 0, "usage: bundle-delta apply OLD DELTA NEW"},
        {"apply --help", 0, "Rebuilds NEW from the bundle OLD"},
        {"dump --help", 0, "Lists DELTA one command a line"},
        {"apply a b", 2, "apply takes 3 operands"},
        {"dump", 2, "dump takes 1 operand"},
        {"frobnicate x", 2, "unknown command 'frobnicate'"},
    };
    for (const auto& c : cases) {
        ToolRun r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
        EXPECT_NE(r.out.find(c.expected), std::string::npos) << c.args << ": " << r.out;
    }
}

TEST(Dump, ListsCommandsAndSummarisesLiterals) {
    TempPath delta;
    ASSERT_TRUE(WriteBytes(delta.c_str(), B({0xA7, DeltaCopy, 0xFE, 0x01, 0x40, 0x00, 0x00,   // 0
                                             0xA7, DeltaInsert, 'a', 'b', 0xA7, 0xA7, 0xA7, 0x01,  // 7
                                             0xA7, DeltaSeekBack, 0xFD, 0x01, 0x2C,                // 15
                                             'z', 'z',                                             // 20
                                             0xA7, DeltaReplace, 'q',                              // 22
                                             0xA7, DeltaSeekForward, 0xFE, 0xFF, 0xFF, 0xFF, 0xFE})));
    ToolRun r = RunTool(std::string("dump ") + delta.c_str());
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out,
              "0x00000000  DeltaCopy         20971520\n"
              "0x00000007  DeltaInsert\n"
              "0x00000009  literals          5 bytes, insert (1 escaped escapes, 1 lone escapes)\n"
              "0x0000000f  DeltaSeekBack     300\n"
              "0x00000014  literals          2 bytes, dropped (no mode)\n"
              "0x00000016  DeltaReplace\n"
              "0x00000018  literals          1 bytes, replace\n"
              "0x00000019  DeltaSeekForward  -2\n"
              "0x00000020  end\n");
}

TEST(Dump, ReportsAMalformedEndingWithItsOffset) {
    TempPath delta;
    ASSERT_TRUE(WriteBytes(delta.c_str(), B({0xA7, DeltaInsert, 'a', 0xA7, DeltaCopy, 0xFE, 0x00})));
    ToolRun r = RunTool(std::string("dump ") + delta.c_str());
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("0x00000003  malformed: the delta ends inside this command"), std::string::npos) << r.out;
}

}  // namespace
