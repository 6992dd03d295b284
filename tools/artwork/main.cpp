// make-artwork OUTDIR: writes splash.bmp, indicator.bmp and orvek.ico into
// OUTDIR. The output is the same, byte for byte, on every run.
#include <cstdio>
#include <string>
#include <vector>

#include "artwork.h"

namespace {

bool WriteFile(const std::string& path, const artwork::Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-artwork OUTDIR\n");
    return 2;
  }
  std::vector<artwork::ArtworkFile> files;
  if (!artwork::BuildArtwork(&files)) {
    std::fprintf(stderr, "make-artwork: composing the pictures failed\n");
    return 1;
  }
  std::string dir = argv[1];
  for (const artwork::ArtworkFile& f : files) {
    std::string path = dir + "/" + f.name;
    if (!WriteFile(path, f.bytes)) {
      std::fprintf(stderr, "make-artwork: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
