#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace walkmere {

// One tick of a ruler, measured along the ruler from the client area's edge. The tick is a
// line across the band from 0 to `length` (exclusive); a labelled tick carries the distance
// in units, drawn centred in `labelRect` (along the ruler: labelFrom..labelTo; across it:
// 10..19).
struct RulerTick {
    int32_t position = 0;
    int32_t length = 0; // 20, 10, 4 or 2
    bool labelled = false;
    std::string label;
    int32_t labelFrom = 0;
    int32_t labelTo = 0;
};

// The band of a ruler is 20 pixels deep; ticks start 20 pixels in.
inline constexpr int32_t kRulerBand = 20;

// Client pixels per distance unit at the current zoom: zoom times the scale cut toward zero.
// 0 (no ruler) for a scale below one pixel per unit, a negative one, or one that is not a
// number; a huge scale is capped so the step stays within 32 bits.
int32_t rulerStep(int16_t zoom, double pixelsPerUnit);

// The ticks of a ruler of the given step along a client extent (width for the horizontal
// ruler, height for the vertical one): one at every step from 20 pixels in while it lies
// before the far edge. Every tenth is 20 long and labelled, every fifth 10, every second 4,
// the others 2. A step of 0 or less gives no ticks (and the caller draws no band).
std::vector<RulerTick> rulerTicks(int32_t step, int32_t extent);

} // namespace walkmere
