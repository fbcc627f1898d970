// The walk path's dashed line: where its pixels fall, where its dashes fall, and that it
// never writes outside the picture however far its ends lie.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "siteview/DashedLine.h"

namespace walkmere {
namespace {

constexpr uint32_t kInk = 0xFF000000u;
constexpr uint32_t kPaper = 0xFFFFFFFFu;
constexpr uint32_t kGuard = 0x12345678u;

// A w x h picture inside a larger block whose margins must stay untouched.
class Picture {
public:
    Picture(int w, int h)
        : w(w), h(h), stride(w + 2 * kMargin), block(size_t(stride) * (h + 2 * kMargin), kGuard) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                at(x, y) = kPaper;
    }
    PixelBuffer buffer() { return PixelBuffer{&at(0, 0), stride, w, h}; }
    uint32_t& at(int x, int y) { return block[size_t(y + kMargin) * stride + x + kMargin]; }
    bool inked(int x, int y) { return at(x, y) == kInk; }
    int inkCount() {
        int n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                n += inked(x, y);
        return n;
    }
    bool marginsIntact() const {
        for (int y = -kMargin; y < h + kMargin; ++y)
            for (int x = -kMargin; x < w + kMargin; ++x) {
                const bool inside = x >= 0 && x < w && y >= 0 && y < h;
                if (!inside && block[size_t(y + kMargin) * stride + x + kMargin] != kGuard)
                    return false;
            }
        return true;
    }
    // Row y as '#' and '.', for readable failures.
    std::string row(int y) {
        std::string s;
        for (int x = 0; x < w; ++x)
            s += inked(x, y) ? '#' : '.';
        return s;
    }

    const int w, h;

private:
    static constexpr int kMargin = 3;
    const int stride;
    std::vector<uint32_t> block;
};

void draw(Picture& pic, LineEnd a, LineEnd b) {
    drawDashedLine(pic.buffer(), a, b, kInk);
}

TEST(DashedLine, FourOnTwoOffFromTheFirstEndBothEndsIncluded) {
    Picture pic(16, 3);
    draw(pic, {0, 1}, {15, 1});
    EXPECT_EQ(pic.row(1), "####..####..####");
    EXPECT_EQ(pic.row(0), "................");

    Picture back(16, 3);
    draw(back, {13, 1}, {0, 1}); // counted from x = 13 leftward
    EXPECT_EQ(back.row(1), "##..####..####..");

    Picture column(3, 9);
    draw(column, {1, 8}, {1, 0});
    std::string drawn;
    for (int y = 0; y < 9; ++y)
        drawn += column.inked(1, y) ? '#' : '.';
    EXPECT_EQ(drawn, "###..####"); // top to bottom; counted from y = 8 upward
}

TEST(DashedLine, APointLineIsOnePixel) {
    Picture pic(5, 5);
    draw(pic, {2, 3}, {2, 3});
    EXPECT_TRUE(pic.inked(2, 3));
    EXPECT_EQ(pic.inkCount(), 1);
    draw(pic, {-1, 3}, {-1, 3});
    draw(pic, {2, 5}, {2, 5});
    EXPECT_EQ(pic.inkCount(), 1);
    EXPECT_TRUE(pic.marginsIntact());
}

// One pixel per step of the longer axis, each within half a pixel of the true line, the
// ends exactly where they were asked to be.
TEST(DashedLine, PixelsFollowTheLineInEveryDirection) {
    const LineEnd centre{20, 20};
    const LineEnd ends[] = {{39, 25}, {25, 39}, {1, 39},  {0, 22},
                            {3, 1},   {36, 0},  {39, 39}, {0, 0}};
    for (LineEnd far : ends) {
        Picture pic(40, 40);
        draw(pic, centre, far);
        const int64_t dx = far.x - centre.x, dy = far.y - centre.y;
        const bool xMajor = std::llabs(dx) >= std::llabs(dy);
        const int64_t n = xMajor ? std::llabs(dx) : std::llabs(dy);
        int inked = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                if (!pic.inked(x, y)) continue;
                ++inked;
                const int64_t step = xMajor ? std::llabs(x - centre.x) : std::llabs(y - centre.y);
                ASSERT_LE(step, n);
                EXPECT_LT(step % 6, 4) << "pixel in a gap at " << x << "," << y;
                const double t = double(step) / double(n);
                const double ideal = xMajor ? centre.y + t * dy : centre.x + t * dx;
                EXPECT_LE(std::fabs((xMajor ? y : x) - ideal), 0.5) << x << "," << y;
            }
        int64_t expected = 0;
        for (int64_t i = 0; i <= n; ++i)
            expected += i % 6 < 4;
        EXPECT_EQ(inked, expected) << "to " << far.x << "," << far.y;
        EXPECT_TRUE(pic.inked(int(centre.x), int(centre.y)));
        if (n % 6 < 4) {
            EXPECT_TRUE(pic.inked(int(far.x), int(far.y)));
        }
    }
}

// A small picture onto a window of a line shows the same pixels as that window of a big
// picture holding the whole line: clipping moves neither pixels nor dashes.
TEST(DashedLine, ClippingKeepsPixelsAndDashesWhereTheWholeLineHasThem) {
    const LineEnd a{20, 87}, b{440, 220};
    Picture whole(400, 300);
    draw(whole, a, b);
    for (auto [w, h] : {std::pair{60, 50}, std::pair{7, 200}, std::pair{240, 3}}) {
        for (auto [wx, wy] : {std::pair{0, 60}, std::pair{61, 90}, std::pair{131, 140},
                              std::pair{200, 100}, std::pair{350, 260}}) {
            Picture window(w, h);
            draw(window, {a.x - wx, a.y - wy}, {b.x - wx, b.y - wy});
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    if (x + wx >= whole.w || y + wy >= whole.h) continue;
                    ASSERT_EQ(window.inked(x, y), whole.inked(x + wx, y + wy))
                        << w << "x" << h << " at " << wx << "," << wy << ": " << x << "," << y;
                }
            EXPECT_TRUE(window.marginsIntact());
        }
    }
    EXPECT_TRUE(whole.marginsIntact());
}

// Ends billions of pixels away, as a point far outside a deeply zoomed view maps: only the
// pixels inside are drawn, along the line, in runs of 4 on and 2 off.
TEST(DashedLine, FarEndsDrawOnlyThePicturesPart) {
    const int64_t far = int64_t(1) << 37;
    struct Case {
        LineEnd a, b;
    };
    const Case cases[] = {
        {{-far, 100}, {far, 140}},            // nearly level, through the middle
        {{120, -far}, {125, far}},            // nearly upright
        {{-far, -far + 50}, {far, far + 50}}, // diagonal
        {{-far, 3}, {10, 3}},                 // one end inside
        {{-far, -5}, {far, -5}},              // level, above the picture
        {{-far, -far}, {-far + 1, far}},      // far to the left, upright
    };
    for (const Case& c : cases) {
        Picture pic(240, 268);
        draw(pic, c.a, c.b);
        EXPECT_TRUE(pic.marginsIntact());
        const long double dx = c.b.x - c.a.x, dy = c.b.y - c.a.y;
        const long double length = std::sqrt(dx * dx + dy * dy);
        for (int y = 0; y < pic.h; ++y)
            for (int x = 0; x < pic.w; ++x) {
                if (!pic.inked(x, y)) continue;
                const long double off =
                    std::fabs((x - c.a.x) * dy - (y - c.a.y) * dx) / length; // distance to line
                ASSERT_LE(double(off), 0.75) << x << "," << y;
            }
    }
    Picture level(240, 268);
    draw(level, {-far - 1, 100}, {far, 100});
    const std::string row = level.row(100);
    // (far + 1) mod 6 = 3: the picture's first pixel is step 2^37 + 1.
    const int64_t first = (far + 1) % 6;
    for (int x = 0; x < 240; ++x)
        EXPECT_EQ(row[size_t(x)] == '#', (first + x) % 6 < 4) << x;
    EXPECT_EQ(level.inkCount(), 160);

    Picture above(240, 268);
    draw(above, {-far, -5}, {far, -5});
    draw(above, {-far, -far}, {-far + 1, far});
    EXPECT_EQ(above.inkCount(), 0);
}

TEST(DashedLine, AnEmptyPictureIsLeftAlone) {
    drawDashedLine(PixelBuffer{}, {0, 0}, {10, 10}, kInk);
    uint32_t one = kPaper;
    drawDashedLine(PixelBuffer{&one, 1, 0, 1}, {0, 0}, {0, 0}, kInk);
    drawDashedLine(PixelBuffer{&one, 1, 1, 0}, {0, 0}, {0, 0}, kInk);
    EXPECT_EQ(one, kPaper);
    drawDashedLine(PixelBuffer{&one, 1, 1, 1}, {-3, 0}, {3, 0}, kInk);
    EXPECT_EQ(one, kInk); // step 3 of 0..6 is in a dash
}

} // namespace
} // namespace walkmere
