#include "patch/patch_bundle.h"

#include <windows.h>
#include <shlwapi.h>

#include "delta/delta.h"
#include "patch/file_stream.h"
#include "patch/messages.h"
#include "patch/paths.h"
#include "patch/shell_file.h"

namespace {

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (IsValid()) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

bool Exists(const std::string& path) {
    return PathFileExistsA(path.c_str()) != FALSE;
}

// False when the file cannot be opened for reading. The size is taken as 64 bits, so a bundle
// that is larger by a multiple of 4 GiB does not pass for the expected one.
bool ReadFileSize(const std::string& path, uint64_t* size) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return false;
    }
    LARGE_INTEGER fileSize;
    fileSize.QuadPart = 0;
    GetFileSizeEx(file.get(), &fileSize);
    *size = static_cast<uint64_t>(fileSize.QuadPart);
    return true;
}

struct Payload {
    const void* bytes = nullptr;
    DWORD size = 0;
};

// The bytes stay in the executable's image for the life of the process; nothing is freed.
bool LoadPayload(Payload* payload) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(kPayloadResourceId), kPayloadResourceType);
    if (info == nullptr) {
        return false;
    }
    const DWORD size = SizeofResource(module, info);
    if (size == 0) {
        return false;
    }
    HGLOBAL loaded = LoadResource(module, info);
    if (loaded == nullptr) {
        return false;
    }
    const void* bytes = LockResource(loaded);
    if (bytes == nullptr) {
        return false;
    }
    payload->bytes = bytes;
    payload->size = size;
    return true;
}

enum class DeltaFileResult { kWritten, kNotCreated, kIncomplete };

DeltaFileResult WriteDeltaFile(const std::string& path, const Payload& payload) {
    FileStream file = FileStream::Open(path, "wb");
    if (!file.IsOpen()) {
        return DeltaFileResult::kNotCreated;
    }
    const bool written = std::fwrite(payload.bytes, payload.size, 1, file.get()) == 1;
    // The tail of the payload may only reach the disk at the close; a delta file cut short there
    // is as incomplete as one cut short by the write.
    const bool closed = file.Close();
    return written && closed ? DeltaFileResult::kWritten : DeltaFileResult::kIncomplete;
}

// Puts the old bundle back after a failed rebuild. The rename does not replace an existing file,
// and the failed run may have left a new, possibly empty, bundle at the bundle path: that file
// goes first. Nothing is deleted unless the backup is really there, so the old bundle is never
// lost.
void RestoreBackup(const BundlePaths& paths) {
    if (!Exists(paths.backup)) {
        return;
    }
    if (Exists(paths.bundle)) {
        ShellDeleteFile(paths.bundle);
    }
    ShellRenameFile(paths.backup, paths.bundle);
}

bool Refuse(const char* text) {
    ShowMessage(text, MB_OK | MB_ICONERROR);
    return false;
}

}  // namespace

bool PatchBundle(const std::string& installText) {
    const BundlePaths paths = MakeBundlePaths(installText);

    if (!Exists(paths.directory) || !Exists(paths.bundle)) {
        return Refuse(kNotInstalledText);
    }
    uint64_t size = 0;
    if (!ReadFileSize(paths.bundle, &size)) {
        return Refuse(kNotInstalledText);
    }
    if (size != kExpectedBundleSize) {
        return Refuse(kWrongVersionText);
    }

    Payload payload;
    if (!LoadPayload(&payload)) {
        return Refuse(kCannotInstallText);
    }
    // An incomplete delta file stays on disk; the next run overwrites it.
    if (WriteDeltaFile(paths.delta, payload) != DeltaFileResult::kWritten) {
        return Refuse(kCannotInstallText);
    }

    if (!ShellRenameFile(paths.bundle, paths.backup)) {
        ShellDeleteFile(paths.delta);
        return Refuse(kCannotInstallText);
    }

    // All three are opened whatever became of the one before; "wb" creates the new, empty bundle.
    FileStream source = FileStream::Open(paths.backup, "rb");
    FileStream output = FileStream::Open(paths.bundle, "wb");
    FileStream delta = FileStream::Open(paths.delta, "rb");

    if (source.IsOpen() && output.IsOpen() && delta.IsOpen()) {
        bool ok = ApplyDelta(source.get(), delta.get(), output.get());
        source.Close();
        // A new bundle whose last bytes did not reach the disk at the close is a broken bundle.
        if (!output.Close()) {
            ok = false;
        }
        delta.Close();
        ShellDeleteFile(paths.delta);
        if (ok) {
            ShellDeleteFile(paths.backup);
        } else {
            RestoreBackup(paths);
        }
        // The run sequence reports the outcome of the apply.
        return ok;
    }

    source.Close();
    output.Close();
    delta.Close();
    ShellDeleteFile(paths.delta);
    RestoreBackup(paths);
    return Refuse(kCannotInstallText);
}
