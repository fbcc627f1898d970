#include "platform/Wav.h"

#include <cstring>

#include "platform/ByteOrder.h"

namespace walkmere {

namespace {

std::optional<PcmSound> fail(std::string* why, const char* text) {
    if (why) *why = text;
    return std::nullopt;
}

} // namespace

std::optional<PcmSound> parseWav(const uint8_t* data, size_t size, std::string* why) {
    // RIFF header: "RIFF" <size> "WAVE", then chunks of <id:4><size:4><body, padded to even>.
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return fail(why, "not a RIFF/WAVE file");

    bool haveFormat = false;
    uint16_t format = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    const uint8_t* body = nullptr;
    size_t bodySize = 0;

    size_t pos = 12;
    while (pos + 8 <= size) {
        const uint8_t* chunk = data + pos;
        uint32_t chunkSize = readLe32(chunk + 4);
        size_t avail = size - pos - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (chunkSize < 16 || avail < 16) return fail(why, "short format chunk");
            format = readLe16(chunk + 8);
            channels = readLe16(chunk + 10);
            rate = readLe32(chunk + 12);
            bits = readLe16(chunk + 22);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            body = chunk + 8;
            bodySize = chunkSize < avail ? chunkSize : avail; // a cut file plays what is there
            break;
        }
        if (chunkSize > avail) break;
        pos += 8 + size_t(chunkSize) + (chunkSize & 1);
    }

    if (!haveFormat) return fail(why, "no format chunk");
    if (!body) return fail(why, "no data chunk");
    if (format != 1) return fail(why, "not PCM");
    if (channels < 1 || channels > 2) return fail(why, "unsupported channel count");
    if (rate < 1000 || rate > 192000) return fail(why, "unsupported sample rate");
    if (bits != 8 && bits != 16) return fail(why, "unsupported sample size");

    PcmSound s;
    s.rate = rate;
    s.channels = channels;
    size_t bytesPerFrame = size_t(channels) * (bits / 8);
    size_t frames = bodySize / bytesPerFrame;
    s.samples.resize(frames * channels);
    for (size_t i = 0; i < s.samples.size(); ++i) {
        if (bits == 16)
            s.samples[i] = static_cast<int16_t>(readLe16(body + 2 * i));
        else
            s.samples[i] = static_cast<int16_t>((int(body[i]) - 128) << 8); // 8-bit WAV is unsigned
    }
    return s;
}

} // namespace walkmere
