#include "delta_encoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using demo_payload::AppendDeltaLength;
using demo_payload::AppendDeltaLiterals;
using demo_payload::LengthForm;
using demo_payload_test::DecodeLength;
using demo_payload_test::DeltaStats;
using demo_payload_test::LengthFormIndex;
using demo_payload_test::WalkDelta;

using Bytes = std::vector<uint8_t>;

TEST(DeltaLength, EveryFormDecodesBackToItsValue) {
    struct Case {
        uint64_t value;
        LengthForm form;
        size_t encoded_size;
        LengthFormIndex decoded_form;
    };
    const Case cases[] = {
        {1, LengthForm::kShortest, 1, demo_payload_test::kFormOneByte},
        {168, LengthForm::kShortest, 1, demo_payload_test::kFormOneByte},  // byte 0xA7
        {252, LengthForm::kShortest, 1, demo_payload_test::kFormOneByte},
        {253, LengthForm::kShortest, 2, demo_payload_test::kFormFC},
        {508, LengthForm::kShortest, 2, demo_payload_test::kFormFC},
        {509, LengthForm::kShortest, 3, demo_payload_test::kFormFD},
        {65535, LengthForm::kShortest, 3, demo_payload_test::kFormFD},
        {65536, LengthForm::kShortest, 5, demo_payload_test::kFormFE},
        {0x7FFFFFFF, LengthForm::kShortest, 5, demo_payload_test::kFormFE},
        {5, LengthForm::kEightByte, 9, demo_payload_test::kFormFF},
        {0x7FFFFFFF, LengthForm::kEightByte, 9, demo_payload_test::kFormFF},
    };
    for (const Case& c : cases) {
        Bytes encoded;
        ASSERT_TRUE(AppendDeltaLength(c.value, c.form, &encoded)) << c.value;
        EXPECT_EQ(encoded.size(), c.encoded_size) << c.value;
        size_t pos = 0;
        int32_t decoded = 0;
        LengthFormIndex form;
        bool high_bits = false;
        ASSERT_TRUE(DecodeLength(encoded, &pos, &decoded, &form, &high_bits)) << c.value;
        EXPECT_EQ(static_cast<uint64_t>(decoded), c.value);
        EXPECT_EQ(form, c.decoded_form) << c.value;
        EXPECT_EQ(pos, encoded.size()) << c.value;
        // The eight-byte form's dropped bytes are set on purpose.
        EXPECT_EQ(high_bits, c.form == LengthForm::kEightByte) << c.value;
    }
}

TEST(DeltaLength, RefusesValuesOutsideTheSignedRange) {
    const uint64_t values[] = {0, 0x80000000u, 0xFFFFFFFFu, UINT64_MAX};
    for (uint64_t value : values) {
        for (LengthForm form : {LengthForm::kShortest, LengthForm::kEightByte}) {
            Bytes encoded;
            EXPECT_FALSE(AppendDeltaLength(value, form, &encoded)) << value;
            EXPECT_TRUE(encoded.empty()) << value;
        }
    }
}

// Source whose byte at position p is p's low byte, so the output shows
// where the source stood.
class PositionSource : public demo_payload_test::DeltaSourceReader {
public:
    bool Read(int64_t offset, uint8_t* out, size_t size) override {
        for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(offset + i);
        return true;
    }
};

class CaptureOutput : public demo_payload_test::DeltaOutput {
public:
    bool Write(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    Bytes bytes;
};

TEST(DeltaLiterals, EscapeBytesAreEncodedSoTheyDecodeUnchanged) {
    struct Case {
        const char* label;
        Bytes literals;
        Bytes encoded;
    };
    const Case cases[] = {
        {"plain byte", {0x41}, {0x41}},
        {"command codes without escape", {0xA2, 0xA6}, {0xA2, 0xA6}},
        {"escape at the end", {0xA7}, {0xA7, 0xA7}},
        {"escape then ordinary byte", {0xA7, 0x00}, {0xA7, 0x00}},
        {"escape then byte below the codes", {0xA7, 0xA1}, {0xA7, 0xA1}},
        {"escape then byte above the codes", {0xA7, 0xA8}, {0xA7, 0xA8}},
        {"escape then first code", {0xA7, 0xA2}, {0xA7, 0xA7, 0xA2}},
        {"escape then last code", {0xA7, 0xA6}, {0xA7, 0xA7, 0xA6}},
        {"two escapes", {0xA7, 0xA7}, {0xA7, 0xA7, 0xA7, 0xA7}},
        {"two escapes then byte", {0xA7, 0xA7, 0x10}, {0xA7, 0xA7, 0xA7, 0x10}},
    };
    for (const Case& c : cases) {
        Bytes encoded;
        AppendDeltaLiterals(c.literals.data(), c.literals.size(), &encoded);
        EXPECT_EQ(encoded, c.encoded) << c.label;

        // Decoded in insert mode, then in replace mode followed by a one-byte
        // copy: the copy shows that each literal skipped exactly one source
        // byte, pairs included.
        for (uint8_t mode : {DeltaInsert, DeltaReplace}) {
            Bytes delta;
            delta.push_back(0xA7);
            delta.push_back(mode);
            for (uint8_t b : encoded) delta.push_back(b);
            for (uint8_t b : {0xA7, 0xA3, 0x00}) delta.push_back(b);  // copy 1
            PositionSource source;
            CaptureOutput output;
            DeltaStats stats;
            std::string error;
            ASSERT_TRUE(WalkDelta(delta, &source, &output, &stats, &error)) << c.label << ": " << error;
            Bytes expected = c.literals;
            expected.push_back(static_cast<uint8_t>(mode == DeltaReplace ? c.literals.size() : 0));
            EXPECT_EQ(output.bytes, expected) << c.label << " in mode " << int(mode);
        }
    }
}

struct PayloadDelta {
    demo_payload::OldBundle old_bundle;
    demo_payload::NewBundle new_bundle;
    Bytes delta;
    bool encoded = false;
};

PayloadDelta MakePayload() {
    PayloadDelta p;
    p.old_bundle = demo_payload::BuildOldBundle();
    p.new_bundle = demo_payload::BuildNewBundle(p.old_bundle);
    p.encoded = demo_payload::EncodeDelta(p.old_bundle, p.new_bundle, &p.delta);
    return p;
}

TEST(PayloadDelta, UsesEveryCommandLengthFormAndEscapeCase) {
    const PayloadDelta p = MakePayload();
    ASSERT_TRUE(p.encoded);
    DeltaStats stats;
    std::string error;
    ASSERT_TRUE(WalkDelta(p.delta, nullptr, nullptr, &stats, &error)) << error;

    const char* command_names[] = {"seek back", "copy", "seek forward", "insert", "replace"};
    for (int i = 0; i < 5; ++i) EXPECT_GT(stats.commands[i], 0u) << command_names[i];

    const char* form_names[] = {"one byte", "0xFC", "0xFD", "0xFE", "0xFF"};
    for (int i = 0; i < 5; ++i) EXPECT_GT(stats.length_forms[i], 0u) << form_names[i];
    EXPECT_GT(stats.eight_byte_with_high_bits, 0u);

    using demo_payload_test::kModeInsert;
    using demo_payload_test::kModeReplace;
    EXPECT_GT(stats.escaped_escapes[kModeInsert], 0u);
    EXPECT_GT(stats.escaped_escapes[kModeReplace], 0u);
    EXPECT_GT(stats.lone_escapes[kModeInsert], 0u);
    EXPECT_GT(stats.lone_escapes[kModeReplace], 0u);
    // Nothing is encoded as literals the applier would throw away.
    EXPECT_EQ(stats.literals[demo_payload_test::kModeNone], 0u);

    // Longer than the applier's 20 MiB copy block.
    EXPECT_GT(stats.longest_copy, 20971520);
    EXPECT_EQ(stats.output_size, p.new_bundle.size);
}

TEST(PayloadDelta, IsSmallEnoughToEmbed) {
    const PayloadDelta p = MakePayload();
    ASSERT_TRUE(p.encoded);
    EXPECT_GE(p.delta.size(), 1u << 20);
    EXPECT_LE(p.delta.size(), 6u << 20);
}

TEST(PayloadDelta, IsTheSameOnEveryBuild) {
    const PayloadDelta a = MakePayload();
    const PayloadDelta b = MakePayload();
    ASSERT_TRUE(a.encoded && b.encoded);
    EXPECT_TRUE(a.delta == b.delta);
}

TEST(PayloadDelta, RefusesSegmentsOutsideTheOldBundle) {
    const demo_payload::OldBundle old = demo_payload::BuildOldBundle();
    struct Case {
        const char* label;
        demo_payload::SegmentKind kind;
        uint64_t old_offset;
        uint64_t length;
        bool overwrites;
    };
    const Case cases[] = {
        {"copy past the end", demo_payload::SegmentKind::kOld, old.size - 10, 11, false},
        {"copy beyond the end", demo_payload::SegmentKind::kOld, old.size + 1, 1, false},
        {"replace past the end", demo_payload::SegmentKind::kStream, old.size - 1, 2, true},
    };
    for (const Case& c : cases) {
        demo_payload::NewBundle bundle;
        demo_payload::Segment segment{};
        segment.kind = c.kind;
        segment.old_offset = c.old_offset;
        segment.length = c.length;
        segment.overwrites = c.overwrites;
        bundle.segments.push_back(segment);
        bundle.size = c.length;
        std::vector<demo_payload::DeltaOp> ops;
        EXPECT_FALSE(demo_payload::PlanDeltaOps(old, bundle, &ops)) << c.label;
    }
}

}  // namespace
