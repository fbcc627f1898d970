// The floor plan decoded as the bitmap it must be: its headers, read from the first decoded
// bytes, bound what is written, and a plan that is no bitmap or too large is refused
// before a byte is written.
#include "survey/BitmapCompressor.h"
#include "survey/BitmapExpander.h"

#include "testkit/SparseSite.h"

#include <gtest/gtest.h>

#include <cstring>

namespace walkmere {
namespace {

using testkit::bmpHeaders;
using testkit::Bytes;

// A floor-plan block whose code stream is `head` coded and then `zeroCodeBytes` bytes of
// zeros, made up as they are read: gigabytes cost nothing. Counts what is read.
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
    uint64_t bytesRead() const { return position; }

private:
    Bytes start;
    uint64_t size;
    uint64_t position = 0;
};

// Keeps what is written and how many writes there were.
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

Bytes withFileSize(Bytes headers, uint32_t fileSize, uint32_t compression = 0) {
    testkit::put32(headers, 2, fileSize);
    testkit::put32(headers, 30, compression);
    return headers;
}

// A core (12-byte) header, 1 bit a pixel, 33 x 5: rows of 8 bytes.
Bytes coreHeaders() {
    Bytes b(14 + 12 + 6);
    b[0] = 'B';
    b[1] = 'M';
    testkit::put32(b, 2, static_cast<uint32_t>(b.size() + 40));
    testkit::put32(b, 10, static_cast<uint32_t>(b.size()));
    testkit::put32(b, 14, 12);
    testkit::put16(b, 18, 33);
    testkit::put16(b, 20, 5);
    testkit::put16(b, 22, 1);
    testkit::put16(b, 24, 1);
    return b;
}

TEST(CodecBound, ABlockThatDecodesToMoreThanItsBitmapIsCutAtTheDeclaredLength) {
    struct Case {
        const char* what;
        Bytes headers;
        uint64_t pictureLength; // what the headers declare
    };
    const Case cases[] = {
        {"24 bits", bmpHeaders(40, 30, 24), 54 + 120 * 30},
        {"8 bits with colours", bmpHeaders(41, 30, 8), 1078 + 44 * 30},
        {"top-down", bmpHeaders(40, -30, 32), 54 + 160 * 30},
        {"core header", coreHeaders(), 32 + 8 * 5},
        {"RLE8 within its pixels", withFileSize(bmpHeaders(40, 30, 8), 2000, 1), 2000},
        {"RLE8 beyond its pixels", withFileSize(bmpHeaders(40, 30, 8), 90000, 1),
         1078 + 2 * 40 * 30 + 2 * 30 + 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // 200 MB of zero code: 1.6 GB decoded if nothing stopped it.
        ZeroTailSource source(c.headers, 200u << 20);
        CountingSink sink;
        const ExpandResult r = expandPlanBitmap(source, sink);
        ASSERT_EQ(r.status, ExpandStatus::Ok) << describeExpandResult(r);
        EXPECT_TRUE(r.cut);
        EXPECT_FALSE(r.truncated);
        ASSERT_EQ(sink.bytes.size(), c.pictureLength + kPaddingBytes);
        EXPECT_EQ(r.bytesWritten, sink.bytes.size());
        EXPECT_TRUE(std::equal(c.headers.begin(), c.headers.end(), sink.bytes.begin()));
        // The code stream is read no further than the piece that reached the length.
        EXPECT_LT(source.bytesRead(), 64u << 10);
    }
}

TEST(CodecBound, APlanThatEndsWithinItsLengthIsWrittenWhole) {
    const Bytes plan = testkit::makeBmp(37, 23, 5);
    std::vector<uint8_t> block;
    VectorSink coded(block);
    ASSERT_EQ(compressFloorPlan(plan, coded).status, CompressStatus::Ok);
    MemorySource source(block);
    CountingSink sink;
    const ExpandResult r = expandPlanBitmap(source, sink);
    ASSERT_EQ(r.status, ExpandStatus::Ok);
    EXPECT_FALSE(r.cut);
    ASSERT_GE(sink.bytes.size(), plan.size());
    EXPECT_LE(sink.bytes.size(), plan.size() + kPaddingBytes);
    EXPECT_TRUE(std::equal(plan.begin(), plan.end(), sink.bytes.begin()));

    // Fewer bytes than the headers need are passed on as they are, for the loader to judge.
    ZeroTailSource tiny(Bytes{'B', 'M', 1, 2}, 0);
    CountingSink few;
    EXPECT_EQ(expandPlanBitmap(tiny, few).status, ExpandStatus::Ok);
    ASSERT_GE(few.bytes.size(), 4u); // then the zeros of the last code byte's padding
    EXPECT_LE(few.bytes.size(), 4 + kPaddingBytes);
    EXPECT_EQ(few.bytes[3], 2);
}

// Refused as soon as the headers are there: no byte written, and no more code read than
// the piece that held them.
TEST(CodecBound, NoBitmapOrOneAboveThePixelLimitIsRefusedBeforeAnythingIsWritten) {
    Bytes wide = bmpHeaders(10001, 10000, 8);
    Bytes farPixels = bmpHeaders(100, 100, 24);
    testkit::put32(farPixels, 10, 0xF0000000u); // the pixels 4 GB on
    struct Case {
        const char* what;
        Bytes head;
        ExpandStatus status;
        std::string problem;
    };
    const Case cases[] = {
        {"zeros", Bytes{}, ExpandStatus::NotABitmap, "not a bitmap file"},
        {"not BM", Bytes{'P', 'K', 3, 4}, ExpandStatus::NotABitmap, "not a bitmap file"},
        {"JPEG inside", withFileSize(bmpHeaders(40, 30, 24), 4000, 4), ExpandStatus::NotABitmap,
         "unsupported bitmap compression"},
        {"10001 x 10000", wide, ExpandStatus::TooLarge,
         "10001 x 10000 pixels, more than the limit of 100000000 pixels"},
        {"20000 x -10000 at 1 bit", bmpHeaders(20000, -10000, 1), ExpandStatus::TooLarge,
         "20000 x 10000 pixels, more than the limit of 100000000 pixels"},
        {"pixels 4 GB on", farPixels, ExpandStatus::TooLarge,
         "its headers announce 4026561840 bytes, more than a picture within the limit of "
         "100000000 pixels takes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZeroTailSource source(c.head, 200u << 20);
        CountingSink sink;
        const ExpandResult r = expandPlanBitmap(source, sink);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.problem, c.problem);
        EXPECT_EQ(sink.writes, 0);
        EXPECT_EQ(r.bytesWritten, 0u);
        EXPECT_LT(source.bytesRead(), 64u << 10);
    }
    ZeroTailSource tooWide(wide, 100);
    CountingSink ignored;
    EXPECT_EQ(describeExpandResult(expandPlanBitmap(tooWide, ignored)),
              "The floor plan is too large: 10001 x 10000 pixels, more than the limit of "
              "100000000 pixels.");

    // The largest plan taken: 10,000 x 10,000.
    ZeroTailSource largest(bmpHeaders(10000, 10000, 8), 1000);
    EXPECT_EQ(expandPlanBitmap(largest, ignored).status, ExpandStatus::Ok);
}

} // namespace
} // namespace walkmere
