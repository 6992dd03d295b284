#include "sha256.h"

#include <cstring>

namespace demo_payload {
namespace {

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1,
    0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3,
    0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786,
    0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
    0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13,
    0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a,
    0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
    0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372,
                                       0xa54ff53a, 0x510e527f, 0x9b05688c,
                                       0x1f83d9ab, 0x5be0cd19};

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t LoadBe32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) |
           (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline void StoreBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

}  // namespace

Sha256::Sha256() { Reset(); }

void Sha256::Reset() {
    std::memcpy(state_, kInitialState, sizeof(state_));
    total_bytes_ = 0;
    buffered_ = 0;
}

// The rounds are unrolled by macro with the eight working variables renamed
// instead of shifted; this keeps the hot loop at a few hundred MB/s without
// any platform intrinsics.
#define SHA_S0(x) (Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22))
#define SHA_S1(x) (Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25))
#define SHA_G0(x) (Rotr(x, 7) ^ Rotr(x, 18) ^ ((x) >> 3))
#define SHA_G1(x) (Rotr(x, 17) ^ Rotr(x, 19) ^ ((x) >> 10))
#define SHA_CH(x, y, z) (((x) & ((y) ^ (z))) ^ (z))
#define SHA_MAJ(x, y, z) (((x) & (y)) | ((z) & ((x) | (y))))
#define SHA_ROUND(a, b, c, d, e, f, g, h, i)                               \
    do {                                                                   \
        uint32_t t1 = h + SHA_S1(e) + SHA_CH(e, f, g) + kRoundConstants[i] + \
                      w[(i) & 15];                                         \
        uint32_t t2 = SHA_S0(a) + SHA_MAJ(a, b, c);                        \
        d += t1;                                                           \
        h = t1 + t2;                                                       \
    } while (0)
#define SHA_EXPAND(i)                                                    \
    (w[(i) & 15] += SHA_G1(w[((i) - 2) & 15]) + w[((i) - 7) & 15] +      \
                    SHA_G0(w[((i) - 15) & 15]))

void Sha256::Compress(const uint8_t* block) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBe32(block + 4 * i);

    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];

    for (int i = 0; i < 64; i += 8) {
        if (i >= 16) {
            SHA_EXPAND(i + 0); SHA_EXPAND(i + 1); SHA_EXPAND(i + 2);
            SHA_EXPAND(i + 3); SHA_EXPAND(i + 4); SHA_EXPAND(i + 5);
            SHA_EXPAND(i + 6); SHA_EXPAND(i + 7);
        }
        SHA_ROUND(a, b, c, d, e, f, g, h, i + 0);
        SHA_ROUND(h, a, b, c, d, e, f, g, i + 1);
        SHA_ROUND(g, h, a, b, c, d, e, f, i + 2);
        SHA_ROUND(f, g, h, a, b, c, d, e, i + 3);
        SHA_ROUND(e, f, g, h, a, b, c, d, i + 4);
        SHA_ROUND(d, e, f, g, h, a, b, c, i + 5);
        SHA_ROUND(c, d, e, f, g, h, a, b, i + 6);
        SHA_ROUND(b, c, d, e, f, g, h, a, i + 7);
    }

    state_[0] += a; state_[1] += b; state_[2] += c; state_[3] += d;
    state_[4] += e; state_[5] += f; state_[6] += g; state_[7] += h;
}

#undef SHA_S0
#undef SHA_S1
#undef SHA_G0
#undef SHA_G1
#undef SHA_CH
#undef SHA_MAJ
#undef SHA_ROUND
#undef SHA_EXPAND

void Sha256::Update(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    total_bytes_ += size;
    if (buffered_ > 0) {
        size_t room = sizeof(buffer_) - buffered_;
        size_t take = size < room ? size : room;
        std::memcpy(buffer_ + buffered_, p, take);
        buffered_ += take;
        p += take;
        size -= take;
        if (buffered_ < sizeof(buffer_)) return;
        Compress(buffer_);
        buffered_ = 0;
    }
    while (size >= 64) {
        Compress(p);
        p += 64;
        size -= 64;
    }
    if (size > 0) {
        std::memcpy(buffer_, p, size);
        buffered_ = size;
    }
}

void Sha256::Final(uint8_t digest[kDigestSize]) {
    const uint64_t bit_length = total_bytes_ * 8;
    uint8_t pad[72] = {0x80};
    // Pad to 56 mod 64, leaving room for the 64-bit length.
    size_t pad_len = (buffered_ < 56) ? (56 - buffered_) : (120 - buffered_);
    uint8_t length_be[8];
    for (int i = 0; i < 8; ++i) {
        length_be[i] = static_cast<uint8_t>(bit_length >> (56 - 8 * i));
    }
    Update(pad, pad_len);
    Update(length_be, sizeof(length_be));
    for (int i = 0; i < 8; ++i) StoreBe32(digest + 4 * i, state_[i]);
    Reset();
}

std::string Sha256::FinalHex() {
    uint8_t digest[kDigestSize];
    Final(digest);
    return ToHex(digest, sizeof(digest));
}

std::string ToHex(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 15]);
    }
    return out;
}

}  // namespace demo_payload
