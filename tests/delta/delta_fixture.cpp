#include "delta_fixture.h"

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "delta/delta.h"
#include "delta/delta_reader.h"
#include "delta/progress.h"

namespace {

std::string TempFolder() {
    for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
        const char* value = getenv(name);
        if (value && *value) {
            return value;
        }
    }
    return "/tmp";
}

}  // namespace

TempPath::TempPath() {
    static int serial = 0;
#ifdef _WIN32
    const char sep = '\\';
#else
    const char sep = '/';
#endif
    path_ = TempFolder() + sep + "orvek-delta-test-" + std::to_string(static_cast<long>(getpid())) + "-" + std::to_string(serial++);
}

TempPath::~TempPath() {
    remove(path_.c_str());
}

bool WriteBytes(const char* path, const Bytes& bytes) {
    FILE* f = fopen(path, "wb");
    if (!f) {
        return false;
    }
    bool ok = bytes.empty() || fwrite(bytes.data(), bytes.size(), 1, f) == 1;
    return fclose(f) == 0 && ok;
}

Bytes ReadBytes(const char* path) {
    Bytes out;
    FILE* f = fopen(path, "rb");
    if (!f) {
        return out;
    }
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) {
        out.insert(out.end(), buf, buf + n);
    }
    fclose(f);
    return out;
}

ApplyResult ApplyBytes(const Bytes& source, const Bytes& delta) {
    TempPath sourcePath, deltaPath, outputPath;
    ApplyResult result;
    if (!WriteBytes(sourcePath.c_str(), source) || !WriteBytes(deltaPath.c_str(), delta)) {
        return result;
    }
    FILE* s = fopen(sourcePath.c_str(), "rb");
    FILE* d = fopen(deltaPath.c_str(), "rb");
    FILE* o = fopen(outputPath.c_str(), "wb");
    if (s && d && o) {
        result.ok = ApplyDelta(s, d, o);
    }
    for (FILE* f : {s, d, o}) {
        if (f) {
            fclose(f);
        }
    }
    result.output = ReadBytes(outputPath.c_str());
    return result;
}

ApplyResult ApplyReference(const Bytes& source, const Bytes& delta, std::string* progress) {
    ApplyResult r;
    size_t at = 0;
    int64_t pos = 0;
    int mode = 0;  // 0 none, 1 insert, 2 replace
    int counter = 0;
    auto next = [&]() -> int { return at < delta.size() ? delta[at++] : -1; };
    auto emit = [&](uint8_t c) {
        if (mode == 0) {
            return;
        }
        r.output.push_back(c);
        if (mode == 2 && pos < static_cast<int64_t>(source.size())) {
            pos++;  // a skip at the end of the source does not move
        }
    };
    for (;;) {
        int c = next();
        if (c < 0) {
            r.ok = true;
            r.activityCount = counter;
            return r;
        }
        if (progress && ++counter == kActivityPumpThreshold) {
            counter = 0;
            *progress += 'A';
        }
        if (c != DeltaEscape) {
            emit(static_cast<uint8_t>(c));
            continue;
        }
        int d = next();
        if (d < 0) {
            return r;
        }
        if (d == DeltaSeekBack || d == DeltaCopy || d == DeltaSeekForward) {
            // A length cut short is malformed.
            if (at >= delta.size()) {
                return r;
            }
            size_t first = delta[at];
            size_t need = first < 0xFC ? 1 : first == 0xFC ? 2 : first == 0xFD ? 3 : first == 0xFE ? 5 : 9;
            if (delta.size() - at < need) {
                return r;
            }
            int32_t length = DecodeDeltaLength(next);
            mode = 0;
            if (d == DeltaCopy) {
                if (length > 0) {
                    if (progress) {
                        counter = 0;
                        progress->append(static_cast<size_t>((length - 1) / kDeltaCopyBlock + 1), 'B');
                    }
                    if (pos > static_cast<int64_t>(source.size()) ||
                        static_cast<int64_t>(source.size()) - pos < length) {
                        return r;
                    }
                    r.output.insert(r.output.end(), source.begin() + pos, source.begin() + pos + length);
                    pos += length;
                }
            } else {
                int64_t to = d == DeltaSeekBack ? pos - static_cast<int64_t>(length) : pos + length;
                if (to < 0) {
                    return r;
                }
                pos = to;
            }
        } else if (d == DeltaInsert || d == DeltaReplace) {
            mode = d == DeltaInsert ? 1 : 2;
        } else if (d == DeltaEscape) {
            emit(DeltaEscape);
        } else {
            emit(DeltaEscape);
            emit(static_cast<uint8_t>(d));
        }
    }
}
