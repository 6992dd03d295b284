// Model of the demo's old and new data bundles.
//
// The old bundle is a pure function of the byte offset: a table of contents
// followed by assets whose bytes come from per-asset pseudo-random streams.
// The new bundle is described as a list of segments (old ranges, fresh
// pseudo-random bytes, fixed bytes), the way a content patch would reshape
// the old one. Both the delta encoder and the new bundle's bytes are derived
// from this one description, so nothing of 1.3 GB is ever held in memory.
#ifndef DEMO_PAYLOAD_BUNDLE_MODEL_H
#define DEMO_PAYLOAD_BUNDLE_MODEL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace demo_payload {

// The one version the patch accepts is recognised by this exact size.
constexpr uint64_t kOldBundleSize = 1327174142;

constexpr uint64_t kMinAssetSize = 4 * 1024;
constexpr uint64_t kMaxAssetSize = 8 * 1024 * 1024;

// Table of contents, all integers little-endian:
//   header: magic[8], u32 format version, u32 entry count
//   entry:  name[48] (zero padded), u64 absolute offset, u64 size
// Assets follow the table back to back, in entry order.
constexpr size_t kTocHeaderSize = 16;
constexpr size_t kTocEntrySize = 64;
constexpr size_t kTocNameSize = 48;
constexpr char kBundleMagic[8] = {'O', 'R', 'V', 'K', 'B', 'N', 'D', 'L'};
constexpr uint32_t kOldBundleVersion = 1;
constexpr uint32_t kNewBundleVersion = 2;

// Block size for streaming either bundle.
constexpr size_t kStreamChunk = 8 * 1024 * 1024;

struct Asset {
    std::string name;  // shorter than kTocNameSize
    uint64_t offset;   // absolute, in its own bundle
    uint64_t size;
};

struct OldBundle {
    std::vector<Asset> assets;
    std::vector<uint8_t> toc;  // serialized table of contents
    uint64_t size;             // always kOldBundleSize
};

enum class SegmentKind {
    kOld,     // bytes [old_offset, old_offset + length) of the old bundle
    kStream,  // bytes [0, length) of the pseudo-random stream `seed`
    kBytes,   // the fixed bytes NewBundle::blobs[blob]
};

struct Segment {
    SegmentKind kind;
    uint64_t length;
    // kOld: where the bytes come from. Other kinds: with `overwrites`, the
    // old bytes these new bytes take the place of (an in-place change).
    uint64_t old_offset;
    bool overwrites;
    uint64_t seed;  // kStream
    size_t blob;    // kBytes
};

struct NewBundle {
    std::vector<Asset> assets;              // the new table's entries
    std::vector<std::vector<uint8_t>> blobs;  // fixed bytes, blob 0 is the TOC
    std::vector<Segment> segments;          // the whole file, in order
    uint64_t size;
};

// Serializes a table of contents for the given entries.
std::vector<uint8_t> SerializeToc(uint32_t version,
                                  const std::vector<Asset>& assets);

// The fixed old bundle layout. Deterministic.
OldBundle BuildOldBundle();

// The new bundle: the old one after the patch's content changes.
// Deterministic for a given old bundle.
NewBundle BuildNewBundle(const OldBundle& old_bundle);

// Bytes [offset, offset + size) of the old bundle. False when the range is
// not inside the bundle.
bool FillOld(const OldBundle& old_bundle, uint64_t offset, uint8_t* out,
             size_t size);

// Bytes [offset, offset + size) of one segment's content. False when the
// range is not inside the segment.
bool FillSegment(const OldBundle& old_bundle, const NewBundle& new_bundle,
                 const Segment& segment, uint64_t offset, uint8_t* out,
                 size_t size);

// Receives a bundle's bytes in order; returns false to stop.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool Put(const uint8_t* data, size_t size) = 0;
};

// Stream a whole bundle into a sink in blocks of kStreamChunk bytes at most.
// False when the sink refused a block.
bool StreamOld(const OldBundle& old_bundle, ByteSink& sink);
bool StreamNew(const OldBundle& old_bundle, const NewBundle& new_bundle,
               ByteSink& sink);

}  // namespace demo_payload

#endif  // DEMO_PAYLOAD_BUNDLE_MODEL_H
