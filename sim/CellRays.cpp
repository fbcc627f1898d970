#include "sim/CellRays.h"

#include "sim/WallWalk.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace walkmere::sim {

namespace {

// Cells this close to the access point's cell (in cells, across and down) walk the pixels
// of their line, and rays walk pixels until they leave them.
constexpr int32_t kNearCells = 2;

} // namespace

CellRays::CellRays(const SimulatedSite& site, int32_t cell, std::vector<double> centreXs,
                   std::vector<double> centreYs)
    : site(site), cellSize(cell), cols(static_cast<int32_t>(centreXs.size())),
      rows(static_cast<int32_t>(centreYs.size())), centreXs(std::move(centreXs)),
      centreYs(std::move(centreYs)), cells(static_cast<size_t>(cols) * rows, 0) {
    // Wall pixels are few: each row of pixels is searched for the next one, and the search
    // goes on at the next cell. Small cells keep their wall pixels as bits as well, which a
    // ray reads instead of the plan's far-apart rows.
    const bool masks = cellSize * cellSize <= 64;
    if (masks) pixelMask.assign(cells.size(), 0);
    const int32_t width = site.width();
    for (int32_t py = 0; py < site.height(); ++py) {
        const uint8_t* row =
            site.dark.data() + static_cast<size_t>(py) * static_cast<size_t>(width);
        uint32_t* rowCells = cells.data() + at(0, py / cellSize);
        for (int32_t px = 0; px < width;) {
            const void* found = std::memchr(row + px, 1, static_cast<size_t>(width - px));
            if (!found) break;
            const int32_t c =
                static_cast<int32_t>(static_cast<const uint8_t*>(found) - row) / cellSize;
            rowCells[c] = kWallCell;
            const int32_t end = std::min((c + 1) * cellSize, width);
            if (masks) {
                uint64_t& mask = pixelMask[at(c, py / cellSize)];
                const auto bit = static_cast<uint32_t>((py % cellSize) * cellSize);
                for (int32_t x = c * cellSize; x < end; ++x)
                    if (row[x])
                        mask |= uint64_t{1} << (bit + static_cast<uint32_t>(x - c * cellSize));
            }
            px = end;
        }
    }
}

void CellRays::cast(const ModelAccessPoint& ap, double toX, double toY) {
    const double dx = toX - ap.x, dy = toY - ap.y;
    const double length = std::hypot(dx, dy);
    if (length == 0) return;
    // Where the ray leaves the cells near the access point (kept inside the last pixel): up
    // to there it walks the pixels.
    const double left = std::max(apC - kNearCells, 0) * cellSize;
    const double right = std::min((apC + kNearCells + 1) * cellSize, site.width());
    const double top = std::max(apR - kNearCells, 0) * cellSize;
    const double bottom = std::min((apR + kNearCells + 1) * cellSize, site.height());
    double t = 1;
    if (dx > 0) t = std::min(t, (right - ap.x) / dx);
    if (dx < 0) t = std::min(t, (left - ap.x) / dx);
    if (dy > 0) t = std::min(t, (bottom - ap.y) / dy);
    if (dy < 0) t = std::min(t, (top - ap.y) / dy);
    const double x0 = std::clamp(ap.x + t * dx, left, std::nextafter(right, left));
    const double y0 = std::clamp(ap.y + t * dy, top, std::nextafter(bottom, top));
    const int32_t lastColumn = site.width() - 1, lastRow = site.height() - 1;
    const auto i0 = static_cast<int32_t>(ap.x), j0 = static_cast<int32_t>(ap.y);
    WallCounter walls(i0, j0, site.isWall(i0, j0));
    const auto visit = [&](int32_t i, int32_t j) { walls.visit(i, j, site.isWall(i, j)); };
    walkPixels(ap.x, ap.y, x0, y0, 0, lastColumn, 0, lastRow, visit);

    // Then every cell it passes through, one step across or down at a time; the pixels of a
    // wall cell are walked, so that the count is the one along the ray's pixels.
    int32_t c = static_cast<int32_t>(x0) / cellSize, r = static_cast<int32_t>(y0) / cellSize;
    const int32_t cEnd = std::min(static_cast<int32_t>(toX) / cellSize, cols - 1);
    const int32_t rEnd = std::min(static_cast<int32_t>(toY) / cellSize, rows - 1);
    const int32_t stepC = dx > 0 ? 1 : -1, stepR = dy > 0 ? 1 : -1;
    const double inf = HUGE_VAL;
    const double deltaX = dx != 0 ? cellSize / std::fabs(dx) : inf;
    const double deltaY = dy != 0 ? cellSize / std::fabs(dy) : inf;
    // The ray's parameter (0 at the access point, 1 at the target) at the next cell edge.
    double nextX = dx > 0   ? ((c + 1) * cellSize - ap.x) / dx
                   : dx < 0 ? (c * cellSize - ap.x) / dx
                            : inf;
    double nextY = dy > 0   ? ((r + 1) * cellSize - ap.y) / dy
                   : dy < 0 ? (r * cellSize - ap.y) / dy
                            : inf;
    // How far the current cell's centre is from the ray, across it (signed; in pixels),
    // and how much a step across or down changes that (taking the last column's and row's
    // centres a whole cell on, which only tells their nearest ray a little less well).
    const double ux = dx / length, uy = dy / length;
    double off = ux * (centreYs[static_cast<size_t>(r)] - ap.y) -
                 uy * (centreXs[static_cast<size_t>(c)] - ap.x);
    const double offAcross = -uy * cellSize * stepC, offDown = ux * cellSize * stepR;
    const double offScale = 1024.0 / cellSize;
    while (c != cEnd || r != rEnd) {
        const bool across = r == rEnd || (c != cEnd && nextX < nextY);
        double entered;
        if (across) {
            entered = nextX;
            c += stepC;
            nextX += deltaX;
            off += offAcross;
        } else {
            entered = nextY;
            r += stepR;
            nextY += deltaY;
            off += offDown;
        }
        const size_t here = at(c, r);
        uint32_t& cell = cells[here];
        if (cell & kWallCell) {
            const double leaves = std::min(nextX, std::min(nextY, 1.0));
            const int32_t i = c * cellSize, j = r * cellSize;
            const double xIn = ap.x + entered * dx, yIn = ap.y + entered * dy;
            const double xOut = ap.x + leaves * dx, yOut = ap.y + leaves * dy;
            const int32_t iHigh = std::min(i + cellSize - 1, lastColumn);
            const int32_t jHigh = std::min(j + cellSize - 1, lastRow);
            if (pixelMask.empty()) {
                walkPixels(xIn, yIn, xOut, yOut, i, iHigh, j, jHigh, visit);
            } else {
                const uint64_t mask = pixelMask[here];
                walkPixels(xIn, yIn, xOut, yOut, i, iHigh, j, jHigh, [&](int32_t pi, int32_t pj) {
                    const auto bit = static_cast<uint32_t>((pj - j) * cellSize + (pi - i));
                    walls.visit(pi, pj, (mask >> bit) & 1);
                });
            }
        } else {
            walls.passClear();
        }
        // Past the near cells (which it never enters again): the cell takes the count as
        // the ray leaves it if this ray passes nearer its centre than any before.
        const auto near = static_cast<uint32_t>(std::min(std::fabs(off) * offScale, 32767.0))
                          << kOffShift;
        if (near < (cell & kOffMask))
            cell =
                (cell & kWallCell) | near | static_cast<uint32_t>(std::min(walls.count(), 0xFFFF));
    }
}

void CellRays::count(int accessPoint, std::vector<uint16_t>& walls) {
    const ModelAccessPoint& ap = site.model().accessPoints[static_cast<size_t>(accessPoint)];
    apC = std::min(static_cast<int32_t>(ap.x) / cellSize, cols - 1);
    apR = std::min(static_cast<int32_t>(ap.y) / cellSize, rows - 1);
    for (uint32_t& cell : cells)
        cell = (cell & kWallCell) | kOffMask;
    // Around the border in order, so that each ray passes mostly through cells the one
    // before it has just brought into the cache.
    for (int32_t c = 0; c < cols; ++c)
        cast(ap, centreXs[static_cast<size_t>(c)], centreYs.front());
    for (int32_t r = 1; r < rows; ++r)
        cast(ap, centreXs.back(), centreYs[static_cast<size_t>(r)]);
    for (int32_t c = cols - 2; c >= 0; --c)
        cast(ap, centreXs[static_cast<size_t>(c)], centreYs.back());
    for (int32_t r = rows - 2; r >= 1; --r)
        cast(ap, centreXs.front(), centreYs[static_cast<size_t>(r)]);
    walls.resize(cells.size());
    for (size_t i = 0; i < cells.size(); ++i)
        walls[i] = static_cast<uint16_t>(cells[i]);
    for (int32_t r = std::max(apR - kNearCells, 0); r <= std::min(apR + kNearCells, rows - 1); ++r)
        for (int32_t c = std::max(apC - kNearCells, 0); c <= std::min(apC + kNearCells, cols - 1);
             ++c) {
            bool ends = false;
            walls[at(c, r)] =
                static_cast<uint16_t>(site.walkWalls(ap.x, ap.y, centreXs[static_cast<size_t>(c)],
                                                     centreYs[static_cast<size_t>(r)], ends));
        }
}

} // namespace walkmere::sim
