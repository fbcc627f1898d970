#include "tools/site/BmpPixels.h"

#include "platform/ByteOrder.h"
#include "survey/BmpInfo.h"

namespace walkmere::sitetool {

namespace {

// Pictures larger than this are refused rather than allocated (about 1.2 GB of RGB).
constexpr uint64_t kMaxPixels = 400ull * 1000 * 1000;

} // namespace

std::string readBmpPixels(const uint8_t* data, size_t size, RgbImage& image) {
    const BmpCheck check = checkBmp(data, size, size);
    if (!check.info) return "not a Windows bitmap";
    if (!check.loadable) return check.problem;
    const BmpInfo& info = *check.info;
    if (info.compression != BmpInfo::kBiRgb)
        return "compressed bitmaps (RLE or bit fields) cannot be read; save the plan "
               "uncompressed";
    const uint16_t bits = info.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return std::to_string(bits) + "-bit bitmaps cannot be read";

    const uint32_t height = info.pixelHeight();
    const uint32_t width = static_cast<uint32_t>(info.width);
    if (uint64_t{width} * height > kMaxPixels) return "the bitmap is too large to read";

    // The colour table follows the info header: 4 bytes (blue, green, red, 0) an entry, or
    // 3 bytes in a 12-byte core header.
    std::vector<uint8_t> palette; // RGB triples
    if (bits <= 8) {
        const bool core = info.infoSize == BmpInfo::kCoreInfoSize;
        const size_t entrySize = core ? 3 : 4;
        uint32_t entries = 1u << bits;
        if (!core && info.infoSize >= 36) {
            const uint32_t used = readLe32(data + BmpInfo::kFileHeaderSize + 32);
            if (used != 0 && used < entries) entries = used;
        }
        const uint64_t tableStart = BmpInfo::kFileHeaderSize + uint64_t{info.infoSize};
        if (tableStart + uint64_t{entries} * entrySize > info.pixelOffset)
            return "the colour table is cut short";
        palette.resize(size_t{256} * 3, 0);
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* e = data + tableStart + i * entrySize;
            palette[i * 3 + 0] = e[2];
            palette[i * 3 + 1] = e[1];
            palette[i * 3 + 2] = e[0];
        }
    }

    image = RgbImage(static_cast<int32_t>(width), static_cast<int32_t>(height));
    const uint64_t stride = info.rowStride();
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t stored = info.topDown() ? y : height - 1 - y;
        const uint8_t* row = data + info.pixelOffset + stride * stored;
        uint8_t* out = image.at(0, static_cast<int32_t>(y));
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            if (bits >= 24) {
                const uint8_t* p = row + x * (bits / 8);
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
                continue;
            }
            // Indexed: the leftmost pixel is in the most significant bits of a byte.
            const uint32_t bitPos = x * bits;
            const uint8_t byte = row[bitPos / 8];
            const unsigned shift = 8 - bits - (bitPos % 8);
            const uint8_t index = static_cast<uint8_t>((byte >> shift) & ((1u << bits) - 1));
            out[0] = palette[index * 3 + 0];
            out[1] = palette[index * 3 + 1];
            out[2] = palette[index * 3 + 2];
        }
    }
    return {};
}

} // namespace walkmere::sitetool
