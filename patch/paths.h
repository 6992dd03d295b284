// Where the bundle and its two temporary files live, derived from the install directory text.
// Portable on purpose (no Windows headers), so the rules build and are tested natively as well.
#pragma once

#include <string>

// Slashes become backslashes, ASCII capitals become lower-case (no byte above 0x7F changes),
// leading and doubled separators are dropped, and a non-empty result ends in exactly one
// backslash.
std::string NormalizeInstallPath(const std::string& text);

// Plain concatenation: each suffix brings its own leading backslash where it needs one.
std::string JoinPath(const std::string& base, const char* suffix);

struct BundlePaths {
    std::string directory;  // <normalized install text>Bundles
    std::string bundle;     // <directory>\quick.bundle
    std::string backup;     // <directory>\backup.dat
    std::string delta;      // <directory>\diff.dat
};

BundlePaths MakeBundlePaths(const std::string& installText);
