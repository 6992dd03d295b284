// Deletes and renames through the shell's file operation, silently and without the recycle bin.
#pragma once

#include <string>

// True when SHFileOperationA reports success.
bool ShellDeleteFile(const std::string& path);
bool ShellRenameFile(const std::string& from, const std::string& to);
