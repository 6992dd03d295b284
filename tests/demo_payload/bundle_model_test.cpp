#include "bundle_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "prng.h"
#include "test_support.h"

namespace {

using demo_payload::BuildNewBundle;
using demo_payload::BuildOldBundle;
using demo_payload::FillOld;
using demo_payload::NewBundle;
using demo_payload::OldBundle;
using demo_payload::Segment;
using demo_payload::SegmentKind;
using demo_payload_test::ParseToc;
using demo_payload_test::Toc;

TEST(PseudoRandomStream, AnyRangeMatchesTheSameBytesOfTheWholeStream) {
    const uint64_t seed = demo_payload::StreamSeed(7, 11);
    std::vector<uint8_t> whole(4096);
    demo_payload::FillStream(seed, 0, whole.data(), whole.size());
    struct Range {
        uint64_t offset;
        size_t size;
    };
    const Range ranges[] = {{0, 1},    {1, 7},  {3, 8},     {7, 9},    {8, 8},
                            {13, 100}, {5, 0},  {4000, 96}, {4095, 1}, {1, 4095}};
    for (const Range& r : ranges) {
        std::vector<uint8_t> part(r.size + 1, 0xEE);
        demo_payload::FillStream(seed, r.offset, part.data(), r.size);
        EXPECT_TRUE(std::equal(part.begin(), part.begin() + r.size, whole.begin() + r.offset))
            << "offset " << r.offset << ", size " << r.size;
        EXPECT_EQ(part[r.size], 0xEE) << "wrote past the range at offset " << r.offset;
    }
}

TEST(PseudoRandomStream, DifferentSeedsGiveDifferentBytes) {
    uint8_t a[64], b[64];
    demo_payload::FillStream(demo_payload::StreamSeed(1, 0), 0, a, sizeof(a));
    demo_payload::FillStream(demo_payload::StreamSeed(1, 1), 0, b, sizeof(b));
    EXPECT_NE(std::memcmp(a, b, sizeof(a)), 0);
}

TEST(OldBundleModel, TableCoversExactlyTheExpectedSize) {
    const OldBundle old = BuildOldBundle();
    EXPECT_EQ(old.size, 1327174142u);

    Toc toc;
    std::string error;
    ASSERT_TRUE(ParseToc(old.toc, old.size, &toc, &error)) << error;
    EXPECT_EQ(toc.version, demo_payload::kOldBundleVersion);
    EXPECT_EQ(toc.table_size, old.toc.size());
    ASSERT_EQ(toc.entries.size(), old.assets.size());

    std::set<std::string> names;
    for (size_t i = 0; i < toc.entries.size(); ++i) {
        const auto& entry = toc.entries[i];
        EXPECT_EQ(entry.name, old.assets[i].name);
        EXPECT_EQ(entry.offset, old.assets[i].offset);
        EXPECT_EQ(entry.size, old.assets[i].size);
        EXPECT_GE(entry.size, 4u * 1024) << entry.name;
        EXPECT_LE(entry.size, 8u * 1024 * 1024) << entry.name;
        EXPECT_TRUE(names.insert(entry.name).second) << "duplicate " << entry.name;
    }
}

TEST(OldBundleModel, SameLayoutOnEveryBuild) {
    const OldBundle a = BuildOldBundle();
    const OldBundle b = BuildOldBundle();
    EXPECT_EQ(a.toc, b.toc);
}

TEST(OldBundleModel, BytesDependOnlyOnTheOffset) {
    const OldBundle old = BuildOldBundle();
    // From inside the table across the first three assets.
    const uint64_t start = old.toc.size() - 100;
    const size_t length = static_cast<size_t>(
        100 + old.assets[0].size + old.assets[1].size + old.assets[2].size / 2);
    std::vector<uint8_t> whole(length);
    ASSERT_TRUE(FillOld(old, start, whole.data(), length));
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + 100, old.toc.end() - 100));

    const size_t pieces[] = {1, 17, 4093, 65536, 7, 1000003};
    std::vector<uint8_t> pieced(length);
    size_t at = 0;
    for (size_t k = 0; at < length; ++k) {
        const size_t n = std::min(pieces[k % 6], length - at);
        ASSERT_TRUE(FillOld(old, start + at, pieced.data() + at, n));
        at += n;
    }
    EXPECT_TRUE(whole == pieced);
}

TEST(OldBundleModel, RefusesRangesOutsideTheBundle) {
    const OldBundle old = BuildOldBundle();
    struct Case {
        uint64_t offset;
        size_t size;
        bool ok;
    };
    const Case cases[] = {
        {0, 16, true},
        {old.size - 2, 2, true},
        {old.size, 0, true},
        {old.size - 1, 2, false},
        {old.size, 1, false},
        {UINT64_MAX, 1, false},
    };
    uint8_t buffer[16];
    for (const Case& c : cases) {
        EXPECT_EQ(FillOld(old, c.offset, buffer, c.size), c.ok)
            << "offset " << c.offset << ", size " << c.size;
    }
}

// The payload must not shrink by compression; every byte value should turn
// up about equally often in an asset.
TEST(OldBundleModel, AssetBytesAreEvenlySpread) {
    const OldBundle old = BuildOldBundle();
    const auto largest = std::max_element(
        old.assets.begin(), old.assets.end(),
        [](const demo_payload::Asset& a, const demo_payload::Asset& b) { return a.size < b.size; });
    const size_t sample = 1 << 20;
    ASSERT_GE(largest->size, sample);
    std::vector<uint8_t> bytes(sample);
    ASSERT_TRUE(FillOld(old, largest->offset + 12345, bytes.data(), bytes.size()));
    size_t counts[256] = {};
    for (uint8_t b : bytes) ++counts[b];
    const size_t mean = sample / 256;
    for (int v = 0; v < 256; ++v) {
        EXPECT_GT(counts[v], mean * 9 / 10) << "byte " << v;
        EXPECT_LT(counts[v], mean * 11 / 10) << "byte " << v;
    }
}

// Splits the new bundle's segments by asset, checking they line up with
// the new table.
bool SegmentsByAsset(const NewBundle& bundle, const Toc& toc,
                     std::vector<std::vector<const Segment*>>* by_asset) {
    by_asset->assign(toc.entries.size(), {});
    size_t s = 1;  // segment 0 is the table
    for (size_t i = 0; i < toc.entries.size(); ++i) {
        uint64_t covered = 0;
        while (covered < toc.entries[i].size && s < bundle.segments.size()) {
            covered += bundle.segments[s].length;
            (*by_asset)[i].push_back(&bundle.segments[s++]);
        }
        if (covered != toc.entries[i].size) return false;
    }
    return s == bundle.segments.size();
}

TEST(NewBundleModel, TableAndSegmentsDescribeTheSameFile) {
    const OldBundle old = BuildOldBundle();
    const NewBundle bundle = BuildNewBundle(old);

    ASSERT_FALSE(bundle.segments.empty());
    const Segment& first = bundle.segments[0];
    ASSERT_EQ(first.kind, SegmentKind::kBytes);
    const std::vector<uint8_t>& table = bundle.blobs[first.blob];
    EXPECT_EQ(first.length, table.size());

    Toc toc;
    std::string error;
    ASSERT_TRUE(ParseToc(table, bundle.size, &toc, &error)) << error;
    EXPECT_EQ(toc.version, demo_payload::kNewBundleVersion);
    ASSERT_EQ(toc.entries.size(), bundle.assets.size());

    uint64_t total = 0;
    for (const Segment& s : bundle.segments) total += s.length;
    EXPECT_EQ(total, bundle.size);
    EXPECT_LT(bundle.size, uint64_t{1} << 31);

    std::vector<std::vector<const Segment*>> by_asset;
    EXPECT_TRUE(SegmentsByAsset(bundle, toc, &by_asset));
}

// The patch reshapes the bundle in every way a content update does.
TEST(NewBundleModel, CarriesEveryKindOfContentChange) {
    const OldBundle old = BuildOldBundle();
    const NewBundle bundle = BuildNewBundle(old);
    Toc toc;
    std::string error;
    ASSERT_TRUE(ParseToc(bundle.blobs[bundle.segments[0].blob], bundle.size, &toc, &error));
    std::vector<std::vector<const Segment*>> by_asset;
    ASSERT_TRUE(SegmentsByAsset(bundle, toc, &by_asset));

    std::map<std::string, size_t> old_index;
    for (size_t i = 0; i < old.assets.size(); ++i) old_index[old.assets[i].name] = i;

    size_t added = 0, grown = 0, shrunk = 0, changed_in_place = 0, out_of_order = 0;
    std::set<std::string> kept;
    size_t previous_old_index = 0;
    for (size_t i = 0; i < toc.entries.size(); ++i) {
        const auto& entry = toc.entries[i];
        auto found = old_index.find(entry.name);
        if (found == old_index.end()) {
            ++added;
            continue;
        }
        kept.insert(entry.name);
        const uint64_t old_size = old.assets[found->second].size;
        if (entry.size > old_size) ++grown;
        if (entry.size < old_size) ++shrunk;
        if (entry.size == old_size) {
            for (const Segment* s : by_asset[i]) {
                if (s->kind != SegmentKind::kOld) {
                    ++changed_in_place;
                    break;
                }
            }
        }
        if (found->second < previous_old_index) ++out_of_order;
        previous_old_index = found->second;
    }
    const size_t removed = old.assets.size() - kept.size();

    EXPECT_GE(added, 4u);
    EXPECT_GE(removed, 3u);
    EXPECT_GE(grown, 3u);
    EXPECT_GE(shrunk, 2u);
    EXPECT_GE(changed_in_place, 5u);
    EXPECT_GE(out_of_order, 1u) << "no asset was moved";
}

}  // namespace
