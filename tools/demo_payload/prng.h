// Deterministic pseudo-random numbers for the demo payload. Everything here is
// defined bit for bit (no library distributions), so the generated bundles
// are the same on every compiler and machine.
#ifndef DEMO_PAYLOAD_PRNG_H
#define DEMO_PAYLOAD_PRNG_H

#include <cstddef>
#include <cstdint>

namespace demo_payload {

constexpr uint64_t kGoldenGamma = 0x9e3779b97f4a7c15ull;

// The splitmix64 finaliser: a bijective 64-bit mix.
inline uint64_t Mix64(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// Sequential generator for layout decisions (asset sizes, edit positions).
class SplitMix64 {
public:
    explicit SplitMix64(uint64_t seed) : state_(seed) {}

    uint64_t Next() { return Mix64(state_ += kGoldenGamma); }

    // Uniform in [lo, hi]. The modulo bias is irrelevant here, and the
    // result is exactly reproducible, which is what matters.
    uint64_t Range(uint64_t lo, uint64_t hi) {
        return lo + Next() % (hi - lo + 1);
    }

private:
    uint64_t state_;
};

// Seed of an independent byte stream, derived from a domain tag and an index
// so that old assets, inserted bytes and replaced bytes never share data.
inline uint64_t StreamSeed(uint64_t domain, uint64_t index) {
    return Mix64(Mix64(domain) ^ (index * kGoldenGamma + 0x5851f42d4c957f2dull));
}

// Bytes [offset, offset + size) of the stream with the given seed. Word i of
// a stream is Mix64(seed + (i + 1) * gamma), stored little-endian, so any
// range can be produced without generating what precedes it.
void FillStream(uint64_t seed, uint64_t offset, uint8_t* out, size_t size);

}  // namespace demo_payload

#endif  // DEMO_PAYLOAD_PRNG_H
