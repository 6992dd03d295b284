// Encodes the new bundle's description as a delta over the old bundle.
//
// Format: 0xA7 is the escape byte; 0xA7 followed by 0xA2..0xA6 is a command
// (seek back, copy, seek forward, insert mode, replace mode), 0xA7 0xA7 is a
// literal 0xA7, and 0xA7 followed by any other byte is those two literals.
// Seek and copy carry a length of one to nine bytes after the code.
#ifndef DEMO_PAYLOAD_DELTA_ENCODER_H
#define DEMO_PAYLOAD_DELTA_ENCODER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bundle_model.h"
#include "delta/delta.h"

namespace demo_payload {

// Lengths are decoded as signed 32-bit values.
constexpr uint64_t kMaxDeltaLength = 0x7FFFFFFF;

enum class LengthForm {
    kShortest,   // the smallest form that holds the value
    kEightByte,  // 0xFF form; only its low four bytes count
};

// The eight-byte form's first four bytes are dropped by the applier; they
// are deliberately non-zero so an applier that decodes them as a 64-bit
// value goes wrong visibly instead of by luck.
constexpr uint8_t kEightByteFiller[4] = {0x00, 0x00, 0x00, 0x01};

enum class DeltaOpKind { kSeekBack, kCopy, kSeekForward, kInsert, kReplace };

struct DeltaOp {
    DeltaOpKind kind;
    uint64_t length;  // seeks and copies: the operand; literals: byte count
    LengthForm form;
    // Literal ops: the new bundle's segments whose bytes they carry.
    std::vector<size_t> segments;
};

// Translates the new bundle's segment list into delta operations, tracking
// the applier's source position: old ranges become copies (with seeks where
// they are not where the source stands), new bytes become insert or replace
// literals. False when the description cannot be expressed (a length beyond
// the signed 32-bit range, an unknown segment).
bool PlanDeltaOps(const OldBundle& old_bundle, const NewBundle& new_bundle,
                  std::vector<DeltaOp>* ops);

// Appends the encoded length; false when the value is outside 1..2^31-1.
bool AppendDeltaLength(uint64_t value, LengthForm form, std::vector<uint8_t>* out);

// Appends literal bytes with every 0xA7 escaped: as 0xA7 b when the next
// literal b is not a command code or 0xA7, else as 0xA7 0xA7.
void AppendDeltaLiterals(const uint8_t* data, size_t size, std::vector<uint8_t>* out);

// The complete delta.
bool EncodeDelta(const OldBundle& old_bundle, const NewBundle& new_bundle,
                 std::vector<uint8_t>* out);

}  // namespace demo_payload

#endif  // DEMO_PAYLOAD_DELTA_ENCODER_H
