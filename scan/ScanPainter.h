#pragma once

#include <QImage>

#include <span>

#include "scan/ApRecord.h"
#include "ui/DrawnText.h"
#include "ui/ScaledPicture.h"

namespace walkmere {

// Paints the scan screen into `target` at the target's size: the panel (bitmap resource
// 141), the progress bar with its percentage, and one row per certified AP (channel, MAC,
// SSID, RSSI) from y 30, 15 pixels apart, until the next row would start below the bottom
// margin. Takes the percentage and the certified records as they stood at one moment.
// A target taller than the panel (a desktop window) gets the panel's frame stretched to its
// height, the rows strongest first, and starts at row `firstRow` (kept so that the last
// row still shows) when more rows are certified than it holds.
//
// The picture is first cleared to the panel's olive, so it reads the same when the program
// carries no panel bitmap. A percentage outside 0..100 keeps the bar inside its slot.
// Width of the progress bar: percent x 222 / 100, truncated, kept within 0..222.
int progressBarWidth(int progressPercent);

// Every text drawn is appended to `drawnTexts` when one is given; the texts go through
// `texts` when one is given (a picture composed at a device scale keeps them for later).
void paintScanView(QImage& target, int progressPercent, std::span<const ApRecord> certified,
                   DrawnTexts* drawnTexts = nullptr, TextLayer* texts = nullptr, int firstRow = 0);

// The same picture at a whole-number device scale (see composeScaled).
QImage composeScanView(QSize size, int scale, int progressPercent,
                       std::span<const ApRecord> certified, int firstRow = 0);

// How many rows a picture of that height shows at once.
int scanRowsShown(int height);

} // namespace walkmere
