#include "platform/ByteOrder.h"
#include "platform/Wav.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace walkmere;

namespace {

void put32(std::vector<uint8_t>& v, uint32_t x) {
    v.resize(v.size() + 4);
    writeLe32(v.data() + v.size() - 4, x);
}
void put16(std::vector<uint8_t>& v, uint16_t x) {
    v.resize(v.size() + 2);
    writeLe16(v.data() + v.size() - 2, x);
}
void tag(std::vector<uint8_t>& v, const char* t) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(t[i]));
}

// A WAV file with an optional extra chunk before "fmt " and a data chunk that may
// claim more bytes than it has.
std::vector<uint8_t> wav(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits,
                         const std::vector<uint8_t>& body, bool extraChunk = false,
                         uint32_t claimedData = 0) {
    std::vector<uint8_t> v;
    v.reserve(64 + body.size());
    tag(v, "RIFF");
    put32(v, 0);
    tag(v, "WAVE");
    if (extraChunk) {
        tag(v, "LIST");
        put32(v, 3); // odd size: padded to an even boundary
        v.insert(v.end(), {1, 2, 3, 0});
    }
    tag(v, "fmt ");
    put32(v, 16);
    put16(v, format);
    put16(v, channels);
    put32(v, rate);
    put32(v, rate * channels * bits / 8);
    put16(v, static_cast<uint16_t>(channels * bits / 8));
    put16(v, bits);
    tag(v, "data");
    put32(v, claimedData ? claimedData : static_cast<uint32_t>(body.size()));
    v.insert(v.end(), body.begin(), body.end());
    return v;
}

} // namespace

TEST(Wav, Reads16BitSamplesAfterAnOddSizedChunk) {
    auto file = wav(1, 1, 22050, 16, {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x80}, true);
    auto s = parseWav(file.data(), file.size());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->rate, 22050u);
    EXPECT_EQ(s->channels, 1u);
    EXPECT_EQ(s->samples, (std::vector<int16_t>{1, -1, -32768}));
}

TEST(Wav, Widens8BitUnsignedSamples) {
    auto file = wav(1, 2, 8000, 8, {128, 255, 0, 128});
    auto s = parseWav(file.data(), file.size());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->channels, 2u);
    EXPECT_EQ(s->samples, (std::vector<int16_t>{0, 127 << 8, -128 << 8, 0}));
}

TEST(Wav, CutFileKeepsWholeFramesOnly) {
    auto file = wav(1, 1, 22050, 16, {1, 0, 2, 0, 3}, false, 1000);
    auto s = parseWav(file.data(), file.size());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->samples, (std::vector<int16_t>{1, 2}));
}

TEST(Wav, RefusesWhatItCannotPlay) {
    std::string why;
    auto notRiff = std::vector<uint8_t>(40, 0);
    EXPECT_FALSE(parseWav(notRiff.data(), notRiff.size(), &why));
    EXPECT_EQ(why, "not a RIFF/WAVE file");

    auto adpcm = wav(2, 1, 22050, 4, {0, 0});
    EXPECT_FALSE(parseWav(adpcm.data(), adpcm.size(), &why));
    EXPECT_EQ(why, "not PCM");

    auto sixChannels = wav(1, 6, 22050, 16, {0, 0});
    EXPECT_FALSE(parseWav(sixChannels.data(), sixChannels.size(), &why));

    // Every prefix of a good file is handled without reading past its end.
    auto good = wav(1, 1, 22050, 16, {1, 0, 2, 0});
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        (void)parseWav(cut.data(), cut.size());
    }
}
