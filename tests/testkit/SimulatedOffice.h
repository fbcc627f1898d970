#pragma once
// The demo office as a simulated site for the tests: a copy of its site file with a site
// model beside it that names it.

#include "coverage/ModelSite.h"
#include "scan/ApRecord.h"
#include "sim/SiteModel.h"
#include "testkit/TempDir.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

namespace walkmere::simtest {

// Two access points at the two ends of the office's corridor, six BSSs in all on 2.4 and
// 5 GHz, each heard everywhere in the office (the noise floor lies far below what the walls
// leave of any of them), with shadowing and a fluctuation of 2 dB from scan to scan.
inline constexpr const char* kCorridorModel = R"({
  "site": "office.kvs",
  "units": "m",
  "accessPoints": [
    {"name": "West", "x": 60, "y": 300, "radios": [
      {"band": "2.4", "channel": 1, "power": 17, "bss": [
        {"bssid": "02:00:00:00:01:01", "ssid": "Corp"},
        {"bssid": "02:00:00:00:01:02", "ssid": "Guest"}]},
      {"band": "5", "channel": 36, "power": 20, "bss": [
        {"bssid": "02:00:00:00:01:51", "ssid": "Corp"}]}]},
    {"name": "East", "x": 740, "y": 300, "radios": [
      {"band": "2.4", "channel": 11, "power": 17, "bss": [
        {"bssid": "02:00:00:00:02:01", "ssid": "Corp"},
        {"bssid": "02:00:00:00:02:02", "ssid": "Guest"}]},
      {"band": "5", "channel": 149, "power": 20, "bss": [
        {"bssid": "02:00:00:00:02:51", "ssid": "Corp"}]}]}
  ],
  "propagation": {
    "shadowing": {"sigma": 3, "distance": 5, "seed": 11},
    "fluctuation": 2,
    "noiseFloor": {"2.4": -127, "5": -127}
  }
})";
inline constexpr double kFluctuationDb = 2.0;
inline constexpr size_t kCorridorBssCount = 6;

// The committed demo site, from the source folder the tests run for.
inline std::filesystem::path demoSite() {
    const char* source = std::getenv("WALKMERE_SOURCE_DIR");
    return std::filesystem::path(source ? source : ".") / "res/demo/office.kvs";
}

// The office's site (office.kvs) and a model (office.json) in `dir`.
struct SimulatedOffice {
    std::filesystem::path site;
    std::filesystem::path model;
};

inline SimulatedOffice makeSimulatedOffice(const std::filesystem::path& dir,
                                           const std::string& modelJson = kCorridorModel) {
    SimulatedOffice office{dir / "office.kvs", dir / "office.json"};
    std::filesystem::copy_file(demoSite(), office.site,
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(office.model) << modelJson;
    return office;
}

// The office with the demo's own model (res/demo/office.json) beside it.
inline SimulatedOffice makeDemoOffice(const std::filesystem::path& dir) {
    std::ifstream model(demoSite().replace_filename("office.json"));
    return makeSimulatedOffice(dir, std::string(std::istreambuf_iterator<char>(model), {}));
}

// The model laid over its site, as the boards lay it; throws when it cannot be.
inline ModelSite openOffice(const SimulatedOffice& office) {
    std::string error;
    std::optional<ModelSite> opened = openModelSite(office.model.string(), error);
    if (!opened) throw std::runtime_error(error);
    return std::move(*opened);
}

// The true RSSI of every BSS heard at (x, y), by its BSSID as the board's records write it.
inline std::map<std::string, double> truthAt(const sim::SimulatedSite& site, double x, double y) {
    std::map<std::string, double> truth;
    for (const sim::HeardBss& heard : site.truthAt(x, y)) {
        const sim::ModelBss& bss = site.model()
                                       .accessPoints[size_t(heard.accessPoint)]
                                       .radios[size_t(heard.radio)]
                                       .bss[size_t(heard.bss)];
        ApRecord record;
        record.setMac(bss.bssid.data());
        truth[record.macText()] = heard.rssiDbm;
    }
    return truth;
}

// "" when `heard` (BSSID text and whole dBm) holds exactly the BSSs of `truth`, each within
// the fluctuation of its true RSSI and half a dBm of rounding; else what is wrong.
inline std::string offTruth(const std::map<std::string, int>& heard,
                            const std::map<std::string, double>& truth) {
    std::string wrong;
    for (const auto& [mac, rssi] : heard) {
        const auto t = truth.find(mac);
        if (t == truth.end())
            wrong += mac + " is not heard there; ";
        else if (std::abs(rssi - t->second) > kFluctuationDb + 0.5)
            wrong += mac + " at " + std::to_string(rssi) + " dBm, truly " +
                     std::to_string(t->second) + "; ";
    }
    for (const auto& [mac, rssi] : truth)
        if (!heard.contains(mac)) wrong += mac + " is missing; ";
    return wrong;
}

} // namespace walkmere::simtest
