// Helpers for the generator's tests: an independent delta reader, a bundle
// table parser, scratch directories and running the tool.
#ifndef DEMO_PAYLOAD_TEST_SUPPORT_H
#define DEMO_PAYLOAD_TEST_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace demo_payload_test {

// ---- Delta reader -------------------------------------------------------
// Written from the format description alone, without the generator's
// encoder, so that it checks the encoder rather than repeating it.

enum LiteralMode { kModeNone = 0, kModeInsert = 1, kModeReplace = 2 };
enum LengthFormIndex {
    kFormOneByte = 0,
    kFormFC = 1,
    kFormFD = 2,
    kFormFE = 3,
    kFormFF = 4,
};

struct DeltaStats {
    uint64_t commands[5] = {};  // by code, 0xA2..0xA6
    uint64_t escaped_escapes[3] = {};  // by LiteralMode
    uint64_t lone_escapes[3] = {};
    uint64_t literals[3] = {};
    uint64_t length_forms[5] = {};  // by LengthFormIndex
    uint64_t eight_byte_with_high_bits = 0;
    int64_t longest_copy = 0;
    uint64_t output_size = 0;  // bytes the delta produces
};

// Reads one length at delta[*pos]; false when the delta ends inside it.
bool DecodeLength(const std::vector<uint8_t>& delta, size_t* pos,
                  int32_t* value, LengthFormIndex* form,
                  bool* dropped_bits_set);

class DeltaSourceReader {
public:
    virtual ~DeltaSourceReader() = default;
    // Exactly `size` bytes at `offset`, or false.
    virtual bool Read(int64_t offset, uint8_t* out, size_t size) = 0;
};

class DeltaOutput {
public:
    virtual ~DeltaOutput() = default;
    virtual bool Write(const uint8_t* data, size_t size) = 0;
};

// Walks the whole delta and gathers statistics. With a source and an
// output it also applies it. False (with a reason) on a malformed delta, a
// seek before the start, a failed read or a refused write.
bool WalkDelta(const std::vector<uint8_t>& delta, DeltaSourceReader* source,
               DeltaOutput* output, DeltaStats* stats, std::string* error);

// ---- Bundle table -------------------------------------------------------

struct TocEntry {
    std::string name;
    uint64_t offset;
    uint64_t size;
};

struct Toc {
    uint32_t version = 0;
    uint64_t table_size = 0;
    std::vector<TocEntry> entries;
};

// Parses a table from the start of a bundle and checks that the assets
// follow it back to back up to `file_size`. False with a reason otherwise.
bool ParseToc(const std::vector<uint8_t>& head, uint64_t file_size, Toc* toc,
              std::string* error);

// ---- Files and the tool -------------------------------------------------

// A fresh directory in /dev/shm when it exists (the bundles are 1.3 GB
// each), else in TMPDIR or /tmp; removed with its files on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool ok() const { return !path_.empty(); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

bool ReadFile(const std::string& path, std::vector<uint8_t>* out);
bool ReadFileHead(const std::string& path, size_t size, std::vector<uint8_t>* out);
int64_t FileSize(const std::string& path);  // -1 when it cannot be read

struct ToolResult {
    int exit_code = -1;  // -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

// Runs make-demo-payload with the given arguments (already shell-quoted as
// needed). Standard output goes to `stdout_target` when given.
ToolResult RunTool(const std::string& args, const std::string& stdout_target = "");

std::string Quote(const std::string& text);

}  // namespace demo_payload_test

#endif  // DEMO_PAYLOAD_TEST_SUPPORT_H
