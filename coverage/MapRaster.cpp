#include "coverage/MapRaster.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace walkmere {

MapRaster::Between MapRaster::between(int32_t pixel, int32_t first, int32_t step, int32_t count) {
    if (pixel < first) return {0, 0, 0.0f};
    const int32_t i = (pixel - first) / step;
    if (i >= count - 1) return {count - 1, count - 1, 0.0f};
    return {i, i + 1, float(pixel - first - i * step) / float(step)};
}

MapRaster::MapRaster(int32_t width, int32_t height, MapNodes nodes)
    : w(std::max(width, 0)), h(std::max(height, 0)), lattice(std::move(nodes)) {
    const bool filled = lattice.columns > 0 && lattice.rows > 0 && lattice.step > 0 &&
                        lattice.values.size() == size_t(lattice.columns) * size_t(lattice.rows);
    if (!filled) {
        lattice = {};
        return;
    }
    columns.resize(size_t(w));
    for (int32_t x = 0; x < w; ++x)
        columns[size_t(x)] = between(x, lattice.first, lattice.step, lattice.columns);
}

void MapRaster::fillRow(int32_t y, float* values) const {
    if (lattice.values.empty()) {
        std::fill_n(values, w, std::numeric_limits<float>::quiet_NaN());
        return;
    }
    const Between row = between(y, lattice.first, lattice.step, lattice.rows);
    const float fy = row.share;
    const float* top = lattice.values.data() + size_t(row.node) * size_t(lattice.columns);
    const float* bottom = lattice.values.data() + size_t(row.next) * size_t(lattice.columns);
    for (int32_t x = 0; x < w; ++x) {
        const Between& column = columns[size_t(x)];
        const int32_t i = column.node, j = column.next;
        const float fx = column.share;
        const float corner[4] = {top[i], top[j], bottom[i], bottom[j]};
        const float weight[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
        float sum = 0, weightSum = 0;
        for (int k = 0; k < 4; ++k) {
            if (std::isnan(corner[k])) continue;
            sum += weight[k] * corner[k];
            weightSum += weight[k];
        }
        values[x] = weightSum >= 0.5f ? sum / weightSum : std::numeric_limits<float>::quiet_NaN();
    }
}

} // namespace walkmere
