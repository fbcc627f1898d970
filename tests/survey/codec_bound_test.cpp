// The floor plan decoded as the bitmap it must be: its headers, read from the first decoded
// bytes, bound what is written, and a plan that is no bitmap or too large is refused
// before a byte is written.
#include "survey/BitmapExpander.h"

#include "testkit/SparseSite.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

using testkit::bmpHeaders;
using testkit::Bytes;

// A floor-plan block whose code is `head` coded and then `zeroCodeBytes` bytes of zeros,
// made up as they are read, so that gigabytes cost nothing. Counts what is read.
class ZeroTailSource final : public ByteSource {
public:
    ZeroTailSource(const Bytes& head, uint64_t zeroCodeBytes)
        : start(testkit::zeroTailBlock(head, zeroCodeBytes)), size(start.size() + zeroCodeBytes) {}
    ptrdiff_t read(uint8_t* into, size_t n) override {
        n = static_cast<size_t>(std::min<uint64_t>(n, size - position));
        for (size_t i = 0; i < n; ++i, ++position)
            into[i] = position < start.size() ? start[position] : 0;
        return static_cast<ptrdiff_t>(n);
    }
    uint64_t position = 0;

private:
    Bytes start;
    uint64_t size;
};

class CountingSink final : public ByteSink {
public:
    bool write(const uint8_t* from, size_t n) override {
        ++writes;
        bytes.insert(bytes.end(), from, from + n);
        return true;
    }
    int writes = 0;
    std::vector<uint8_t> bytes;
};

Bytes runLength(Bytes headers, uint32_t fileSize) {
    testkit::put32(headers, 2, fileSize);
    testkit::put32(headers, 30, 1); // RLE8
    return headers;
}

// 200 MB of zero code after the headers: 1.6 GB decoded if nothing stopped it. Reading
// stops with the piece of code that reached the end of the picture.
TEST(CodecBound, ABlockThatDecodesToMoreThanItsBitmapIsCutAtTheDeclaredLength) {
    const std::pair<Bytes, uint64_t> cases[] = {
        {bmpHeaders(40, 30, 24), 54 + 120 * 30},
        {bmpHeaders(41, -30, 8), 1078 + 44 * 30},
        {runLength(bmpHeaders(40, 30, 8), 2000), 2000},
        // An RLE file size beyond what its pixels can take coded.
        {runLength(bmpHeaders(40, 30, 8), 90000), 1078 + 2 * 40 * 30 + 2 * 30 + 2},
    };
    for (const auto& [headers, length] : cases) {
        SCOPED_TRACE(length);
        ZeroTailSource source(headers, 200u << 20);
        CountingSink sink;
        const ExpandResult r = expandPlanBitmap(source, sink);
        ASSERT_EQ(r.status, ExpandStatus::Ok) << describeExpandResult(r);
        EXPECT_TRUE(r.cut);
        ASSERT_EQ(sink.bytes.size(), length + kPaddingBytes);
        EXPECT_TRUE(std::equal(headers.begin(), headers.end(), sink.bytes.begin()));
        EXPECT_LT(source.position, 64u << 10);
    }
}

TEST(CodecBound, NoBitmapOrOneAboveThePixelLimitIsRefusedBeforeAnythingIsWritten) {
    Bytes farPixels = bmpHeaders(100, 100, 24);
    testkit::put32(farPixels, 10, 0xF0000000u); // the pixels 4 GB on
    Bytes jpeg = bmpHeaders(40, 30, 24);
    testkit::put32(jpeg, 30, 4);
    const std::tuple<Bytes, ExpandStatus, std::string> cases[] = {
        {Bytes{}, ExpandStatus::NotABitmap, "not a bitmap file"},
        {jpeg, ExpandStatus::NotABitmap, "unsupported bitmap compression"},
        {bmpHeaders(10001, 10000, 8), ExpandStatus::TooLarge,
         "10001 x 10000 pixels, more than the limit of 100000000 pixels"},
        {farPixels, ExpandStatus::TooLarge,
         "its headers announce 4026561840 bytes, more than a picture within the limit of "
         "100000000 pixels takes"},
    };
    for (const auto& [head, status, problem] : cases) {
        SCOPED_TRACE(problem);
        ZeroTailSource source(head, 200u << 20);
        CountingSink sink;
        const ExpandResult r = expandPlanBitmap(source, sink);
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.problem, problem);
        EXPECT_EQ(sink.writes, 0);
        EXPECT_LT(source.position, 64u << 10);
    }
    // The largest plan taken: 10,000 x 10,000.
    ZeroTailSource largest(bmpHeaders(10000, 10000, 8), 1000);
    CountingSink sink;
    EXPECT_EQ(expandPlanBitmap(largest, sink).status, ExpandStatus::Ok);
}

} // namespace
} // namespace walkmere
