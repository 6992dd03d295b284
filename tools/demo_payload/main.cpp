// make-demo-payload: makes the demo's data bundles and the patch payload.
//
// There is no real demo bundle, so the project makes its own: an old
// quick.bundle of exactly 1,327,174,142 bytes (a table of contents and
// pseudo-random assets), the delta that turns it into the new bundle the way
// a content patch would, and the new bundle itself or just its checksum.
// The new bundle's bytes and checksum come from the generator's own model,
// not from applying the delta, so they cross-check any applier.
//
//   make-demo-payload old-bundle PATH   write the old bundle
//   make-demo-payload delta PATH        write the payload delta
//   make-demo-payload new-bundle PATH   write the new bundle
//   make-demo-payload new-sha256        print the new bundle's SHA-256 (hex)
//   make-demo-payload --help
//
// Every output is the same on every run and machine. Exit status: 0 on
// success, 2 on a usage or file error (one line on stderr), 1 if the model
// itself cannot be built.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bundle_model.h"
#include "delta_encoder.h"
#include "sha256.h"

namespace {

using demo_payload::ByteSink;

constexpr const char kProgram[] = "make-demo-payload";
constexpr int kExitInternal = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: make-demo-payload COMMAND [PATH]\n"
    "\n"
    "Writes the demo bundles and the patch payload, identically on every run.\n"
    "\n"
    "commands:\n"
    "  old-bundle PATH   write the old bundle (1,327,174,142 bytes)\n"
    "  delta PATH        write the payload delta that turns it into the new one\n"
    "  new-bundle PATH   write the new bundle\n"
    "  new-sha256        print the new bundle's SHA-256 in lowercase hex\n"
    "  --help            show this text\n"
    "\n"
    "exit status: 0 on success, 2 on a usage or file error.\n";

int UsageError(const char* what, const char* arg) {
    if (arg != nullptr) {
        std::fprintf(stderr, "%s: %s '%s' (try --help)\n", kProgram, what, arg);
    } else {
        std::fprintf(stderr, "%s: %s (try --help)\n", kProgram, what);
    }
    return kExitUsage;
}

int FileError(const char* action, const char* path, int error) {
    std::fprintf(stderr, "%s: cannot %s %s: %s\n", kProgram, action, path,
                 error != 0 ? std::strerror(error) : "unknown error");
    return kExitUsage;
}

// Writes a stream of blocks to a file, remembering the first error. Both
// fwrite and fclose are checked: a full disk may only show at the final
// flush.
class FileSink : public ByteSink {
public:
    explicit FileSink(const char* path) : path_(path) {}
    ~FileSink() override {
        if (file_ != nullptr) std::fclose(file_);
    }

    bool Open() {
        errno = 0;
        file_ = std::fopen(path_, "wb");
        if (file_ == nullptr) error_ = errno != 0 ? errno : EIO;
        return file_ != nullptr;
    }

    bool Put(const uint8_t* data, size_t size) override {
        if (error_ != 0) return false;
        errno = 0;
        if (std::fwrite(data, 1, size, file_) != size) {
            error_ = errno != 0 ? errno : EIO;
            return false;
        }
        return true;
    }

    bool Close() {
        errno = 0;
        const int rc = std::fclose(file_);
        file_ = nullptr;
        if (rc != 0 && error_ == 0) error_ = errno != 0 ? errno : EIO;
        return error_ == 0;
    }

    bool failed() const { return error_ != 0; }
    int error() const { return error_; }

private:
    const char* path_;
    std::FILE* file_ = nullptr;
    int error_ = 0;
};

class Sha256Sink : public ByteSink {
public:
    bool Put(const uint8_t* data, size_t size) override {
        sha_.Update(data, size);
        return true;
    }
    std::string Hex() { return sha_.FinalHex(); }

private:
    demo_payload::Sha256 sha_;
};

enum class Output { kOldBundle, kNewBundle, kDelta };

int WriteOutput(Output what, const char* path) {
    const demo_payload::OldBundle old_bundle = demo_payload::BuildOldBundle();
    demo_payload::NewBundle new_bundle;
    std::vector<uint8_t> delta;
    if (what != Output::kOldBundle) {
        new_bundle = demo_payload::BuildNewBundle(old_bundle);
    }
    // Encode before creating the file so a model error leaves no file.
    if (what == Output::kDelta &&
        !demo_payload::EncodeDelta(old_bundle, new_bundle, &delta)) {
        std::fprintf(stderr, "%s: the patch cannot be encoded as a delta\n", kProgram);
        return kExitInternal;
    }

    FileSink sink(path);
    if (!sink.Open()) return FileError("create", path, sink.error());
    bool produced = true;
    switch (what) {
        case Output::kOldBundle:
            produced = demo_payload::StreamOld(old_bundle, sink);
            break;
        case Output::kNewBundle:
            produced = demo_payload::StreamNew(old_bundle, new_bundle, sink);
            break;
        case Output::kDelta:
            produced = sink.Put(delta.data(), delta.size());
            break;
    }
    const bool closed = sink.Close();
    if (sink.failed() || !closed) return FileError("write", path, sink.error());
    if (!produced) {
        std::fprintf(stderr, "%s: the bundle model is inconsistent\n", kProgram);
        return kExitInternal;
    }
    return 0;
}

// Standard output is a file like any other: a failed write must not pass.
int FinishStdout() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return FileError("write", "standard output", errno);
    }
    return 0;
}

int PrintNewSha256() {
    const demo_payload::OldBundle old_bundle = demo_payload::BuildOldBundle();
    const demo_payload::NewBundle new_bundle = demo_payload::BuildNewBundle(old_bundle);
    Sha256Sink sink;
    if (!demo_payload::StreamNew(old_bundle, new_bundle, sink)) {
        std::fprintf(stderr, "%s: the bundle model is inconsistent\n", kProgram);
        return kExitInternal;
    }
    std::fputs(sink.Hex().c_str(), stdout);
    std::fputc('\n', stdout);
    return FinishStdout();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return UsageError("missing command", nullptr);
    const std::string command = argv[1];

    if (command == "--help" || command == "-h") {
        if (argc != 2) return UsageError("--help takes no argument", nullptr);
        std::fputs(kUsage, stdout);
        return FinishStdout();
    }
    if (command == "new-sha256") {
        if (argc != 2) return UsageError("new-sha256 takes no argument", nullptr);
        return PrintNewSha256();
    }

    Output what;
    if (command == "old-bundle") {
        what = Output::kOldBundle;
    } else if (command == "new-bundle") {
        what = Output::kNewBundle;
    } else if (command == "delta") {
        what = Output::kDelta;
    } else {
        return UsageError("unknown command", argv[1]);
    }
    if (argc != 3) return UsageError("expected exactly one PATH after", argv[1]);
    if (argv[2][0] == '\0') return UsageError("empty PATH after", argv[1]);
    return WriteOutput(what, argv[2]);
}
