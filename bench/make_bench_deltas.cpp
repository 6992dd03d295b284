// Writes the two deltas the apply benchmark runs against a source of a given size:
//   make-bench-deltas SOURCE_SIZE COPY_DELTA LITERAL_DELTA
// The copy-dominant delta rebuilds about SOURCE_SIZE bytes from copies of 8 to 64 MiB with small
// inserts, replaces and seeks between them; the literal-heavy one inserts 256 MiB of random bytes,
// escape bytes among them.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "delta/delta.h"

namespace {

struct Rng {
    uint64_t s;
    uint64_t Next() {
        s += 0x9E3779B97F4A7C15ull;
        uint64_t z = s;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int64_t Between(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(Next() % static_cast<uint64_t>(hi - lo + 1)); }
};

class Writer {
  public:
    explicit Writer(FILE* f) : f_(f) {}
    void Byte(uint8_t b) { buf_.push_back(b); if (buf_.size() >= (1u << 20)) Flush(); }
    void Command(uint8_t code) { Byte(DeltaEscape); Byte(code); }
    void Length(int64_t value) {
        uint32_t v = static_cast<uint32_t>(value);
        Byte(0xFE);
        for (int shift = 24; shift >= 0; shift -= 8) Byte(static_cast<uint8_t>(v >> shift));
    }
    void SourceCommand(uint8_t code, int64_t length) { Command(code); Length(length); }
    // Random literals; an escape byte among them is doubled.
    void Literals(Rng& rng, int64_t n) {
        for (int64_t i = 0; i < n; i += 8) {
            uint64_t word = rng.Next();
            for (int k = 0; k < 8 && i + k < n; k++) {
                uint8_t b = static_cast<uint8_t>(word >> (8 * k));
                Byte(b);
                if (b == DeltaEscape) Byte(b);
            }
        }
    }
    bool Flush() {
        ok_ = ok_ && (buf_.empty() || fwrite(buf_.data(), buf_.size(), 1, f_) == 1);
        buf_.clear();
        return ok_;
    }

  private:
    FILE* f_;
    std::vector<uint8_t> buf_;
    bool ok_ = true;
};

bool WriteCopyDominant(FILE* f, int64_t sourceSize) {
    Writer w(f);
    Rng rng{1};
    int64_t pos = 0, out = 0;
    while (out < sourceSize) {
        int64_t copy = rng.Between(8 << 20, 64 << 20);
        if (copy > sourceSize) copy = sourceSize;
        if (sourceSize - pos < copy) {
            int64_t to = rng.Between(0, sourceSize - copy);
            w.SourceCommand(DeltaSeekBack, pos - to);
            pos = to;
        }
        w.SourceCommand(DeltaCopy, copy);
        pos += copy;
        out += copy;
        switch (rng.Next() % 3) {
        case 0: {
            int64_t n = rng.Between(16, 4096);
            w.Command(DeltaInsert);
            w.Literals(rng, n);
            out += n;
            break;
        }
        case 1: {
            int64_t n = rng.Between(16, 4096);
            if (sourceSize - pos >= n) {
                w.Command(DeltaReplace);
                w.Literals(rng, n);
                pos += n;
                out += n;
            }
            break;
        }
        default: {
            int64_t n = rng.Between(1, 65536);
            if (sourceSize - pos >= n) {
                w.SourceCommand(DeltaSeekForward, n);
                pos += n;
            }
            break;
        }
        }
    }
    return w.Flush();
}

bool WriteLiteralHeavy(FILE* f) {
    Writer w(f);
    Rng rng{2};
    w.Command(DeltaInsert);
    w.Literals(rng, int64_t{256} << 20);
    return w.Flush();
}

bool WriteFile(const char* path, bool (*write)(FILE*, int64_t), int64_t size) {
    FILE* f = fopen(path, "wb");
    if (!f) {
        fprintf(stderr, "make-bench-deltas: cannot open '%s': %s\n", path, strerror(errno));
        return false;
    }
    bool ok = write(f, size);
    if (fclose(f) != 0 || !ok) {
        fprintf(stderr, "make-bench-deltas: cannot write '%s': %s\n", path, strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || atoll(argv[1]) <= 0) {
        fprintf(stderr, "usage: make-bench-deltas SOURCE_SIZE COPY_DELTA LITERAL_DELTA\n");
        return 2;
    }
    int64_t size = atoll(argv[1]);
    bool ok = WriteFile(argv[2], WriteCopyDominant, size) &&
              WriteFile(argv[3], [](FILE* f, int64_t) { return WriteLiteralHeavy(f); }, size);
    return ok ? 0 : 2;
}
