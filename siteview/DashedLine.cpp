#include "siteview/DashedLine.h"

#include <algorithm>
#include <cmath>

namespace walkmere {

namespace {

constexpr int64_t kDashOn = 4;
constexpr int64_t kDashPeriod = 6;

int64_t magnitude(int64_t v) {
    return v < 0 ? -v : v;
}

// Steps lo..hi of the line, the minor coordinate at step lo being `minor` with the
// remainder `rest` of its quotient (see drawDashedLine).
void walkDashes(const PixelBuffer& target, bool xMajor, int64_t majorStart, int64_t majorStep,
                int64_t minor, int64_t n, int64_t lo, int64_t hi, int64_t rest, int64_t minorDelta,
                uint32_t colour) {
    const int64_t majorLast = (xMajor ? target.width : target.height) - 1;
    const int64_t minorLast = (xMajor ? target.height : target.width) - 1;
    const int64_t twoN = 2 * std::max<int64_t>(n, 1);
    int64_t major = majorStart + majorStep * lo;
    int64_t phase = lo % kDashPeriod;
    const int64_t restStep = 2 * minorDelta;

    for (int64_t i = lo; i <= hi; ++i) {
        if (phase < kDashOn && major >= 0 && major <= majorLast && minor >= 0 &&
            minor <= minorLast) {
            const int64_t x = xMajor ? major : minor, y = xMajor ? minor : major;
            target.pixels[y * target.stride + x] = colour;
        }
        if (++phase == kDashPeriod) phase = 0;
        major += majorStep;
        rest += restStep;
        if (rest >= twoN) {
            rest -= twoN;
            ++minor;
        } else if (rest < 0) {
            rest += twoN;
            --minor;
        }
    }
}

} // namespace

// The line is walked along its major axis, one pixel per step i = 0..n. The minor
// coordinate at step i is minorStart + round(i * minorDelta / n), halves rounded up, kept
// as a quotient and a remainder (Bresenham) so that no step divides. Before walking, the
// steps are narrowed to those whose pixel can be inside the picture; the first step's
// quotient is worked out in 128 bits because the ends can lie up to 2^60 apart.
void drawDashedLine(const PixelBuffer& target, LineEnd a, LineEnd b, uint32_t colour) {
    if (!target.pixels || target.width <= 0 || target.height <= 0) return;
    const int64_t dx = b.x - a.x, dy = b.y - a.y;
    const bool xMajor = magnitude(dx) >= magnitude(dy);
    const int64_t n = xMajor ? magnitude(dx) : magnitude(dy);
    const int64_t majorStart = xMajor ? a.x : a.y;
    const int64_t minorStart = xMajor ? a.y : a.x;
    const int64_t majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int64_t minorDelta = xMajor ? dy : dx; // |minorDelta| <= n
    const int64_t majorLast = (xMajor ? target.width : target.height) - 1;
    const int64_t minorLast = (xMajor ? target.height : target.width) - 1;

    // A line with both ends in the picture (the walk path's usual one) is walked whole from
    // its first step, where the quotient is 0 and the remainder n.
    const auto inside = [&](const LineEnd& e) {
        return e.x >= 0 && e.x < target.width && e.y >= 0 && e.y < target.height;
    };
    if (inside(a) && inside(b)) {
        walkDashes(target, xMajor, majorStart, majorStep, minorStart, n, 0, n, n, minorDelta,
                   colour);
        return;
    }

    // Steps whose major coordinate lies in 0..majorLast.
    int64_t lo = majorStep > 0 ? -majorStart : majorStart - majorLast;
    int64_t hi = majorStep > 0 ? majorLast - majorStart : majorStart;
    lo = std::max<int64_t>(lo, 0);
    hi = std::min(hi, n);
    // Steps whose minor coordinate can lie in 0..minorLast, widened by one each side for
    // rounding; the walk checks every pixel anyway.
    if (minorDelta != 0) {
        const double perStep = double(minorDelta) / double(n);
        double from = (-0.5 - double(minorStart)) / perStep;
        double to = (double(minorLast) + 0.5 - double(minorStart)) / perStep;
        if (from > to) std::swap(from, to);
        if (to < double(lo) - 1 || from > double(hi) + 1) return;
        // Clamped to the steps in hand before converting: far ends give values past int64.
        from = std::max(from, double(lo) - 1);
        to = std::min(to, double(hi) + 1);
        lo = std::max(lo, int64_t(std::floor(from)) - 1);
        hi = std::min(hi, int64_t(std::ceil(to)) + 1);
    } else if (minorStart < 0 || minorStart > minorLast) {
        return;
    }
    if (lo > hi) return;

    // minor(i) = minorStart + floor((2 * i * minorDelta + n) / 2n); at i = lo first.
    const int64_t twoN = 2 * std::max<int64_t>(n, 1);
    const __int128 numerator = __int128(2) * lo * minorDelta + n;
    __int128 quotient = numerator / twoN;
    __int128 remainder = numerator % twoN;
    if (remainder < 0) {
        remainder += twoN;
        quotient -= 1;
    }
    walkDashes(target, xMajor, majorStart, majorStep, minorStart + int64_t(quotient), n, lo, hi,
               int64_t(remainder), minorDelta, colour);
}

} // namespace walkmere
