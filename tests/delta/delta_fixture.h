// Real files for the applier's tests, in both trees: the source, the delta and the output are
// written to and read back from a temporary folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes B(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) {
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

inline Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A fresh path in the temporary folder; the file is removed when the owner goes away.
class TempPath {
  public:
    TempPath();
    ~TempPath();
    TempPath(const TempPath&) = delete;
    TempPath& operator=(const TempPath&) = delete;
    const char* c_str() const { return path_.c_str(); }

  private:
    std::string path_;
};

bool WriteBytes(const char* path, const Bytes& bytes);
Bytes ReadBytes(const char* path);

// Applies `delta` to `source` through real files. `output` receives what was written.
struct ApplyResult {
    bool ok = false;
    Bytes output;
    int activityCount = 0;  // the reference's activity counter at the end
};
ApplyResult ApplyBytes(const Bytes& source, const Bytes& delta);

// The format decoded the plain way, one byte at a time, in memory: the reference the streaming
// applier is compared with. It fails where the applier fails, including a delta cut inside a
// command. `progress`, when given, receives the activity pump's events in order: 'A' when an
// activity counter ticked once per top-level byte reaches the pump threshold, 'B' for each copy
// block, which restarts the count; the count left at the end goes to `activityCount`.
ApplyResult ApplyReference(const Bytes& source, const Bytes& delta, std::string* progress = nullptr);
