// The sounds compiled into the program: WAV layout, length and the character of each sound.

#include "res/Resources.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace walkmere {
namespace {

struct Wave {
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int byteRate = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
    std::vector<int16_t> samples;

    double seconds() const { return static_cast<double>(samples.size()) / sampleRate; }
};

uint32_t le32(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t le16(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Walks the RIFF chunks; nothing is read past the end of the file.
std::optional<Wave> parseWave(const QByteArray& file) {
    if (file.size() < 12 || file.left(4) != "RIFF" || file.mid(8, 4) != "WAVE") return {};
    if (le32(file, 4) + 8 != static_cast<uint32_t>(file.size())) return {};
    Wave w;
    bool haveFormat = false, haveData = false;
    qsizetype at = 12;
    while (at + 8 <= file.size()) {
        const QByteArray id = file.mid(at, 4);
        const uint32_t size = le32(file, at + 4);
        const qsizetype body = at + 8;
        if (size > static_cast<uint64_t>(file.size() - body)) return {};
        if (id == "fmt ") {
            if (size < 16) return {};
            w.format = le16(file, body);
            w.channels = le16(file, body + 2);
            w.sampleRate = static_cast<int>(le32(file, body + 4));
            w.byteRate = static_cast<int>(le32(file, body + 8));
            w.blockAlign = le16(file, body + 12);
            w.bitsPerSample = le16(file, body + 14);
            haveFormat = true;
        } else if (id == "data") {
            for (uint32_t i = 0; i + 1 < size; i += 2)
                w.samples.push_back(static_cast<int16_t>(le16(file, body + i)));
            haveData = true;
        }
        at = body + size + (size & 1);
    }
    if (!haveFormat || !haveData) return {};
    return w;
}

Wave loadSound(const char* name) {
    walkmereInitResources();
    QFile f(soundResourcePath(QString::fromLatin1(name)));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    const std::optional<Wave> w = parseWave(f.readAll());
    EXPECT_TRUE(w.has_value()) << name << " is not a readable WAV file";
    return w.value_or(Wave{});
}

int peak(const Wave& w, double from, double to) {
    int best = 0;
    const auto first = static_cast<size_t>(from * w.sampleRate);
    const auto last = std::min(w.samples.size(), static_cast<size_t>(to * w.sampleRate));
    for (size_t i = first; i < last; ++i)
        best = std::max(best, std::abs(int(w.samples[i])));
    return best;
}

int zeroCrossings(const Wave& w, double from, double to) {
    int n = 0;
    const auto first = static_cast<size_t>(from * w.sampleRate) + 1;
    const auto last = std::min(w.samples.size(), static_cast<size_t>(to * w.sampleRate));
    for (size_t i = first; i < last; ++i)
        n += (w.samples[i - 1] < 0) != (w.samples[i] < 0);
    return n;
}

TEST(SoundResources, NamesMatchWithoutRegardToCase) {
    EXPECT_EQ(soundResourcePath("ping"), QStringLiteral(":/res/sounds/PING.wav"));
    EXPECT_EQ(soundResourcePath("RedAlert"), QStringLiteral(":/res/sounds/REDALERT.wav"));
    EXPECT_EQ(soundResourcePath("CAMERA"), QStringLiteral(":/res/sounds/CAMERA.wav"));
    walkmereInitResources();
    for (const char* name : {"ping", "camera", "redalert", "Ping"})
        EXPECT_TRUE(QFile::exists(soundResourcePath(name))) << name;
    EXPECT_FALSE(QFile::exists(soundResourcePath("nosuch")));
}

TEST(SoundResources, OddNamesFindNothing) {
    EXPECT_TRUE(soundResourcePath("").isEmpty());
    EXPECT_TRUE(soundResourcePath("../bitmap141").isEmpty());
    EXPECT_TRUE(soundResourcePath("PING.wav").isEmpty());
}

TEST(SoundResources, AllAreShortQuietMonoPcm) {
    struct Expect {
        const char* name;
        double minSeconds, maxSeconds;
    };
    for (const Expect& e :
         {Expect{"CAMERA", 0.1, 0.2}, Expect{"PING", 0.2, 0.3}, Expect{"REDALERT", 1.0, 1.4}}) {
        SCOPED_TRACE(e.name);
        const Wave w = loadSound(e.name);
        EXPECT_EQ(w.format, 1); // PCM
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.sampleRate, 22050);
        EXPECT_EQ(w.bitsPerSample, 16);
        EXPECT_EQ(w.blockAlign, 2);
        EXPECT_EQ(w.byteRate, 44100);
        ASSERT_FALSE(w.samples.empty());
        EXPECT_GE(w.seconds(), e.minSeconds);
        EXPECT_LE(w.seconds(), e.maxSeconds);
        const int loudest = peak(w, 0, w.seconds());
        EXPECT_GT(loudest, 3000);  // audible
        EXPECT_LT(loudest, 26000); // but modest, never clipping
        // Faded in and out: no click at either end.
        EXPECT_LT(std::abs(int(w.samples.front())), 200);
        EXPECT_LT(std::abs(int(w.samples.back())), 200);
    }
}

TEST(SoundResources, CameraIsTwoBursts) {
    const Wave w = loadSound("camera");
    const int first = peak(w, 0.0, 0.02);
    const int between = peak(w, 0.03, 0.045);
    const int second = peak(w, 0.045, 0.07);
    EXPECT_GT(first, 4 * between);
    EXPECT_GT(second, 4 * between);
}

TEST(SoundResources, PingIsADecayingToneNear1200Hz) {
    const Wave w = loadSound("ping");
    // A 1200 Hz tone crosses zero 2400 times a second: 120 times in 50 ms.
    const int crossings = zeroCrossings(w, 0.01, 0.06);
    EXPECT_GE(crossings, 110);
    EXPECT_LE(crossings, 130);
    EXPECT_GT(peak(w, 0.0, 0.05), 3 * peak(w, 0.15, 0.2));
}

TEST(SoundResources, RedAlertAlternatesTwoTones) {
    const Wave w = loadSound("REDALERT");
    const int high = zeroCrossings(w, 0.01, 0.14);
    const int low = zeroCrossings(w, 0.16, 0.29);
    const int highAgain = zeroCrossings(w, 0.31, 0.44);
    EXPECT_GT(high, low + 30);
    EXPECT_NEAR(high, highAgain, 4);
    EXPECT_GT(peak(w, 0.5, 0.7), 3000); // still sounding in the middle
}

} // namespace
} // namespace walkmere
