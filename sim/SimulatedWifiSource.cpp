#include "sim/SimulatedWifiSource.h"

#include <cmath>
#include <filesystem>

namespace walkmere::sim {

SimulatedWifiSource::SimulatedWifiSource(std::shared_ptr<const SimulatedSite> site,
                                         std::shared_ptr<const SurveyorPosition> position,
                                         const std::string& modelPath, IClock& clock)
    : site(std::move(site)), position(std::move(position)),
      serialText(
          boardString(std::filesystem::path(modelPath).stem().string(), kSerialChars, "sim")),
      clock(clock),
      // Not the shadowing's own seed: the draws are another stream than the lattice's.
      random(this->site->model().propagation.seed ^ 0x5ca1ab1e0ddba11ULL) {}

std::optional<ScanDump> SimulatedWifiSource::next(std::string&) {
    const PlanSpot at = position->get();
    ScanDump dump;
    dump.readAt = clock.seconds();
    const SiteModel& model = site->model();
    for (const HeardBss& heard : site->scanAt(at.x, at.y, random)) {
        const ModelRadio& radio = model.accessPoints[static_cast<size_t>(heard.accessPoint)]
                                      .radios[static_cast<size_t>(heard.radio)];
        const ModelBss& bss = radio.bss[static_cast<size_t>(heard.bss)];
        WifiBss out;
        out.bssid = bss.bssid;
        out.frequency = channelFrequency(radio.band, radio.channel);
        out.signalMbm = static_cast<int32_t>(std::lround(heard.rssiDbm)) * 100;
        out.seenMsAgo = 0;
        out.ssid = bss.ssid;
        dump.bss.push_back(std::move(out));
    }
    return dump;
}

} // namespace walkmere::sim
