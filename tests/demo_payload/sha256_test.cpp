#include "sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using demo_payload::Sha256;

std::string HashOf(const std::string& message) {
    Sha256 sha;
    sha.Update(message.data(), message.size());
    return sha.FinalHex();
}

struct KnownVector {
    const char* label;
    std::string message;
    const char* digest;
};

TEST(Sha256, MatchesPublishedVectors) {
    const KnownVector vectors[] = {
        {"empty", "",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"448-bit two-block message",
         "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"896-bit message",
         "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
         "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {"one million 'a'", std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const KnownVector& v : vectors) {
        EXPECT_EQ(HashOf(v.message), v.digest) << v.label;
    }
}

// Messages whose padding falls on either side of a block boundary, fed in
// chunks of awkward sizes, must hash exactly like the one-shot call.
TEST(Sha256, ChunkedUpdatesEqualOneShot) {
    const size_t lengths[] = {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000, 100003};
    const size_t chunk_sizes[] = {1, 3, 7, 63, 64, 65, 4097};
    for (size_t length : lengths) {
        std::vector<uint8_t> message(length);
        for (size_t i = 0; i < length; ++i) {
            message[i] = static_cast<uint8_t>((i * 131 + length) ^ (i >> 5));
        }
        Sha256 whole;
        whole.Update(message.data(), message.size());
        const std::string expected = whole.FinalHex();
        for (size_t chunk : chunk_sizes) {
            Sha256 sha;
            for (size_t at = 0; at < length; at += chunk) {
                sha.Update(message.data() + at, std::min(chunk, length - at));
            }
            EXPECT_EQ(sha.FinalHex(), expected) << "length " << length << ", chunk " << chunk;
        }
    }
}

TEST(Sha256, FinalStartsANewMessage) {
    Sha256 sha;
    sha.Update("garbage", 7);
    sha.FinalHex();
    sha.Update("abc", 3);
    EXPECT_EQ(sha.FinalHex(), HashOf("abc"));
}

TEST(Sha256, RawDigestMatchesHex) {
    Sha256 sha;
    sha.Update("abc", 3);
    uint8_t digest[Sha256::kDigestSize];
    sha.Final(digest);
    EXPECT_EQ(demo_payload::ToHex(digest, sizeof(digest)), HashOf("abc"));
}

}  // namespace
