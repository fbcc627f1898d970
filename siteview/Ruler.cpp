#include "siteview/Ruler.h"

#include <cmath>
#include <limits>

namespace walkmere {

int32_t rulerStep(int16_t zoom, double pixelsPerUnit) {
    if (!(pixelsPerUnit >= 1.0)) return 0; // also catches NaN
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    const int64_t scale = pixelsPerUnit >= static_cast<double>(kMax)
                              ? kMax
                              : static_cast<int64_t>(std::trunc(pixelsPerUnit));
    const int64_t step = static_cast<int64_t>(zoom) * scale;
    if (step <= 0) return 0;
    return step > kMax ? static_cast<int32_t>(kMax) : static_cast<int32_t>(step);
}

std::vector<RulerTick> rulerTicks(int32_t step, int32_t extent) {
    std::vector<RulerTick> ticks;
    if (step <= 0 || extent <= kRulerBand) return ticks;
    const int64_t s = step;
    for (int64_t offset = 0; offset + kRulerBand < extent; offset += s) {
        RulerTick t;
        t.position = static_cast<int32_t>(offset + kRulerBand);
        if (offset % (10 * s) == 0) {
            t.length = 20;
            t.labelled = true;
            t.label = std::to_string(offset / s);
            t.labelFrom = static_cast<int32_t>(offset + kRulerBand + 1);
            const int64_t to = offset + kRulerBand + 5 * s;
            t.labelTo = to > std::numeric_limits<int32_t>::max()
                            ? std::numeric_limits<int32_t>::max()
                            : static_cast<int32_t>(to);
        } else if (offset % (5 * s) == 0) {
            t.length = 10;
        } else if (offset % (2 * s) == 0) {
            t.length = 4;
        } else {
            t.length = 2;
        }
        ticks.push_back(std::move(t));
    }
    return ticks;
}

} // namespace walkmere
