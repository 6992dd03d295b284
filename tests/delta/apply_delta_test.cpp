#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "delta/delta.h"
#include "delta/delta_reader.h"
#include "delta/progress.h"
#include "delta_fixture.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

const Bytes kAbcdef = Text("abcdef");

struct FormatCase {
    const char* name;
    Bytes source;
    Bytes delta;
    bool ok;
    Bytes output;  // checked only when ok
};

std::string CaseName(const testing::TestParamInfo<FormatCase>& info) {
    return info.param.name;
}

class FormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, AppliesAsTheFormatSays) {
    const FormatCase& c = GetParam();
    ApplyResult r = ApplyBytes(c.source, c.delta);
    EXPECT_EQ(r.ok, c.ok);
    if (c.ok) {
        EXPECT_EQ(r.output, c.output);
    }
    // The plain byte-at-a-time decoding agrees on every case.
    ApplyResult ref = ApplyReference(c.source, c.delta);
    EXPECT_EQ(ref.ok, c.ok);
    if (c.ok) {
        EXPECT_EQ(ref.output, c.output);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FormatTest,
    testing::Values(
        FormatCase{"EmptyDelta", kAbcdef, {}, true, {}},
        FormatCase{"LiteralsWithoutModeAreDropped", kAbcdef, B({0xA5, 0x41}), true, {}},
        FormatCase{"InsertWritesLiterals", kAbcdef, B({0xA7, 0xA5, 0x41, 0x42}), true, Text("AB")},
        FormatCase{"InsertLeavesSourceInPlace", kAbcdef, B({0xA7, 0xA5, 0x58, 0xA7, 0xA3, 0x00}), true,
                   Text("Xa")},
        FormatCase{"ReplaceSkipsOneSourceBytePerLiteral", kAbcdef,
                   B({0xA7, 0xA3, 0x01, 0xA7, 0xA6, 0x58, 0xA7, 0xA3, 0x00}), true, Text("abXd")},
        FormatCase{"CommandEndsTheMode", kAbcdef, B({0xA7, 0xA5, 0x41, 0xA7, 0xA3, 0x00, 0x42}), true,
                   Text("Aa")},
        FormatCase{"ReplaceAtEndOfSourceDoesNotMove", Text("ab"),
                   B({0xA7, 0xA6, 0x58, 0x59, 0x5A, 0xA7, 0xA2, 0x01, 0xA7, 0xA3, 0x01}), true,
                   Text("XYZab")}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Escapes, FormatTest,
    testing::Values(
        FormatCase{"EscapedEscapeInInsert", kAbcdef, B({0xA7, 0xA5, 0xA7, 0xA7}), true, B({0xA7})},
        FormatCase{"LoneEscapeInInsert", kAbcdef, B({0xA7, 0xA5, 0xA7, 0x00}), true, B({0xA7, 0x00})},
        FormatCase{"LoneEscapeKeepsTheMode", kAbcdef, B({0xA7, 0xA5, 0xA7, 0xA1, 0x41}), true,
                   B({0xA7, 0xA1, 0x41})},
        FormatCase{"LoneEscapeAboveCommandCodes", kAbcdef, B({0xA7, 0xA5, 0xA7, 0xA8}), true, B({0xA7, 0xA8})},
        FormatCase{"EscapedEscapeInReplaceSkipsOne", kAbcdef, B({0xA7, 0xA6, 0xA7, 0xA7, 0xA7, 0xA3, 0x00}),
                   true, B({0xA7, 'b'})},
        FormatCase{"LoneEscapeInReplaceSkipsTwo", kAbcdef, B({0xA7, 0xA6, 0xA7, 0x10, 0xA7, 0xA3, 0x00}), true,
                   B({0xA7, 0x10, 'c'})},
        FormatCase{"EscapesWithoutModeAreDropped", kAbcdef, B({0xA7, 0xA7, 0xA7, 0x10, 0xA7, 0xA3, 0x00}), true,
                   Text("a")}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    SourceCommands, FormatTest,
    testing::Values(
        FormatCase{"SeekBothWays", kAbcdef,
                   B({0xA7, 0xA4, 0x01, 0xA7, 0xA3, 0x01, 0xA7, 0xA2, 0x03, 0xA7, 0xA3, 0x01}), true,
                   Text("cdab")},
        FormatCase{"CopyOfZeroCopiesNothing", kAbcdef, B({0xA7, 0xA3, 0xFD, 0x00, 0x00, 0xA7, 0xA3, 0x00}), true,
                   Text("a")},
        FormatCase{"CopyOfNegativeLengthCopiesNothing", kAbcdef,
                   B({0xA7, 0xA3, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xA7, 0xA3, 0x00}), true, Text("a")},
        FormatCase{"NegativeSeekForwardMovesBack", kAbcdef,
                   B({0xA7, 0xA4, 0x03, 0xA7, 0xA4, 0xFE, 0xFF, 0xFF, 0xFF, 0xFE, 0xA7, 0xA3, 0x00}), true,
                   Text("c")},
        FormatCase{"NegativeSeekBackMovesForward", kAbcdef,
                   B({0xA7, 0xA2, 0xFE, 0xFF, 0xFF, 0xFF, 0xFE, 0xA7, 0xA3, 0x00}), true, Text("c")},
        FormatCase{"SeekBackByMostNegativeLengthMovesForward", kAbcdef,
                   B({0xA7, 0xA2, 0xFE, 0x80, 0x00, 0x00, 0x00}), true, {}},
        FormatCase{"SeekBeyondEndSucceeds", kAbcdef, B({0xA7, 0xA4, 0xFC, 0x00}), true, {}},
        FormatCase{"CopyWholeSource", kAbcdef, B({0xA7, 0xA3, 0x05}), true, kAbcdef}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Failures, FormatTest,
    testing::Values(
        FormatCase{"SeekBeforeStart", kAbcdef, B({0xA7, 0xA2, 0x00}), false, {}},
        FormatCase{"SeekForwardBeforeStart", kAbcdef, B({0xA7, 0xA4, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF}), false, {}},
        FormatCase{"CopyPastEndEvenIfSomeBytesCouldBeRead", kAbcdef, B({0xA7, 0xA3, 0x06}), false, {}},
        FormatCase{"CopyFromBeyondEnd", kAbcdef, B({0xA7, 0xA4, 0xFC, 0x00, 0xA7, 0xA3, 0x00}), false, {}},
        FormatCase{"SeekBackByMostNegativeThenCopy", kAbcdef,
                   B({0xA7, 0xA2, 0xFE, 0x80, 0x00, 0x00, 0x00, 0xA7, 0xA3, 0x00}), false, {}},
        FormatCase{"EndsAfterEscape", kAbcdef, B({0xA7, 0xA5, 0x41, 0xA7}), false, {}},
        FormatCase{"EndsBeforeLength", kAbcdef, B({0xA7, 0xA3}), false, {}},
        FormatCase{"EndsInsideLength", kAbcdef, B({0xA7, 0xA3, 0xFE, 0x00, 0x00}), false, {}},
        FormatCase{"EndsInsideLongLength", kAbcdef, B({0xA7, 0xA4, 0xFF, 0, 0, 0, 0, 0, 0, 0}), false, {}}),
    CaseName);

// Every length form, read on its own and used by the applier.
struct LengthCase {
    Bytes encoded;
    int32_t value;
};

class LengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(LengthTest, DecodesAndConsumesExactlyItsBytes) {
    const LengthCase& c = GetParam();
    TempPath path;
    Bytes withSentinel = c.encoded;
    withSentinel.push_back(0x5A);
    ASSERT_TRUE(WriteBytes(path.c_str(), withSentinel));
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadDeltaLength(f), c.value);
    EXPECT_EQ(fgetc(f), 0x5A);
    fclose(f);
}

TEST_P(LengthTest, SeeksMoveByTheValue) {
    const LengthCase& c = GetParam();
    Bytes source(700);
    for (size_t i = 0; i < source.size(); i++) {
        source[i] = static_cast<uint8_t>(i * 7);
    }
    auto seek = [&c](Bytes* delta, uint8_t code) {
        delta->insert(delta->end(), {DeltaEscape, code});
        delta->insert(delta->end(), c.encoded.begin(), c.encoded.end());
    };
    // Forward by the value and back by it again: back at the start, unless the first move
    // would already go before it.
    Bytes roundTrip;
    seek(&roundTrip, DeltaSeekForward);
    seek(&roundTrip, DeltaSeekBack);
    roundTrip.insert(roundTrip.end(), {0xA7, DeltaCopy, 0x00});
    ApplyResult r = ApplyBytes(source, roundTrip);
    EXPECT_EQ(r.ok, c.value >= 0);
    if (c.value >= 0) {
        EXPECT_EQ(r.output, Bytes{source[0]});
    }
    if (c.value >= 0 && c.value < 700) {
        Bytes landing;
        seek(&landing, DeltaSeekForward);
        landing.insert(landing.end(), {0xA7, DeltaCopy, 0x00});
        r = ApplyBytes(source, landing);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.output, Bytes{source[static_cast<size_t>(c.value)]});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LengthTest,
    testing::Values(LengthCase{B({0x00}), 1}, LengthCase{B({0x02}), 3}, LengthCase{B({0xFB}), 252},
                    LengthCase{B({0xFC, 0x00}), 253}, LengthCase{B({0xFC, 0xFF}), 508},
                    LengthCase{B({0xFC, 0x2F}), 300}, LengthCase{B({0xFD, 0x01, 0x2C}), 300},
                    LengthCase{B({0xFD, 0x00, 0x05}), 5}, LengthCase{B({0xFD, 0x00, 0x00}), 0},
                    LengthCase{B({0xFD, 0xFF, 0xFF}), 65535}, LengthCase{B({0xFE, 0x00, 0x00, 0x01, 0x00}), 256},
                    LengthCase{B({0xFE, 0x00, 0x00, 0x00, 0x07}), 7},
                    LengthCase{B({0xFE, 0x7F, 0xFF, 0xFF, 0xFF}), INT32_MAX},
                    LengthCase{B({0xFE, 0x80, 0x00, 0x00, 0x00}), INT32_MIN},
                    LengthCase{B({0xFE, 0xFF, 0xFF, 0xFF, 0xFE}), -2},
                    LengthCase{B({0xFF, 0x12, 0x34, 0x56, 0x78, 0x00, 0x00, 0x00, 0x05}), 5},
                    LengthCase{B({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x58}), 600}),
    [](const testing::TestParamInfo<LengthCase>& info) {
        std::string name;
        for (uint8_t b : info.param.encoded) {
            static const char hex[] = "0123456789ABCDEF";
            name += hex[b >> 4];
            name += hex[b & 15];
        }
        return name;
    });

TEST(ReadDeltaLength, EndOfFileWhereTheFirstByteIsExpectedDecodesAsZero) {
    TempPath path;
    ASSERT_TRUE(WriteBytes(path.c_str(), {}));
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadDeltaLength(f), 0);
    fclose(f);
}

// Records the progress points and counts like the splash display's tick does.
struct ProgressLog {
    static int forced;
    static int pumps;
    static void Tick(bool force) {
        if (!force && ++g_activityCounter != kActivityPumpThreshold) {
            return;
        }
        g_activityCounter = 0;
        (force ? forced : pumps)++;
    }
};
int ProgressLog::forced = 0;
int ProgressLog::pumps = 0;

class ProgressTest : public testing::Test {
  protected:
    void SetUp() override {
        ProgressLog::forced = ProgressLog::pumps = 0;
        g_activityCounter = 0;
        RegisterProgressTick(&ProgressLog::Tick);
    }
    void TearDown() override { RegisterProgressTick(nullptr); }
};

Bytes Pattern(size_t size, uint32_t seed) {
    Bytes out(size);
    std::mt19937 rng(seed);
    for (auto& b : out) {
        b = static_cast<uint8_t>(rng());
    }
    return out;
}

Bytes CopyDelta(int32_t length) {
    uint32_t v = static_cast<uint32_t>(length);
    return B({0xA7, DeltaCopy, 0xFE, static_cast<int>(v >> 24), static_cast<int>((v >> 16) & 0xFF),
              static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF)});
}

TEST_F(ProgressTest, CopiesRunInTwentyMebibyteBlocksWithPointBBeforeEach) {
    struct {
        int32_t length;
        int blocks;
    } cases[] = {{1, 1}, {kDeltaCopyBlock, 1}, {kDeltaCopyBlock + 1, 2}, {2 * kDeltaCopyBlock, 2}, {0, 0}};
    Bytes source = Pattern(2 * kDeltaCopyBlock + 3, 1);
    for (const auto& c : cases) {
        SetUp();
        ApplyResult r = ApplyBytes(source, CopyDelta(c.length));
        ASSERT_TRUE(r.ok) << c.length;
        EXPECT_EQ(ProgressLog::forced, c.blocks) << c.length;
        ASSERT_EQ(r.output.size(), static_cast<size_t>(c.length));
        EXPECT_TRUE(std::equal(r.output.begin(), r.output.end(), source.begin())) << c.length;
    }
}

TEST_F(ProgressTest, LiteralRunsPumpExactlyWhereByteByByteTickingWould) {
    // Runs longer than the pump interval and the reader's buffer; the random literals hold
    // escapes and commands of their own, and so copies that restart the count.
    Bytes delta = B({0xA7, DeltaInsert});
    Bytes literals = Pattern(DeltaReader::kBufferSize + 50000, 2);
    delta.insert(delta.end(), literals.begin(), literals.end());
    delta.insert(delta.end(), {0xA7, DeltaCopy, 0x03, 0xA7, DeltaReplace});
    delta.insert(delta.end(), literals.begin(), literals.begin() + 70000);
    Bytes source = Pattern(100000, 3);

    std::string expected;
    ApplyResult ref = ApplyReference(source, delta, &expected);
    ASSERT_TRUE(ref.ok);
    ASSERT_GE(std::count(expected.begin(), expected.end(), 'A'), 15);
    ASSERT_GE(std::count(expected.begin(), expected.end(), 'B'), 2);

    static std::string events;
    events.clear();
    RegisterProgressTick([](bool force) {
        if (!force && ++g_activityCounter != kActivityPumpThreshold) {
            return;
        }
        g_activityCounter = 0;
        events += force ? 'B' : 'A';
    });
    ApplyResult r = ApplyBytes(source, delta);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.output, ref.output);
    // The same pumps between the same copy blocks, and the same count left over at the end: every
    // pump came on the 10,000th top-level byte after the last restart.
    EXPECT_EQ(events, expected);
    EXPECT_EQ(g_activityCounter, ref.activityCount);
}

TEST_F(ProgressTest, NothingRegisteredMeansNoTicks) {
    RegisterProgressTick(nullptr);
    ApplyResult r = ApplyBytes(Pattern(50, 4), CopyDelta(50));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(ProgressLog::forced + ProgressLog::pumps, 0);
    EXPECT_EQ(g_activityCounter, 0);
}

// Output that cannot take the bytes: opened for reading only, so every write fails at once.
bool ApplyIntoUnwritableOutput(const Bytes& source, const Bytes& delta) {
    TempPath s, d, o;
    EXPECT_TRUE(WriteBytes(s.c_str(), source));
    EXPECT_TRUE(WriteBytes(d.c_str(), delta));
    EXPECT_TRUE(WriteBytes(o.c_str(), {}));
    FILE* sf = fopen(s.c_str(), "rb");
    FILE* df = fopen(d.c_str(), "rb");
    FILE* of = fopen(o.c_str(), "rb");
    bool ok = ApplyDelta(sf, df, of);
    fclose(sf);
    fclose(df);
    fclose(of);
    return ok;
}

TEST(WriteFailure, FailsTheApply) {
    EXPECT_FALSE(ApplyIntoUnwritableOutput(kAbcdef, CopyDelta(4)));
    EXPECT_FALSE(ApplyIntoUnwritableOutput(kAbcdef, B({0xA7, DeltaInsert, 'x', 'y'})));
    EXPECT_FALSE(ApplyIntoUnwritableOutput(kAbcdef, B({0xA7, DeltaReplace, 0xA7, 0xA7})));
}

#ifndef _WIN32
// A full device: buffered literals fail only when they are flushed at the end.
TEST(WriteFailure, FullDeviceFailsEvenWhenOnlyTheFinalFlushSeesIt) {
    TempPath s, d;
    ASSERT_TRUE(WriteBytes(s.c_str(), kAbcdef));
    for (const Bytes& delta : {B({0xA7, DeltaInsert, 'x'}), CopyDelta(6)}) {
        ASSERT_TRUE(WriteBytes(d.c_str(), delta));
        FILE* sf = fopen(s.c_str(), "rb");
        FILE* df = fopen(d.c_str(), "rb");
        FILE* of = fopen("/dev/full", "wb");
        ASSERT_TRUE(sf && df && of);
        EXPECT_FALSE(ApplyDelta(sf, df, of));
        fclose(sf);
        fclose(df);
        fclose(of);
    }
}

#ifndef ORVEK_SANITIZED
// The sanitizers reserve far more address space than any small limit allows.
TEST(Buffers, UnavailableMemoryFailsTheApplyInsteadOfCrashing) {
    TempPath s, d, o;
    ASSERT_TRUE(WriteBytes(s.c_str(), kAbcdef));
    ASSERT_TRUE(WriteBytes(d.c_str(), CopyDelta(2)));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Leave less free address space than the apply's buffers need.
        FILE* maps = fopen("/proc/self/statm", "r");
        unsigned long pages = 0;
        if (!maps || fscanf(maps, "%lu", &pages) != 1) {
            _exit(3);
        }
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = pages * static_cast<unsigned long>(sysconf(_SC_PAGESIZE)) + (64 << 10);
        FILE* sf = fopen(s.c_str(), "rb");
        FILE* df = fopen(d.c_str(), "rb");
        FILE* of = fopen(o.c_str(), "wb");
        if (!sf || !df || !of || setrlimit(RLIMIT_AS, &limit) != 0) {
            _exit(3);
        }
        _exit(ApplyDelta(sf, df, of) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the apply crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the apply succeeded without a buffer; 3: set-up failed";
}
#endif
#endif

// A delta that exercises every command, every length form and both escapes.
Bytes RichDelta() {
    return B({0xA7, DeltaCopy, 0x09,                                 // copy 10
              0xA7, DeltaInsert, 'n', 'e', 'w', 0xA7, 0xA7, 0xA7, 0x01,  // insert with escapes
              0xA7, DeltaSeekForward, 0xFC, 0x01,                     // skip 254
              0xA7, DeltaCopy, 0xFD, 0x00, 0x20,                      // copy 32
              0xA7, DeltaReplace, 'R', 0xA7, 0xA7, 0xA7, 0x42, 'S',   // replace with escapes
              0xA7, DeltaSeekBack, 0xFE, 0x00, 0x00, 0x00, 0x40,      // back 64
              0xA7, DeltaCopy, 0xFF, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x10,  // copy 16
              'x', 0xA7, 0xA8,                                        // dropped literals
              0xA7, DeltaSeekForward, 0xFE, 0xFF, 0xFF, 0xFF, 0xF0,   // back 16
              0xA7, DeltaCopy, 0x07});
}

TEST(MalformedDelta, CutAtEveryOffsetNeverReadsOrWritesOutOfBounds) {
    Bytes source = Pattern(400, 5);
    Bytes delta = RichDelta();
    ApplyResult whole = ApplyBytes(source, delta);
    ASSERT_TRUE(whole.ok);
    EXPECT_EQ(whole.output, ApplyReference(source, delta).output);
    for (size_t cut = 0; cut <= delta.size(); cut++) {
        Bytes part(delta.begin(), delta.begin() + static_cast<std::ptrdiff_t>(cut));
        ApplyResult r = ApplyBytes(source, part);
        ApplyResult ref = ApplyReference(source, part);
        EXPECT_EQ(r.ok, ref.ok) << "cut at " << cut;
        if (ref.ok) {
            EXPECT_EQ(r.output, ref.output) << "cut at " << cut;
        }
    }
}

// Escapes, escape pairs and commands cut by the edge of the reader's buffer, at every position.
TEST(BufferEdges, CommandsAndEscapesAcrossTheEdgeDecodeAsAnywhereElse) {
    const Bytes tails[] = {
        B({0xA7, 0xA7, 'x'}),                          // escaped escape
        B({0xA7, 0x10, 'y'}),                          // lone escape
        B({0xA7, DeltaCopy, 0xFE, 0, 0, 0, 3, 'z'}),   // command with a long length
        B({0xA7, DeltaReplace, 'r', 0xA7, 0xA7}),      // mode change
    };
    Bytes source = Pattern(64, 8);
    for (const Bytes& tail : tails) {
        for (size_t before = DeltaReader::kBufferSize - 9; before <= DeltaReader::kBufferSize + 1; before++) {
            Bytes delta = B({0xA7, DeltaInsert});
            delta.resize(before, 'a');
            delta.insert(delta.end(), tail.begin(), tail.end());
            ApplyResult r = ApplyBytes(source, delta);
            ApplyResult ref = ApplyReference(source, delta);
            ASSERT_TRUE(ref.ok);
            EXPECT_TRUE(r.ok) << before;
            EXPECT_EQ(r.output, ref.output) << before;
        }
    }
}

TEST(RandomDeltas, AgreeWithTheByteAtATimeDecoding) {
    std::mt19937 rng(7);
    Bytes source = Pattern(5000, 6);
    const uint8_t interesting[] = {0xA7, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0x00, 0x02, 0xFC, 0xFD, 0xFE, 0xFF};
    for (int round = 0; round < 200; round++) {
        Bytes delta(rng() % 300);
        for (auto& b : delta) {
            b = rng() % 3 ? interesting[rng() % sizeof(interesting)] : static_cast<uint8_t>(rng());
        }
        ApplyResult r = ApplyBytes(source, delta);
        ApplyResult ref = ApplyReference(source, delta);
        ASSERT_EQ(r.ok, ref.ok) << "round " << round;
        if (ref.ok) {
            ASSERT_EQ(r.output, ref.output) << "round " << round;
        }
    }
}

}  // namespace
