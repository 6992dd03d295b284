// bundle-delta: rebuilds a bundle from its old version and a delta, and lists a delta's commands,
// for the people who make and check patches.

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include "delta/delta.h"
#include "delta/delta_reader.h"
#include "patch/file_stream.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: bundle-delta apply OLD DELTA NEW\n"
    "       bundle-delta dump DELTA\n"
    "       bundle-delta [COMMAND] --help\n";

const char kApplyHelp[] =
    "usage: bundle-delta apply OLD DELTA NEW\n"
    "Rebuilds NEW from the bundle OLD and the delta DELTA.\n"
    "Exit status: 0 when NEW was written in full; 1 when the apply failed (the delta does not\n"
    "fit OLD, is malformed, or NEW could not be written), NEW is then removed; 2 for usage\n"
    "errors and files that cannot be opened.\n";

const char kDumpHelp[] =
    "usage: bundle-delta dump DELTA\n"
    "Lists DELTA one command a line: its offset in the delta, its name and its decoded length.\n"
    "Runs of literals are summarised with the mode they fall in and their byte count.\n"
    "Exit status: 0 for a well-formed delta; 1 when it ends inside a command or cannot be\n"
    "read to its end; 2 for usage errors and files that cannot be opened.\n";

bool IsHelp(const char* arg) {
    return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0;
}

// Opens a stream, saying on stderr which file could not be opened and why.
bool OpenOrSay(FileStream* stream, const char* path, const char* mode, const char* role) {
    *stream = FileStream::Open(path, mode);
    if (!stream->IsOpen()) {
        fprintf(stderr, "bundle-delta: cannot open %s '%s': %s\n", role, path, strerror(errno));
    }
    return stream->IsOpen();
}

// A failed NEW is removed, but never a device or pipe that was named as NEW (/dev/full is one).
void RemoveIfRegularFile(const char* path) {
    struct stat st;
    if (stat(path, &st) == 0 && S_ISREG(st.st_mode)) {
        remove(path);
    }
}

int Apply(const char* oldPath, const char* deltaPath, const char* newPath) {
    FileStream source, delta, output;
    if (!OpenOrSay(&source, oldPath, "rb", "OLD") || !OpenOrSay(&delta, deltaPath, "rb", "DELTA") ||
        !OpenOrSay(&output, newPath, "wb", "NEW")) {
        return kExitUsage;
    }
    bool ok = ApplyDelta(source.get(), delta.get(), output.get());
    const char* reason = "the delta does not fit OLD or is malformed";
    if (!ok && ferror(output.get())) {
        reason = "NEW could not be written";
    } else if (!ok && ferror(source.get())) {
        reason = "OLD could not be read";
    } else if (!ok && ferror(delta.get())) {
        reason = "DELTA could not be read";
    }
    int savedErrno = errno;
    if (!output.Close() && ok) {
        ok = false;
        reason = "NEW could not be written";
        savedErrno = errno;
    }
    if (ok) {
        return kExitOk;
    }
    RemoveIfRegularFile(newPath);
    fprintf(stderr, "bundle-delta: apply failed: %s (%s)\n", reason,
            savedErrno ? strerror(savedErrno) : "no system error");
    return kExitFailed;
}

const char* CommandName(uint8_t code) {
    switch (code) {
    case DeltaSeekBack: return "DeltaSeekBack";
    case DeltaCopy: return "DeltaCopy";
    case DeltaSeekForward: return "DeltaSeekForward";
    case DeltaInsert: return "DeltaInsert";
    default: return "DeltaReplace";
    }
}

// A run of literals between two commands, summarised on one line.
struct LiteralRun {
    uint64_t offset = 0;
    uint64_t bytes = 0;
    uint64_t escaped = 0;  // 0xA7 0xA7 pairs
    uint64_t lone = 0;     // 0xA7 b pairs

    void Add(const DeltaToken& t, uint64_t literals) {
        if (bytes == 0 && escaped == 0 && lone == 0) {
            offset = t.offset;
        }
        bytes += literals;
    }
    void Print(const char* mode) {
        if (bytes == 0) {
            return;
        }
        printf("0x%08" PRIx64 "  literals          %" PRIu64 " bytes, %s", offset, bytes, mode);
        if (escaped || lone) {
            printf(" (%" PRIu64 " escaped escapes, %" PRIu64 " lone escapes)", escaped, lone);
        }
        printf("\n");
        *this = LiteralRun{};
    }
};

int Dump(const char* deltaPath) {
    FileStream delta;
    if (!OpenOrSay(&delta, deltaPath, "rb", "DELTA")) {
        return kExitUsage;
    }
    DeltaReader reader(delta.get());
    DeltaToken t;
    LiteralRun run;
    const char* mode = "dropped (no mode)";
    for (;;) {
        reader.Next(&t);
        switch (t.kind) {
        case DeltaTokenKind::Literals:
            run.Add(t, t.count);
            run.escaped += t.endsEscaped ? 1 : 0;
            continue;
        case DeltaTokenKind::EscapedEscape:
            run.Add(t, 1);
            run.escaped++;
            continue;
        case DeltaTokenKind::LoneEscape:
            run.Add(t, 2);
            run.lone++;
            continue;
        default:
            break;
        }
        run.Print(mode);
        switch (t.kind) {
        case DeltaTokenKind::Mode:
            printf("0x%08" PRIx64 "  %s\n", t.offset, CommandName(t.code));
            mode = t.code == DeltaInsert ? "insert" : "replace";
            break;
        case DeltaTokenKind::SourceCommand:
            printf("0x%08" PRIx64 "  %-16s  %" PRId32 "\n", t.offset, CommandName(t.code), t.length);
            mode = "dropped (no mode)";
            break;
        case DeltaTokenKind::End:
            printf("0x%08" PRIx64 "  end\n", t.offset);
            return kExitOk;
        case DeltaTokenKind::Truncated:
            printf("0x%08" PRIx64 "  malformed: the delta ends inside this command\n", t.offset);
            return kExitFailed;
        default:
            printf("0x%08" PRIx64 "  error: %s\n", t.offset, strerror(errno));
            return kExitFailed;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs(kUsage, stderr);
        return kExitUsage;
    }
    const char* command = argv[1];
    if (IsHelp(command)) {
        fputs(kUsage, stdout);
        return kExitOk;
    }
    bool isApply = strcmp(command, "apply") == 0;
    bool isDump = strcmp(command, "dump") == 0;
    if (!isApply && !isDump) {
        fprintf(stderr, "bundle-delta: unknown command '%s'\n%s", command, kUsage);
        return kExitUsage;
    }
    const char* help = isApply ? kApplyHelp : kDumpHelp;
    for (int i = 2; i < argc; i++) {
        if (IsHelp(argv[i])) {
            fputs(help, stdout);
            return kExitOk;
        }
    }
    int operands = isApply ? 3 : 1;
    if (argc - 2 != operands) {
        fprintf(stderr, "bundle-delta: %s takes %d operand%s\n%s", command, operands,
                operands == 1 ? "" : "s", help);
        return kExitUsage;
    }
    return isApply ? Apply(argv[2], argv[3], argv[4]) : Dump(argv[2]);
}
