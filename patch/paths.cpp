#include "patch/paths.h"

std::string NormalizeInstallPath(const std::string& text) {
    std::string result;
    result.reserve(text.size() + 1);
    bool previousWasSeparator = true;  // so that leading separators are dropped too
    for (const char original : text) {
        const unsigned char byte = static_cast<unsigned char>(original);
        char c = original;
        if (byte == '/') {
            c = '\\';
        } else if (byte >= 'A' && byte <= 'Z') {
            c = static_cast<char>(byte + ('a' - 'A'));
        }
        if (!(previousWasSeparator && c == '\\')) {
            result.push_back(c);
        }
        previousWasSeparator = (c == '\\');
    }
    if (!result.empty() && !previousWasSeparator) {
        result.push_back('\\');
    }
    return result;
}

std::string JoinPath(const std::string& base, const char* suffix) {
    return base + suffix;
}

BundlePaths MakeBundlePaths(const std::string& installText) {
    BundlePaths paths;
    // "Bundles" keeps its capital although the rest of the directory is lower-cased.
    paths.directory = JoinPath(NormalizeInstallPath(installText), "Bundles");
    paths.bundle = JoinPath(paths.directory, "\\quick.bundle");
    paths.backup = JoinPath(paths.directory, "\\backup.dat");
    paths.delta = JoinPath(paths.directory, "\\diff.dat");
    return paths;
}
