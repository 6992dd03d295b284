// A move-only owner of a buffered file stream, so that every path out of a procedure closes what
// it opened. Portable: only the standard library.
#pragma once

#include <cstdio>
#include <string>

class FileStream {
  public:
    FileStream() = default;
    ~FileStream() { Close(); }
    FileStream(FileStream&& other) noexcept : file_(other.Release()) {}
    FileStream& operator=(FileStream&& other) noexcept;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // The stream is not open when fopen fails.
    static FileStream Open(const std::string& path, const char* mode);

    bool IsOpen() const { return file_ != nullptr; }
    FILE* get() const { return file_; }

    // Closes now. False when the final flush or the close itself failed: bytes may be missing
    // from the file. True when nothing was open.
    bool Close();

  private:
    FILE* Release() {
        FILE* file = file_;
        file_ = nullptr;
        return file;
    }

    FILE* file_ = nullptr;
};
