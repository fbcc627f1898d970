#pragma once

#include <cstdint>
#include <optional>
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

// ---- the desktop map's ruler ----
// The map's rulers count real lengths from the plan's origin at the exact scale. The labelled
// step is the smallest of 1, 2, 5, 10, 20, 50 ... (and 0.1, 0.2, 0.5 ... below one unit) that
// leaves kMapLabelSpacing client pixels between labels; between labels come ten minor ticks
// (1, 10 ...), four (2, 20 ...) or five (5, 50 ...), when they are at least kMinorSpacing apart.
inline constexpr double kMapLabelSpacing = 48;
inline constexpr double kMinorSpacing = 5;

struct MapRulerStep {
    double label = 0; // units between labels
    int minors = 1;   // intervals a label step is cut into
};
// The step for `pixelsPerUnit` client pixels per unit; label 0 for a scale that is not a
// positive finite number.
MapRulerStep mapRulerStep(double pixelsPerUnit);

// The ticks of a map ruler along a client extent: `origin` is where the plan's origin lies
// (client pixels along the ruler, may be off the client), `pixelsPerUnit` client pixels per
// unit. Ticks lie from the band's end (kRulerBand) to the far edge. A labelled tick is 10
// long and carries its distance from the origin ("0", "5", "-2.5"), centred on the tick in
// labelFrom..labelTo; the tick halfway between labels is 6 long, the others 3.
std::vector<RulerTick> mapRulerTicks(double origin, double pixelsPerUnit, int32_t extent);

// The bar a map shows its scale with: the largest of 1, 2, 5, 10 ... units that fits in
// `maxPixels`, as its length in client pixels and its text ("5 m"). Nothing for a scale that
// is not a positive finite number or one where not even 1/1000 of a unit fits.
struct ScaleBar {
    double units = 0;
    double pixels = 0;
    std::string text;
};
std::optional<ScaleBar> scaleBar(double pixelsPerUnit, double maxPixels, const std::string& unit);

} // namespace walkmere
