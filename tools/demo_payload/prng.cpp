#include "prng.h"

namespace demo_payload {
namespace {

inline uint64_t StreamWord(uint64_t seed, uint64_t index) {
    return Mix64(seed + (index + 1) * kGoldenGamma);
}

// Shift-based store: little-endian on every host; compilers turn it into a
// single store where the host already is little-endian.
inline void StoreLe64(uint8_t* p, uint64_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
    p[4] = static_cast<uint8_t>(v >> 32);
    p[5] = static_cast<uint8_t>(v >> 40);
    p[6] = static_cast<uint8_t>(v >> 48);
    p[7] = static_cast<uint8_t>(v >> 56);
}

}  // namespace

void FillStream(uint64_t seed, uint64_t offset, uint8_t* out, size_t size) {
    if (size == 0) return;
    uint64_t word_index = offset / 8;
    unsigned skip = static_cast<unsigned>(offset % 8);

    if (skip != 0) {
        uint64_t w = StreamWord(seed, word_index++) >> (8 * skip);
        while (skip < 8 && size > 0) {
            *out++ = static_cast<uint8_t>(w);
            w >>= 8;
            ++skip;
            --size;
        }
    }
    while (size >= 8) {
        StoreLe64(out, StreamWord(seed, word_index++));
        out += 8;
        size -= 8;
    }
    if (size > 0) {
        uint64_t w = StreamWord(seed, word_index);
        while (size > 0) {
            *out++ = static_cast<uint8_t>(w);
            w >>= 8;
            --size;
        }
    }
}

}  // namespace demo_payload
