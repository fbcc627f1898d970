#include "image/BmpReader.h"

#include "platform/ByteOrder.h"
#include "platform/OwnedFd.h"
#include "survey/BmpInfo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace walkmere {

namespace {

// Where the red, green and blue masks of a bit-field picture are: right after a 40-byte info
// header, or inside the larger ones at the same place.
constexpr size_t kMasksAt = BmpInfo::kFileHeaderSize + 40;
constexpr uint32_t kOs2InfoSize = 64;

// What the pixels need besides the two headers, and where it is.
struct Layout {
    uint64_t tableStart = 0; // the colour table
    uint32_t tableEntries = 0;
    size_t entrySize = 4;
    bool masked = false; // bit fields: the masks at kMasksAt
};

// Reads the layout from the headers, which must be all there (checkBmp took them).
std::string readLayout(const uint8_t* data, size_t size, const BmpInfo& info, Layout& layout) {
    const uint16_t bits = info.bitCount;
    const uint32_t compression = info.compression;
    if (compression == BmpInfo::kBiBitfields) {
        if (info.infoSize == kOs2InfoSize)
            return "an OS/2 bitmap with compression 3 (Huffman) cannot be read; save the plan "
                   "uncompressed";
        layout.masked = true;
        const uint64_t masksEnd = kMasksAt + 12;
        if (info.infoSize < 52 && masksEnd > info.pixelOffset)
            return "the bitmap's colour masks are cut short";
        if (masksEnd > size) return "the bitmap's colour masks are cut short";
    }
    if (bits > 8) return {};
    // The colour table follows the info header: 4 bytes (blue, green, red, 0) an entry, or
    // 3 bytes in a 12-byte core header. As in the program's loader, it has the entries the
    // header says it uses, else one for each index, and at most 256.
    const bool core = info.infoSize == BmpInfo::kCoreInfoSize;
    layout.entrySize = core ? 3 : 4;
    layout.tableEntries = 1u << bits;
    if (!core && info.infoSize >= 36) {
        const uint32_t used = readLe32(data + BmpInfo::kFileHeaderSize + 32);
        if (used > 256) return "the bitmap's colour table claims more than 256 colours";
        if (used != 0) layout.tableEntries = used;
    }
    layout.tableStart = BmpInfo::kFileHeaderSize + uint64_t{info.infoSize};
    if (layout.tableStart + uint64_t{layout.tableEntries} * layout.entrySize > info.pixelOffset)
        return "the colour table is cut short";
    return {};
}

using Palette = std::array<std::array<uint8_t, 3>, 256>; // RGB; entries past the table black

Palette readPalette(const uint8_t* data, const Layout& layout) {
    Palette palette{};
    for (uint32_t i = 0; i < layout.tableEntries; ++i) {
        const uint8_t* e = data + layout.tableStart + size_t{i} * layout.entrySize;
        palette[i] = {e[2], e[1], e[0]};
    }
    return palette;
}

// One colour channel of a bit-field pixel: its bits under the mask, the highest 8 of them at
// the top of a byte, as the program's loader shows them (5 bits of 31 are 248).
struct Channel {
    uint32_t mask = 0;
    unsigned shift = 0; // of the mask's lowest bit
    unsigned width = 0; // from there to its highest

    explicit Channel(uint32_t m) : mask(m) {
        while (m != 0 && (m & 1) == 0) {
            m >>= 1;
            ++shift;
        }
        for (; m != 0; m >>= 1)
            ++width;
    }
    uint8_t of(uint32_t pixel) const {
        const uint32_t v = (pixel & mask) >> shift;
        return static_cast<uint8_t>(width <= 8 ? v << (8 - width) : v >> (width - 8));
    }
};

void readUncompressed(const uint8_t* data, const BmpInfo& info, const Layout& layout,
                      const Palette& palette, RgbImage& image) {
    const uint16_t bits = info.bitCount;
    // 16 bits without masks are 5 each, red highest; 32 bits without masks are blue, green,
    // red and a byte unused.
    const uint8_t* masks = data + kMasksAt;
    const Channel red(layout.masked ? readLe32(masks) : bits == 16 ? 0x7C00 : 0xFF0000);
    const Channel green(layout.masked ? readLe32(masks + 4) : bits == 16 ? 0x03E0 : 0x00FF00);
    const Channel blue(layout.masked ? readLe32(masks + 8) : bits == 16 ? 0x001F : 0x0000FF);
    const uint32_t width = static_cast<uint32_t>(image.width);
    const uint32_t height = static_cast<uint32_t>(image.height);
    const uint64_t stride = info.rowStride();
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t stored = info.topDown() ? y : height - 1 - y;
        const uint8_t* row = data + info.pixelOffset + stride * stored;
        uint8_t* out = image.at(0, static_cast<int32_t>(y));
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            if (bits == 24) {
                const uint8_t* p = row + size_t{x} * 3;
                out[0] = p[2], out[1] = p[1], out[2] = p[0];
            } else if (bits == 16 || bits == 32) {
                const uint32_t pixel =
                    bits == 16 ? readLe16(row + size_t{x} * 2) : readLe32(row + size_t{x} * 4);
                out[0] = red.of(pixel), out[1] = green.of(pixel), out[2] = blue.of(pixel);
            } else {
                // Indexed: the leftmost pixel is in the most significant bits of a byte.
                const uint32_t bitPos = x * bits;
                const unsigned shift = 8 - bits - (bitPos % 8);
                const uint8_t index = (row[bitPos / 8] >> shift) & ((1u << bits) - 1);
                std::copy_n(palette[index].data(), 3, out);
            }
        }
    }
}

// Run-length coded pixels, 8 or 4 bits an index, rows from the bottom. Every pixel starts as
// colour 0, which is what pixels the code skips or never reaches keep. A run past the end of
// its row is cut there, a jump off the picture ends it, and so does the code ending early:
// nothing is written outside the picture and no byte is read past the file.
void readRunLength(const uint8_t* code, const uint8_t* end, bool fourBits, const Palette& palette,
                   RgbImage& image) {
    const uint32_t width = static_cast<uint32_t>(image.width);
    const uint32_t height = static_cast<uint32_t>(image.height);
    for (size_t i = 0; i < image.pixels.size(); i += 3)
        std::copy_n(palette[0].data(), 3, &image.pixels[i]);
    uint32_t x = 0, row = 0; // row 0 is the bottom one
    const auto put = [&](uint8_t index) {
        if (x >= width) return;
        std::copy_n(palette[index].data(), 3,
                    image.at(static_cast<int32_t>(x), static_cast<int32_t>(height - 1 - row)));
        ++x;
    };
    // Index i of a run: the byte itself, or its high then its low half.
    const auto indexIn = [fourBits](uint8_t byte, unsigned i) -> uint8_t {
        return !fourBits ? byte : i % 2 == 0 ? byte >> 4 : byte & 0x0F;
    };
    while (row < height && end - code >= 2) {
        const uint8_t count = code[0];
        const uint8_t value = code[1];
        code += 2;
        if (count > 0) { // `count` pixels of `value`
            for (unsigned i = 0; i < count && x < width; ++i)
                put(indexIn(value, i));
            continue;
        }
        if (value == 0) { // end of the row
            x = 0;
            ++row;
        } else if (value == 1) { // end of the picture
            return;
        } else if (value == 2) { // a jump right and up
            if (end - code < 2) return;
            x = std::min<uint32_t>(width, x + code[0]);
            row += code[1];
            code += 2;
        } else { // `value` indices as they are, padded to an even number of bytes
            const size_t bytes = fourBits ? (value + 1u) / 2 : value;
            const size_t have = std::min<size_t>(bytes, static_cast<size_t>(end - code));
            for (unsigned i = 0; i < value && x < width; ++i) {
                const size_t at = fourBits ? i / 2 : i;
                if (at >= have) break;
                put(indexIn(code[at], i));
            }
            code += std::min<size_t>((bytes + 1) & ~size_t{1}, static_cast<size_t>(end - code));
        }
    }
}

} // namespace

std::string bmpLayoutProblem(const uint8_t* data, size_t size, uint64_t fileSize) {
    const BmpCheck check = checkBmp(data, size, fileSize);
    if (!check.info) return "not a Windows bitmap";
    if (!check.loadable) return check.problem;
    Layout layout;
    return readLayout(data, size, *check.info, layout);
}

std::string bmpFileLayoutProblem(const std::string& path) {
    const OwnedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return std::strerror(errno);
    uint8_t head[kBmpLayoutBytes];
    size_t got = 0;
    while (got < sizeof head) {
        const ssize_t n = ::pread(fd.get(), head + got, sizeof head - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::strerror(errno);
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    const off_t end = ::lseek(fd.get(), 0, SEEK_END);
    if (end < 0) return std::strerror(errno);
    return bmpLayoutProblem(head, got, static_cast<uint64_t>(end));
}

std::string readBmpPixels(const uint8_t* data, size_t size, RgbImage& image) {
    const BmpCheck check = checkBmp(data, size, size);
    if (!check.info) return "not a Windows bitmap";
    if (!check.loadable) return check.problem;
    const BmpInfo& info = *check.info;
    Layout layout;
    std::string problem = readLayout(data, size, info, layout);
    if (!problem.empty()) return problem;

    const uint32_t height = info.pixelHeight();
    const uint32_t width = static_cast<uint32_t>(info.width);
    if (uint64_t{width} * height > kMaxRgbImagePixels) return "the bitmap is too large to read";
    const Palette palette = readPalette(data, layout);
    image = RgbImage(static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (info.compression == BmpInfo::kBiRle8 || info.compression == BmpInfo::kBiRle4)
        readRunLength(data + info.pixelOffset, data + size, info.compression == BmpInfo::kBiRle4,
                      palette, image);
    else
        readUncompressed(data, info, layout, palette, image);
    return {};
}

} // namespace walkmere
