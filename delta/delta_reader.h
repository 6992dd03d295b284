// Splits a delta stream into tokens: runs of plain literals, escape pairs and commands. Shared by
// the applier and the dump tool so both read the format the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "delta/delta.h"

// Decodes one length, pulling bytes from `next` (a byte 0..255, or -1 at the end). The further
// bytes go most significant first through a 32-bit accumulator, so the 0xFF form keeps only its
// low four bytes; the 0xFD and 0xFE forms add no offset.
template <typename NextByte>
int32_t DecodeDeltaLength(NextByte&& next) {
    int first = next();
    int further;
    uint32_t value;
    if (first < 0xFC) {
        // Also covers the end of the stream: -1 + 1 == 0.
        return first + 1;
    } else if (first == 0xFC) {
        return 253 + next();
    } else if (first == 0xFD) {
        further = 2;
    } else if (first == 0xFE) {
        further = 4;
    } else {
        further = 8;
    }
    value = 0;
    for (int i = 0; i < further; i++) {
        value = (value << 8) + static_cast<uint32_t>(next());
    }
    return static_cast<int32_t>(value);
}

enum class DeltaTokenKind {
    End,            // the delta ended between commands
    Literals,       // `count` literal bytes at `bytes`, each a top-level byte of the delta
    EscapedEscape,  // 0xA7 0xA7: one literal 0xA7 (within a buffer, it ends a Literals run)
    LoneEscape,     // 0xA7 b: two literals, 0xA7 and `code`
    Mode,           // DeltaInsert or DeltaReplace, in `code`
    SourceCommand,  // DeltaSeekBack, DeltaCopy or DeltaSeekForward in `code`, with `length`
    Truncated,      // the delta ended inside the command that starts at `offset`
    ReadError,      // the delta stream reported an error
};

struct DeltaToken {
    DeltaTokenKind kind = DeltaTokenKind::End;
    uint8_t code = 0;
    int32_t length = 0;
    const uint8_t* bytes = nullptr;  // Literals only; valid until the next call
    size_t count = 0;
    bool endsEscaped = false;  // Literals: the last byte is an escaped escape's 0xA7
    uint64_t offset = 0;  // where the token starts in the delta
};

class DeltaReader {
  public:
    // Bytes read from the delta at a time.
    static constexpr size_t kBufferSize = 256 * 1024;

    explicit DeltaReader(FILE* delta) : file_(delta) {}
    DeltaReader(const DeltaReader&) = delete;
    DeltaReader& operator=(const DeltaReader&) = delete;

    // Fills `token` with the next token. A literal run ends at an escape byte or at the end of
    // the buffered bytes, so one run in the delta may come as several tokens. An escaped escape
    // found within the buffer ends the run it follows, as the run's last byte: escapes are
    // common in random literal data, and this spares them a token of their own.
    void Next(DeltaToken* token);

  private:
    int NextByte();
    bool Refill();
    uint64_t Offset() const { return consumed_ + static_cast<uint64_t>(pos_); }

    FILE* file_;
    uint64_t consumed_ = 0;  // delta bytes before buf_[0]
    size_t pos_ = 0;
    size_t end_ = 0;
    bool hitEnd_ = false;  // a byte was asked for past the end
    bool failed_ = false;
    uint8_t buf_[kBufferSize];
};
