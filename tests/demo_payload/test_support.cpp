#include "test_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifndef DEMO_PAYLOAD_TOOL
#error "DEMO_PAYLOAD_TOOL must name the make-demo-payload executable"
#endif

namespace demo_payload_test {
namespace {

constexpr uint8_t kEscape = 0xA7;
constexpr size_t kCopyBlock = 8 * 1024 * 1024;

uint64_t ReadLe(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

class Walker {
public:
    Walker(const std::vector<uint8_t>& delta, DeltaSourceReader* source,
           DeltaOutput* output, DeltaStats* stats, std::string* error)
        : delta_(delta), source_(source), output_(output), stats_(stats),
          error_(error) {}

    bool Run() {
        size_t i = 0;
        while (i < delta_.size()) {
            const uint8_t c = delta_[i++];
            if (c != kEscape) {
                if (!Literal(c)) return false;
                continue;
            }
            if (i >= delta_.size()) return Fail("delta ends right after an escape byte");
            const uint8_t d = delta_[i++];
            if (d >= 0xA2 && d <= 0xA6) {
                ++stats_->commands[d - 0xA2];
                if (d == 0xA5) {
                    mode_ = kModeInsert;
                    continue;
                }
                if (d == 0xA6) {
                    mode_ = kModeReplace;
                    continue;
                }
                mode_ = kModeNone;
                int32_t length = 0;
                LengthFormIndex form;
                bool high = false;
                if (!DecodeLength(delta_, &i, &length, &form, &high)) {
                    return Fail("delta ends inside a length");
                }
                ++stats_->length_forms[form];
                if (high) ++stats_->eight_byte_with_high_bits;
                bool ok = true;
                if (d == 0xA2) {
                    position_ -= length;
                    if (position_ < 0) return Fail("seek before the start of the source");
                } else if (d == 0xA4) {
                    position_ += length;
                    if (position_ < 0) return Fail("seek before the start of the source");
                } else {
                    ok = Copy(length);
                }
                if (!ok) return false;
            } else if (d == kEscape) {
                ++stats_->escaped_escapes[mode_];
                if (!Literal(kEscape)) return false;
            } else {
                ++stats_->lone_escapes[mode_];
                if (!Literal(kEscape) || !Literal(d)) return false;
            }
        }
        return true;
    }

private:
    bool Fail(const char* why) {
        *error_ = why;
        return false;
    }

    bool Literal(uint8_t b) {
        ++stats_->literals[mode_];
        if (mode_ == kModeNone) return true;
        if (mode_ == kModeReplace) ++position_;
        ++stats_->output_size;
        if (output_ != nullptr && !output_->Write(&b, 1)) return Fail("output refused a literal");
        return true;
    }

    bool Copy(int32_t length) {
        if (length <= 0) return true;
        stats_->longest_copy = std::max<int64_t>(stats_->longest_copy, length);
        stats_->output_size += static_cast<uint64_t>(length);
        if (source_ != nullptr && output_ != nullptr) {
            if (buffer_.empty()) buffer_.resize(kCopyBlock);
            int64_t left = length;
            int64_t at = position_;
            while (left > 0) {
                const size_t n = static_cast<size_t>(std::min<int64_t>(left, kCopyBlock));
                if (!source_->Read(at, buffer_.data(), n)) return Fail("copy past the end of the source");
                if (!output_->Write(buffer_.data(), n)) return Fail("output refused a copy");
                at += static_cast<int64_t>(n);
                left -= static_cast<int64_t>(n);
            }
        }
        position_ += length;
        return true;
    }

    const std::vector<uint8_t>& delta_;
    DeltaSourceReader* source_;
    DeltaOutput* output_;
    DeltaStats* stats_;
    std::string* error_;
    LiteralMode mode_ = kModeNone;
    int64_t position_ = 0;
    std::vector<uint8_t> buffer_;
};

}  // namespace

bool DecodeLength(const std::vector<uint8_t>& delta, size_t* pos,
                  int32_t* value, LengthFormIndex* form,
                  bool* dropped_bits_set) {
    *dropped_bits_set = false;
    if (*pos >= delta.size()) return false;
    const uint8_t first = delta[(*pos)++];
    if (first <= 0xFB) {
        *form = kFormOneByte;
        *value = first + 1;
        return true;
    }
    if (first == 0xFC) {
        if (*pos >= delta.size()) return false;
        *form = kFormFC;
        *value = 253 + delta[(*pos)++];
        return true;
    }
    const size_t count = first == 0xFD ? 2 : first == 0xFE ? 4 : 8;
    *form = first == 0xFD ? kFormFD : first == 0xFE ? kFormFE : kFormFF;
    if (count > delta.size() - *pos) return false;
    uint32_t accumulator = 0;
    for (size_t k = 0; k < count; ++k) {
        const uint8_t b = delta[(*pos)++];
        if (count == 8 && k < 4 && b != 0) *dropped_bits_set = true;
        accumulator = (accumulator << 8) + b;
    }
    *value = accumulator <= 0x7FFFFFFFu
                 ? static_cast<int32_t>(accumulator)
                 : -static_cast<int32_t>(~accumulator) - 1;
    return true;
}

bool WalkDelta(const std::vector<uint8_t>& delta, DeltaSourceReader* source,
               DeltaOutput* output, DeltaStats* stats, std::string* error) {
    *stats = DeltaStats();
    error->clear();
    Walker walker(delta, source, output, stats, error);
    return walker.Run();
}

bool ParseToc(const std::vector<uint8_t>& head, uint64_t file_size, Toc* toc,
              std::string* error) {
    static const char kMagic[8] = {'O', 'R', 'V', 'K', 'B', 'N', 'D', 'L'};
    *toc = Toc();
    auto fail = [error](const std::string& why) {
        *error = why;
        return false;
    };
    if (head.size() < 16) return fail("shorter than the table header");
    if (std::memcmp(head.data(), kMagic, 8) != 0) return fail("bad magic");
    toc->version = static_cast<uint32_t>(ReadLe(&head[8], 4));
    const uint64_t count = ReadLe(&head[12], 4);
    toc->table_size = 16 + 64 * count;
    if (count == 0) return fail("no entries");
    if (toc->table_size > head.size()) return fail("table longer than the bytes read");

    uint64_t expected_offset = toc->table_size;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* e = &head[16 + 64 * i];
        const void* nul = std::memchr(e, 0, 48);
        if (nul == nullptr) return fail("unterminated name");
        TocEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(e),
                          static_cast<const uint8_t*>(nul) - e);
        entry.offset = ReadLe(e + 48, 8);
        entry.size = ReadLe(e + 56, 8);
        if (entry.offset != expected_offset) {
            return fail("asset " + entry.name + " does not follow its predecessor");
        }
        if (entry.size > file_size - std::min(file_size, expected_offset)) {
            return fail("asset " + entry.name + " runs past the end of the file");
        }
        expected_offset += entry.size;
        toc->entries.push_back(entry);
    }
    if (expected_offset != file_size) return fail("assets do not end at the end of the file");
    return true;
}

ScratchDir::ScratchDir() {
    std::string base = "/dev/shm";
    if (access(base.c_str(), W_OK) != 0) {
        const char* tmp = std::getenv("TMPDIR");
        base = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    }
    std::string pattern = base + "/demo-payload-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
}

ScratchDir::~ScratchDir() {
    if (path_.empty()) return;
    if (DIR* dir = opendir(path_.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") unlink(File(name).c_str());
        }
        closedir(dir);
    }
    rmdir(path_.c_str());
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
    const int64_t size = FileSize(path);
    if (size < 0) return false;
    return ReadFileHead(path, static_cast<size_t>(size), out) &&
           out->size() == static_cast<size_t>(size);
}

bool ReadFileHead(const std::string& path, size_t size, std::vector<uint8_t>* out) {
    out->clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    out->resize(size);
    const size_t got = std::fread(out->data(), 1, size, f);
    out->resize(got);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

int64_t FileSize(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

ToolResult RunTool(const std::string& args, const std::string& stdout_target) {
    ToolResult result;
    ScratchDir capture;
    if (!capture.ok()) return result;
    const std::string out_file = capture.File("stdout");
    const std::string err_file = capture.File("stderr");
    const std::string command = Quote(DEMO_PAYLOAD_TOOL) + " " + args + " >" +
                                Quote(stdout_target.empty() ? out_file : stdout_target) +
                                " 2>" + Quote(err_file) + " </dev/null";
    const int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    std::vector<uint8_t> bytes;
    if (ReadFile(out_file, &bytes)) result.out.assign(bytes.begin(), bytes.end());
    if (ReadFile(err_file, &bytes)) result.err.assign(bytes.begin(), bytes.end());
    return result;
}

}  // namespace demo_payload_test
