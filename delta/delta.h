// The delta format and its streaming applier.
//
// A delta is a plain byte stream. 0xA7 is the escape byte: 0xA7 followed by a command code is a
// command, any other byte is a literal. Literals go to the output in insert mode, go to the output
// while skipping one source byte each in replace mode, and are dropped in mode none.
#pragma once

#include <cstdint>
#include <cstdio>

enum DeltaCode : uint8_t {
    DeltaSeekBack = 0xA2,     // length L: the source position moves back by L
    DeltaCopy = 0xA3,         // length L: L source bytes go to the output
    DeltaSeekForward = 0xA4,  // length L: the source position moves forward by L
    DeltaInsert = 0xA5,       // literals are appended
    DeltaReplace = 0xA6,      // literals are appended, each skipping one source byte
    DeltaEscape = 0xA7,       // the escape byte; doubled it is one literal 0xA7
};

// Copies run in blocks of at most this many bytes; progress point B comes before each block.
constexpr int32_t kDeltaCopyBlock = 20971520;

// Rebuilds `output` from `source` and `delta`. True only when the end of the delta was reached and
// every byte reached the output (the output is flushed, not closed). False when a seek, a source
// read, an output write or a delta read fails, when its buffers cannot be obtained, and when
// the delta ends inside a command (after an escape byte or inside a length). On false the output
// holds an unspecified prefix and the caller discards it.
bool ApplyDelta(FILE* source, FILE* delta, FILE* output);

// Reads one length from `delta` byte by byte. End-of-file reads as -1 wherever a byte is expected,
// so a missing first byte decodes as 0; the applier itself treats a length cut short as malformed.
int32_t ReadDeltaLength(FILE* delta);
