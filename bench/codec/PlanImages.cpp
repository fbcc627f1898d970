#include "PlanImages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "testkit/BmpBytes.h"

namespace walkmere::bench {

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// A bottom-up 24-bit bitmap at 96 dpi; rows are padded to four bytes.
class Bitmap {
public:
    Bitmap(int width, int height)
        : width(width), height(height), stride(int(testkit::bmpStride(width, 24))) {
        file.width = width;
        file.height = height;
        file.pixelsPerMetre = 3780;
        file.pixels.assign(size_t(stride) * height, 0);
    }

    void set(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        uint8_t* p = file.pixels.data() + size_t(height - 1 - y) * stride + size_t(x) * 3;
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
    }
    void fill(int x0, int y0, int x1, int y1, Rgb c) {
        for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(width, x1); ++x)
                set(x, y, c);
    }
    void line(int x0, int y0, int x1, int y1, int thickness, Rgb c) {
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (int i = 0; i <= steps; ++i) {
            const int x = x0 + (steps ? (x1 - x0) * i / steps : 0);
            const int y = y0 + (steps ? (y1 - y0) * i / steps : 0);
            fill(x, y, x + thickness, y + thickness, c);
        }
    }

    int width, height, stride;
    testkit::BmpFile file;
};

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

void drawLines(Bitmap& bmp, std::mt19937& rng) {
    bmp.fill(0, 0, bmp.width, bmp.height, kWhite);
    // Outer walls, a grid of inner walls, doors left open, some furniture strokes.
    bmp.line(20, 20, bmp.width - 24, 20, 4, kBlack);
    bmp.line(20, bmp.height - 24, bmp.width - 24, bmp.height - 24, 4, kBlack);
    bmp.line(20, 20, 20, bmp.height - 24, 4, kBlack);
    bmp.line(bmp.width - 24, 20, bmp.width - 24, bmp.height - 24, 4, kBlack);
    for (int x = 300; x < bmp.width - 100; x += 250 + int(rng() % 300))
        bmp.line(x, 20, x, bmp.height - 24, 2, kBlack);
    for (int y = 250; y < bmp.height - 100; y += 200 + int(rng() % 250))
        bmp.line(20, y, bmp.width - 24, y, 2, kBlack);
    for (int i = 0; i < 400; ++i) {
        const int x = int(rng() % bmp.width), y = int(rng() % bmp.height);
        bmp.fill(x, y - 30, x + 60, y + 30, kWhite); // a door gap
    }
    for (int i = 0; i < 1500; ++i) {
        const int x = int(rng() % bmp.width), y = int(rng() % bmp.height);
        bmp.line(x, y, x + int(rng() % 120) - 60, y + int(rng() % 120) - 60, 1, kBlack);
    }
}

void drawRooms(Bitmap& bmp, std::mt19937& rng) {
    // White corridors; rooms filled from a plan editor's light colours (channel levels
    // 255, 224 and 192), some left white; black walls with door gaps.
    bmp.fill(0, 0, bmp.width, bmp.height, kWhite);
    const Rgb palette[] = {kWhite,          kWhite,          {255, 255, 192}, {192, 255, 192},
                           {192, 224, 255}, {255, 192, 192}, {224, 224, 224}, {255, 224, 192}};
    int y = 40;
    while (y < bmp.height - 200) {
        const int h = 250 + int(rng() % 400);
        int x = 40;
        while (x < bmp.width - 200) {
            const int w = 300 + int(rng() % 600);
            const Rgb fill = palette[rng() % 8];
            bmp.fill(x, y, x + w, y + h, fill);
            bmp.fill(x, y, x + w, y + 6, kBlack);
            bmp.fill(x, y + h - 6, x + w, y + h, kBlack);
            bmp.fill(x, y, x + 6, y + h, kBlack);
            bmp.fill(x + w - 6, y, x + w, y + h, kBlack);
            bmp.fill(x + w / 3, y + h - 6, x + w / 3 + 70, y + h, fill); // door
            x += w + 40 * int(rng() % 2);                                // a corridor now and then
        }
        y += h + 80; // corridor between rows of rooms
    }
}

void drawScan(Bitmap& bmp, std::mt19937& rng) {
    std::normal_distribution<float> noise(0.0f, 6.0f);
    for (int y = 0; y < bmp.height; ++y) {
        for (int x = 0; x < bmp.width; ++x) {
            const float base = 170.0f + 50.0f * std::sin(x * 0.0021f) * std::cos(y * 0.0017f);
            auto channel = [&](float tint) {
                return uint8_t(std::clamp(base + tint + noise(rng), 0.0f, 255.0f));
            };
            bmp.set(x, y, {channel(12.0f), channel(4.0f), channel(-10.0f)});
        }
    }
    // Walls show through the scan as darker, noisy strokes.
    for (int x = 200; x < bmp.width; x += 400)
        bmp.line(x, 0, x, bmp.height - 1, 3, {40, 40, 50});
    for (int y = 150; y < bmp.height; y += 350)
        bmp.line(0, y, bmp.width - 1, y, 3, {40, 40, 50});
}

} // namespace

const char* planKindName(PlanKind kind) {
    switch (kind) {
    case PlanKind::LineDrawing:
        return "line_drawing";
    case PlanKind::ColouredRooms:
        return "coloured_rooms";
    case PlanKind::NoisyScan:
        return "noisy_scan";
    }
    return "?";
}

std::vector<uint8_t> makePlanBitmap(PlanKind kind, int width, int height, uint32_t seed) {
    Bitmap bmp(width, height);
    std::mt19937 rng(seed);
    switch (kind) {
    case PlanKind::LineDrawing:
        drawLines(bmp, rng);
        break;
    case PlanKind::ColouredRooms:
        drawRooms(bmp, rng);
        break;
    case PlanKind::NoisyScan:
        drawScan(bmp, rng);
        break;
    }
    return testkit::writeBmp(bmp.file);
}

} // namespace walkmere::bench
