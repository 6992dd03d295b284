#include "patch/file_stream.h"

FileStream& FileStream::operator=(FileStream&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = other.Release();
    }
    return *this;
}

FileStream FileStream::Open(const std::string& path, const char* mode) {
    FileStream stream;
    stream.file_ = std::fopen(path.c_str(), mode);
    return stream;
}

bool FileStream::Close() {
    FILE* file = Release();
    return file == nullptr || std::fclose(file) == 0;
}
