#include <cstring>
#include <memory>
#include <new>

#include "delta/delta.h"
#include "delta/delta_reader.h"
#include "delta/progress.h"

namespace {

enum class Mode { None, Insert, Replace };

// Moves the source by a signed offset. 64-bit so that the negation of the most negative length
// is defined and every position below 2 GiB is reachable where `long` has 32 bits.
bool SeekSource(FILE* source, int64_t offset) {
#ifdef _WIN32
    return _fseeki64(source, offset, SEEK_CUR) == 0;
#else
    return fseeko(source, static_cast<off_t>(offset), SEEK_CUR) == 0;
#endif
}

struct Applier {
    Applier(FILE* source, FILE* output) : source(source), output(output) {}

    FILE* source;
    FILE* output;
    Mode mode = Mode::None;
    std::unique_ptr<uint8_t[]> block;  // the copy buffer, obtained once at the first copy
    uint8_t skipped[16 * 1024];        // where replace-mode skips read into

    // Skips `n` source bytes the way reading them one at a time would: a skip at the end of the
    // source does not move the position.
    bool SkipSource(size_t n) {
        while (n > 0) {
            size_t chunk = n < sizeof(skipped) ? n : sizeof(skipped);
            size_t got = fread(skipped, 1, chunk, source);
            if (got < chunk) {
                return !ferror(source);
            }
            n -= chunk;
        }
        return true;
    }

    bool EmitLiterals(const uint8_t* bytes, size_t n) {
        if (mode == Mode::None) {
            return true;
        }
        if (fwrite(bytes, 1, n, output) != n) {
            return false;
        }
        return mode == Mode::Insert || SkipSource(n);
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

    bool Copy(int32_t length) {
        int32_t done = 0;
        while (done < length) {
            if (g_progressTick) {
                g_progressTick(true);
            }
            int32_t n = length - done;
            if (n > kDeltaCopyBlock) {
                n = kDeltaCopyBlock;
            }
            if (!block) {
                block.reset(new (std::nothrow) uint8_t[kDeltaCopyBlock]);
                if (!block) {
                    return false;
                }
            }
            size_t size = static_cast<size_t>(n);
            if (fread(block.get(), size, 1, source) != 1) {
                return false;
            }
            if (fwrite(block.get(), size, 1, output) != 1) {
                return false;
            }
            done += n;
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
};

void TickOnce() {
    if (g_progressTick) {
        g_progressTick(false);
    }
}

}  // namespace

bool ApplyDelta(FILE* source, FILE* delta, FILE* output) {
    // Both buffers are far too large for a stack frame.
    std::unique_ptr<DeltaReader> reader(new (std::nothrow) DeltaReader(delta));
    std::unique_ptr<Applier> applier(new (std::nothrow) Applier(source, output));
    if (!reader || !applier) {
        return false;
    }
    DeltaToken token;
    for (;;) {
        reader->Next(&token);
        bool ok = true;
        switch (token.kind) {
        case DeltaTokenKind::End:
            // Errors that show only when the buffered tail reaches the file count too.
            return fflush(output) == 0 && !ferror(output);
        case DeltaTokenKind::Truncated:
        case DeltaTokenKind::ReadError:
            return false;
        case DeltaTokenKind::Literals:
            ok = applier->Literals(token.bytes, token.count);
            break;
        case DeltaTokenKind::EscapedEscape: {
            static const uint8_t kEscape[1] = {DeltaEscape};
            TickOnce();
            ok = applier->EmitLiterals(kEscape, 1);
            break;
        }
        case DeltaTokenKind::LoneEscape: {
            const uint8_t pair[2] = {DeltaEscape, token.code};
            TickOnce();
            ok = applier->EmitLiterals(pair, 2);
            break;
        }
        case DeltaTokenKind::Mode:
            TickOnce();
            applier->mode = token.code == DeltaInsert ? Mode::Insert : Mode::Replace;
            break;
        case DeltaTokenKind::SourceCommand:
            TickOnce();
            ok = applier->Command(token.code, token.length);
            break;
        }
        if (!ok) {
            return false;
        }
    }
}

int32_t ReadDeltaLength(FILE* delta) {
    return DecodeDeltaLength([delta] { return fgetc(delta); });
}
