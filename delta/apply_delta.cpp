#include <cstring>
#include <memory>
#include <new>

#ifdef __linux__
#include <unistd.h>
#endif

#include "delta/delta.h"
#include "delta/delta_reader.h"
#include "delta/progress.h"

namespace {

enum class Mode { None, Insert, Replace };

// A copy block moves through memory in pieces of this size: small enough to stay in the
// processor's cache, which is what keeps a copy at the speed of the disk.
constexpr size_t kCopyChunk = 256 * 1024;

// Literals are gathered here and written in large pieces instead of a write per run.
constexpr size_t kLiteralStage = 1024 * 1024;

// Moves the source by a signed offset. 64-bit so that the negation of the most negative length
// is defined and every position below 2 GiB is reachable where `long` has 32 bits.
bool SeekSource(FILE* source, int64_t offset) {
#ifdef _WIN32
    return _fseeki64(source, offset, SEEK_CUR) == 0;
#else
    return fseeko(source, static_cast<off_t>(offset), SEEK_CUR) == 0;
#endif
}

// Moves as much of `*left` bytes from the source to the output as it can inside the kernel when
// both are files, sparing the round trip through memory that dominates a copy; `*left` keeps
// what remains, for the caller to move through memory, which also meets any error (a short
// source, a full disk) the ordinary way. False only when the streams could not be placed after
// the bytes moved.
bool CopyInKernel(FILE* source, FILE* output, size_t* left) {
#ifdef __linux__
    int in = fileno(source);
    int out = fileno(output);
    if (in < 0 || out < 0 || fflush(output) != 0) {
        return true;
    }
    off_t inPos = ftello(source);
    off_t outPos = ftello(output);
    if (inPos < 0 || outPos < 0) {
        return true;
    }
    size_t moved = 0;
    while (moved < *left) {
        ssize_t got = copy_file_range(in, &inPos, out, &outPos, *left - moved, 0);
        if (got <= 0) {
            break;
        }
        moved += static_cast<size_t>(got);
    }
    if (moved == 0) {
        return true;
    }
    *left -= moved;
    return fseeko(source, inPos, SEEK_SET) == 0 && fseeko(output, outPos, SEEK_SET) == 0;
#else
    (void)source;
    (void)output;
    (void)left;
    return true;
#endif
}

// Everything one apply needs, obtained in one allocation so that a shortage of memory shows at
// once as a failed apply.
struct Applier {
    Applier(FILE* source, FILE* delta, FILE* output) : source(source), output(output), reader(delta) {}

    FILE* source;
    FILE* output;
    Mode mode = Mode::None;
    DeltaReader reader;
    size_t staged = 0;
    uint8_t stage[kLiteralStage];
    uint8_t chunk[kCopyChunk];  // copy pieces, and where replace-mode skips read into

    bool Flush() {
        size_t n = staged;
        staged = 0;
        return n == 0 || fwrite(stage, n, 1, output) == 1;
    }

    bool Stage(const uint8_t* bytes, size_t n) {
        while (n > 0) {
            size_t room = sizeof(stage) - staged;
            if (room == 0) {
                if (!Flush()) {
                    return false;
                }
                room = sizeof(stage);
            }
            size_t piece = n < room ? n : room;
            memcpy(stage + staged, bytes, piece);
            staged += piece;
            bytes += piece;
            n -= piece;
        }
        return true;
    }

    // Skips `n` source bytes the way reading them one at a time would: a skip at the end of the
    // source does not move the position.
    bool SkipSource(size_t n) {
        while (n > 0) {
            size_t piece = n < sizeof(chunk) ? n : sizeof(chunk);
            if (fread(chunk, 1, piece, source) < piece) {
                return !ferror(source);
            }
            n -= piece;
        }
        return true;
    }

    bool EmitLiterals(const uint8_t* bytes, size_t n) {
        if (mode == Mode::None) {
            return true;
        }
        return Stage(bytes, n) && (mode == Mode::Insert || SkipSource(n));
    }

    // A run of literals passes progress point A once per byte. Ticks that would only count are
    // added in one step; the tick that pumps is passed on its own, before its byte is emitted.
    bool Literals(const uint8_t* bytes, size_t count) {
        while (count > 0) {
            size_t n = count;
            if (g_progressTick) {
                int32_t quiet = kActivityPumpThreshold - 1 - g_activityCounter;
                if (quiet <= 0) {
                    g_progressTick(false);
                    n = 1;
                } else {
                    if (static_cast<size_t>(quiet) < n) {
                        n = static_cast<size_t>(quiet);
                    }
                    g_activityCounter += static_cast<int32_t>(n);
                }
            }
            if (!EmitLiterals(bytes, n)) {
                return false;
            }
            bytes += n;
            count -= n;
        }
        return true;
    }

    // Copies run in blocks of at most kDeltaCopyBlock bytes, each announced at progress point B.
    // A block fails as a whole when the source cannot give all of it or the output cannot take
    // it; what reached the output before is left for the caller to discard.
    bool Copy(int32_t length) {
        if (!Flush()) {
            return false;
        }
        int32_t done = 0;
        while (done < length) {
            if (g_progressTick) {
                g_progressTick(true);
            }
            int32_t block = length - done;
            if (block > kDeltaCopyBlock) {
                block = kDeltaCopyBlock;
            }
            size_t left = static_cast<size_t>(block);
            if (!CopyInKernel(source, output, &left)) {
                return false;
            }
            while (left > 0) {
                size_t piece = left < sizeof(chunk) ? left : sizeof(chunk);
                if (fread(chunk, piece, 1, source) != 1 || fwrite(chunk, piece, 1, output) != 1) {
                    return false;
                }
                left -= piece;
            }
            done += block;
        }
        return true;
    }

    bool Command(uint8_t code, int32_t length) {
        mode = Mode::None;
        switch (code) {
        case DeltaSeekBack:
            return SeekSource(source, -static_cast<int64_t>(length));
        case DeltaSeekForward:
            return SeekSource(source, static_cast<int64_t>(length));
        default:
            return Copy(length);
        }
    }

    bool Run();
};

void TickOnce() {
    if (g_progressTick) {
        g_progressTick(false);
    }
}

bool Applier::Run() {
    DeltaToken token;
    for (;;) {
        reader.Next(&token);
        bool ok = true;
        switch (token.kind) {
        case DeltaTokenKind::End:
            // Errors that show only when the buffered tail reaches the file count too.
            return Flush() && fflush(output) == 0 && !ferror(output);
        case DeltaTokenKind::Truncated:
        case DeltaTokenKind::ReadError:
            return false;
        case DeltaTokenKind::Literals:
            ok = Literals(token.bytes, token.count);
            break;
        case DeltaTokenKind::EscapedEscape: {
            static const uint8_t kEscape[1] = {DeltaEscape};
            TickOnce();
            ok = EmitLiterals(kEscape, 1);
            break;
        }
        case DeltaTokenKind::LoneEscape: {
            const uint8_t pair[2] = {DeltaEscape, token.code};
            TickOnce();
            ok = EmitLiterals(pair, 2);
            break;
        }
        case DeltaTokenKind::Mode:
            TickOnce();
            mode = token.code == DeltaInsert ? Mode::Insert : Mode::Replace;
            break;
        case DeltaTokenKind::SourceCommand:
            TickOnce();
            ok = Command(token.code, token.length);
            break;
        }
        if (!ok) {
            return false;
        }
    }
}

}  // namespace

bool ApplyDelta(FILE* source, FILE* delta, FILE* output) {
    std::unique_ptr<Applier> applier(new (std::nothrow) Applier(source, delta, output));
    return applier && applier->Run();
}

int32_t ReadDeltaLength(FILE* delta) {
    return DecodeDeltaLength([delta] { return fgetc(delta); });
}
