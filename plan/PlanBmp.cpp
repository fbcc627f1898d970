#include "plan/PlanBmp.h"

#include <algorithm>
#include <array>

namespace walkmere {

namespace {

constexpr size_t kHeadersSize = 14 + 40;
constexpr size_t kMaxIndexed = 256;

// The distinct colours of a picture while there are at most 256: an open-addressed table
// with room to spare, each slot 0 or the colour with bit 24 set.
class ColourSet {
public:
    // Adds a colour; false once there are more than kMaxIndexed.
    bool add(uint32_t rgb) {
        uint32_t& slot = find(rgb);
        if (slot == 0) {
            if (count == kMaxIndexed) return false;
            slot = rgb | kUsed;
            ++count;
        }
        return true;
    }
    std::vector<uint32_t> sorted() const {
        std::vector<uint32_t> colours;
        for (uint32_t slot : slots)
            if (slot != 0) colours.push_back(slot & ~kUsed);
        std::sort(colours.begin(), colours.end());
        return colours;
    }
    // The index of each colour, once the palette is known.
    void number(const std::vector<uint32_t>& palette) {
        for (size_t i = 0; i < palette.size(); ++i)
            index[static_cast<size_t>(&find(palette[i]) - slots.data())] = static_cast<uint8_t>(i);
    }
    uint8_t indexOf(uint32_t rgb) { return index[static_cast<size_t>(&find(rgb) - slots.data())]; }

private:
    static constexpr uint32_t kUsed = 1u << 24;
    static constexpr size_t kSlots = 1024;
    uint32_t& find(uint32_t rgb) {
        size_t at = (rgb * 2654435761u) >> 22;
        while (slots[at] != 0 && slots[at] != (rgb | kUsed))
            at = (at + 1) % kSlots;
        return slots[at];
    }
    std::array<uint32_t, kSlots> slots{};
    std::array<uint8_t, kSlots> index{};
    size_t count = 0;
};

uint32_t rgbAt(const uint8_t* p) {
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

std::vector<uint8_t> encodePlanBmp(const PlanRaster& raster) {
    const uint32_t width = raster.width();
    const uint32_t height = raster.height();
    ColourSet colours;
    std::vector<uint8_t> scratch;
    bool indexed = true;
    for (uint32_t y = 0; y < height && indexed; ++y) {
        const uint8_t* row = raster.row(y, scratch);
        for (uint32_t x = 0; x < width && indexed; ++x)
            indexed = colours.add(rgbAt(row + size_t{x} * 3));
    }
    const std::vector<uint32_t> palette = indexed ? colours.sorted() : std::vector<uint32_t>{};
    if (indexed) colours.number(palette);

    const uint16_t bits = indexed ? 8 : 24;
    const size_t stride = (size_t{width} * bits / 8 + 3) / 4 * 4;
    const size_t pixelOffset = kHeadersSize + palette.size() * 4;
    std::vector<uint8_t> b(pixelOffset + stride * height, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<uint32_t>(b.size()));
    put32(b, 10, static_cast<uint32_t>(pixelOffset));
    put32(b, 14, 40);
    put32(b, 18, width);
    put32(b, 22, height); // positive: bottom-up
    put16(b, 26, 1);
    put16(b, 28, bits);
    put32(b, 30, 0); // uncompressed
    put32(b, 34, static_cast<uint32_t>(stride * height));
    put32(b, 46, static_cast<uint32_t>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i) {
        uint8_t* entry = b.data() + kHeadersSize + i * 4; // blue, green, red, 0
        entry[0] = static_cast<uint8_t>(palette[i]);
        entry[1] = static_cast<uint8_t>(palette[i] >> 8);
        entry[2] = static_cast<uint8_t>(palette[i] >> 16);
    }
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = raster.row(y, scratch);
        uint8_t* out = b.data() + pixelOffset + stride * (height - 1 - y);
        for (uint32_t x = 0; x < width; ++x, in += 3) {
            if (indexed) {
                out[x] = colours.indexOf(rgbAt(in));
            } else {
                out[size_t{x} * 3] = in[2];
                out[size_t{x} * 3 + 1] = in[1];
                out[size_t{x} * 3 + 2] = in[0];
            }
        }
    }
    return b;
}

} // namespace walkmere
