#include "patch/shell_file.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

namespace {

// SHFileOperationA takes lists of paths ended by an empty entry, so each path is copied into a
// buffer of its length plus two bytes that ends in two zero bytes.
std::vector<char> DoubleZeroTerminated(const std::string& path) {
    std::vector<char> buffer(path.size() + 2, '\0');
    std::memcpy(buffer.data(), path.data(), path.size());
    return buffer;
}

bool RunFileOperation(UINT operation, const std::string& from, const std::string* to) {
    std::vector<char> fromList = DoubleZeroTerminated(from);
    std::vector<char> toList = to != nullptr ? DoubleZeroTerminated(*to) : std::vector<char>();

    SHFILEOPSTRUCTA op = {};
    op.hwnd = nullptr;  // no UI, so no owner either
    op.wFunc = operation;
    op.pFrom = fromList.data();
    op.pTo = to != nullptr ? toList.data() : nullptr;
    // No FOF_ALLOWUNDO: deleted files must not go to the recycle bin.
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return SHFileOperationA(&op) == 0;
}

}  // namespace

bool ShellDeleteFile(const std::string& path) {
    return RunFileOperation(FO_DELETE, path, nullptr);
}

bool ShellRenameFile(const std::string& from, const std::string& to) {
    return RunFileOperation(FO_RENAME, from, &to);
}
