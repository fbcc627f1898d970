#include "sim/SiteModel.h"

#include "platform/StrictJson.h"

#include <cstdio>
#include <filesystem>

namespace walkmere::sim {

std::string bssidText(const Bssid& bssid) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bssid[0], bssid[1], bssid[2],
                  bssid[3], bssid[4], bssid[5]);
    return text;
}

std::optional<SiteModel> loadSiteModel(const std::string& path, std::string& error) {
    const SmallFileRead file = readSmallRegularFile(path, kMaxSiteModelBytes, "the site model");
    if (file.fault == SmallFileRead::Fault::TooLarge)
        error = path + ": " + std::to_string(file.size) + " bytes, more than the " +
                std::to_string(kMaxSiteModelBytes) + " a site model may have";
    else if (file.fault != SmallFileRead::Fault::None)
        error = path + ": " + file.problem;
    if (file.fault != SmallFileRead::Fault::None) return std::nullopt;
    std::string why;
    std::optional<SiteModel> model = parseSiteModel(file.text, why);
    if (!model) error = path + ": " + why;
    return model;
}

std::string modelSitePath(const SiteModel& model, const std::string& modelPath) {
    const std::filesystem::path site(model.sitePath);
    if (site.is_absolute()) return site.string();
    return (std::filesystem::path(modelPath).parent_path() / site).lexically_normal().string();
}

} // namespace walkmere::sim
