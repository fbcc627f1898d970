#pragma once

class QPainter;

namespace walkmere {

// The legend of the colours of the RSSI circles, in the Options dialog's client coordinates:
// one 2 x 15 strip per dBm value from -100 to -21 at (2 * (v + 120), 20), so the strips fill
// x 40..199, y 20..34; a one-pixel black frame on the outermost pixels of that area; the
// caption "RSSI Colors (dBm)" centred in (0, 0)-(240, 15) and the end labels "-100" and "-20"
// beside the strip, in black on white. The colours come from rssiColour, the same function
// that colours the circles on the map, so the two always agree.
//
// Draws into whatever device `p` is open on; the painter's font, pen, brush and background
// are left as they were.
void DrawRssiLegend(QPainter& p);

} // namespace walkmere
