// Streaming SHA-256, plain portable C++ so the generator's checksum does not
// depend on any platform crypto library.
#ifndef DEMO_PAYLOAD_SHA256_H
#define DEMO_PAYLOAD_SHA256_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace demo_payload {

class Sha256 {
public:
    static constexpr size_t kDigestSize = 32;

    Sha256();

    // Feeds more message bytes; any chunking gives the same digest.
    void Update(const void* data, size_t size);

    // Finishes the message and writes the 32-byte digest. The object is
    // reset afterwards, ready for a new message.
    void Final(uint8_t digest[kDigestSize]);

    // Convenience: finishes and returns the digest as lowercase hex.
    std::string FinalHex();

    void Reset();

private:
    void Compress(const uint8_t* block);

    uint32_t state_[8];
    uint64_t total_bytes_;
    uint8_t buffer_[64];
    size_t buffered_;
};

// Lowercase hex of an arbitrary byte string.
std::string ToHex(const uint8_t* data, size_t size);

}  // namespace demo_payload

#endif  // DEMO_PAYLOAD_SHA256_H
