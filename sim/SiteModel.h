#pragma once

#include "sim/RadioBand.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace walkmere::sim {

using Bssid = std::array<uint8_t, 6>;

// "00:11:22:33:44:55", the form the model file writes a BSSID in (lower case).
std::string bssidText(const Bssid& bssid);

// One network a radio sends: its BSSID and SSID (up to 32 bytes; empty for a hidden one).
struct ModelBss {
    Bssid bssid{};
    std::string ssid;
};

// One radio of an access point: the band, the channel and the transmit power (dBm, EIRP),
// and the networks it sends, each on its own BSSID.
struct ModelRadio {
    RadioBand band = RadioBand::Ghz24;
    int channel = 1;
    double powerDbm = 20;
    std::vector<ModelBss> bss;
};

// An access point: its name, where it stands on the plan (pixels, x to the right, y down;
// pixel (i, j) covers i <= x < i + 1, j <= y < j + 1), its radios.
struct ModelAccessPoint {
    std::string name;
    double x = 0;
    double y = 0;
    std::vector<ModelRadio> radios;
};

// How the signal falls off. RSSI at distance d metres from a radio, through w walls:
//   power - (referenceLoss[band] + 10 exponent log10(max(d, 1 m))) - w wallLoss + shadowing
// where a wall is a run of dark plan pixels (luminance below wallThreshold) that the
// straight line from the access point to the spot enters, and shadowing is a smooth random
// field per radio (normal with shadowingSigma dB, correlated over shadowingDistance metres,
// from the seed; 0 when sigma is 0). Each scan adds a fluctuation drawn uniformly from
// [-fluctuation, +fluctuation] dB per BSS. What is weaker than the band's noise floor is not
// heard.
struct Propagation {
    PerBand referenceLossDb{{40, 46.4, 47.9}}; // free space at 1 m at the band's low edge
    double exponent = 3.0;
    int wallThreshold = 100; // luminance 0..255
    double wallLossDb = 5.0;
    double shadowingSigmaDb = 0;
    double shadowingDistanceM = 5.0;
    uint64_t seed = 1;
    double fluctuationDb = 2.0;
    PerBand noiseFloorDbm{{-95, -95, -95}};
};

// What the site's scale counts: plan pixels per metre or per foot.
enum class LengthUnit { Metres, Feet };
inline constexpr double kMetresPerFoot = 0.3048;

// A site model: the site file it belongs to (as written in the model: relative to the
// model's own folder unless absolute), the unit of the site's scale, the access points and
// the propagation.
struct SiteModel {
    std::string sitePath;
    LengthUnit unit = LengthUnit::Metres;
    std::vector<ModelAccessPoint> accessPoints;
    Propagation propagation;
};

// The largest model file read, and the most of each thing a model may hold.
inline constexpr size_t kMaxSiteModelBytes = 1 << 20;
inline constexpr size_t kMaxModelAccessPoints = 1000;
inline constexpr size_t kMaxAccessPointRadios = 8;
inline constexpr size_t kMaxRadioBss = 16;

// Reads a model from JSON text. Nothing, with "KEY: reason" in `error`, for a model that is
// damaged or inconsistent: bad JSON, a key given twice in one object, a missing, mistyped or
// unknown key, an unknown band, a channel that does not exist in its band, an access point
// without radios or a radio without networks, a BSSID twice (anywhere in the model), two
// access points of one name, an SSID over 32 bytes, numbers out of range. KEY names the place
// as a path: "accessPoints[2].radios[0].channel". Nothing is taken from half a model.
std::optional<SiteModel> parseSiteModel(std::string_view json, std::string& error);
// The same from a file: a regular file of at most kMaxSiteModelBytes. The error starts with
// the file's name as given.
std::optional<SiteModel> loadSiteModel(const std::string& path, std::string& error);
// The site file the model names, resolved against the folder of the model file at
// `modelPath`.
std::string modelSitePath(const SiteModel& model, const std::string& modelPath);

} // namespace walkmere::sim
