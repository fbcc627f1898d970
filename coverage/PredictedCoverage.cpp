#include "coverage/PredictedCoverage.h"

#include "coverage/RadioGroups.h"
#include "sim/RadioBand.h"

#include <algorithm>
#include <limits>
#include <span>
#include <vector>

namespace walkmere {

int32_t predictionCell(const sim::SimulatedSite& site) {
    uint64_t radios = 0;
    for (const sim::ModelAccessPoint& ap : site.model().accessPoints)
        radios += ap.radios.size();
    const uint64_t cellLimit =
        std::min(kPredictionCells, kPredictionValues / std::max<uint64_t>(radios, 1));
    const int64_t width = site.width(), height = site.height();
    const auto cells = [&](int64_t cell) {
        return uint64_t((width + cell - 1) / cell) * uint64_t((height + cell - 1) / cell);
    };
    int64_t cell = 1;
    while (cells(cell) > cellLimit && cell < std::max(width, height))
        cell += 2;
    return static_cast<int32_t>(cell);
}

bool mapsBss(const sim::ModelRadio& radio, const sim::ModelBss& bss, const NetworkFilter& filter,
             Band band) {
    const bool inBand = band == Band::Any ||
                        (band == Band::Ghz24 && radio.band == sim::RadioBand::Ghz24) ||
                        (band == Band::Ghz5 && radio.band == sim::RadioBand::Ghz5) ||
                        (band == Band::Ghz6 && radio.band == sim::RadioBand::Ghz6);
    return inBand && filter.matches(bss.bssid.data(), bss.ssid);
}

size_t mappedBssCount(const sim::SiteModel& model, const NetworkFilter& filter, Band band) {
    size_t count = 0;
    for (const sim::ModelAccessPoint& ap : model.accessPoints)
        for (const sim::ModelRadio& radio : ap.radios)
            for (const sim::ModelBss& bss : radio.bss)
                count += mapsBss(radio, bss, filter, band) ? 1 : 0;
    return count;
}

std::optional<double> truthMetricAt(const sim::SimulatedSite& site, double x, double y,
                                    const NetworkFilter& filter, const MetricChoice& choice) {
    std::vector<MetricReading> heard;
    for (const sim::HeardBss& h : site.truthAt(x, y)) {
        const sim::ModelRadio& radio =
            site.model().accessPoints[size_t(h.accessPoint)].radios[size_t(h.radio)];
        const sim::ModelBss& bss = radio.bss[size_t(h.bss)];
        heard.push_back({macKey(bss.bssid.data()), h.rssiDbm,
                         static_cast<int32_t>(sim::channelFrequency(radio.band, radio.channel)),
                         mapsBss(radio, bss, filter, choice.band)});
    }
    return metricValue(heard, choice);
}

namespace {

// One radio as the cells hear it: its values over the grid, its noise floor, and its BSSs
// as the metric weighs them, short of their RSSI.
struct HeardRadio {
    std::span<const float> values;
    float noiseFloor;
    std::vector<MetricReading> bss;
};

std::vector<HeardRadio> heardRadios(const sim::SimulatedSite& site, const sim::TruthGrid& grid,
                                    const NetworkFilter& filter, Band band) {
    const sim::SiteModel& model = site.model();
    std::vector<HeardRadio> radios;
    for (int i = 0; i < grid.radioCount(); ++i) {
        const sim::TruthGrid::RadioRef ref = grid.radio(i);
        const sim::ModelRadio& radio =
            model.accessPoints[size_t(ref.accessPoint)].radios[size_t(ref.radio)];
        HeardRadio& heard = radios.emplace_back();
        heard.values = grid.values(i);
        heard.noiseFloor = static_cast<float>(model.propagation.noiseFloorDbm[radio.band]);
        // The channel's frequency tells channels apart across bands, which numbers do not.
        const auto channel = static_cast<int32_t>(sim::channelFrequency(radio.band, radio.channel));
        for (const sim::ModelBss& bss : radio.bss)
            heard.bss.push_back(
                {macKey(bss.bssid.data()), 0, channel, mapsBss(radio, bss, filter, band)});
    }
    return radios;
}

// Keys every BSS of the model by the radio that sends it (RadioGroups.h), once for the
// whole grid: a cell then weighs them as they stand, and the grid is not grouped again at
// each of its cells. Over the whole model the groups are those of any cell's BSSs.
void keyBssByRadio(std::vector<HeardRadio>& radios) {
    std::vector<MetricReading> all;
    for (const HeardRadio& radio : radios)
        all.insert(all.end(), radio.bss.begin(), radio.bss.end());
    keyByRadio(all);
    auto keyed = all.begin();
    for (HeardRadio& radio : radios)
        for (MetricReading& bss : radio.bss)
            bss = *keyed++;
}

} // namespace

MapNodes predictedNodes(const sim::SimulatedSite& site, const sim::TruthGrid& grid,
                        const NetworkFilter& filter, const MetricChoice& choice) {
    MapNodes nodes;
    nodes.columns = grid.columns();
    nodes.rows = grid.rows();
    nodes.step = grid.cell();
    nodes.first = (grid.cell() - 1) / 2;
    nodes.values.resize(size_t(nodes.columns) * size_t(nodes.rows));
    std::vector<HeardRadio> radios = heardRadios(site, grid, filter, choice.band);
    MetricChoice cellChoice = choice;
    if (choice.group == Grouping::Radio) {
        keyBssByRadio(radios);
        cellChoice.group = Grouping::Bssid; // the keys name radios already
    }
    std::vector<MetricReading> heard;
    for (size_t cell = 0; cell < nodes.values.size(); ++cell) {
        heard.clear();
        for (const HeardRadio& radio : radios) {
            const float rssi = radio.values[cell];
            if (rssi < radio.noiseFloor) continue;
            for (MetricReading reading : radio.bss) {
                reading.rssi = rssi;
                heard.push_back(reading);
            }
        }
        const auto value = metricValue(heard, cellChoice);
        nodes.values[cell] =
            value ? static_cast<float>(*value) : std::numeric_limits<float>::quiet_NaN();
    }
    return nodes;
}

} // namespace walkmere
