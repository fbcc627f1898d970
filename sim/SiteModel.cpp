#include "sim/SiteModel.h"

#include "platform/RegularFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace walkmere::sim {

std::string bssidText(const Bssid& bssid) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bssid[0], bssid[1], bssid[2],
                  bssid[3], bssid[4], bssid[5]);
    return text;
}

namespace {

// The whole file, up to one byte more than the limit (which shows a file that grew after
// its size was looked at); false with the system's reason in `error`.
bool readBounded(int fd, std::string& text, std::string& error) {
    text.resize(kMaxSiteModelBytes + 1);
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    text.resize(done);
    return true;
}

} // namespace

std::optional<SiteModel> loadSiteModel(const std::string& path, std::string& error) {
    const RegularFileOpening opened = openRegularFile(path, O_RDONLY);
    if (!opened.fd.valid()) {
        error = path + ": cannot open the site model: " + opened.problem;
        return std::nullopt;
    }
    const auto tooLarge = [&](uint64_t size) {
        error = path + ": " + std::to_string(size) + " bytes, more than the " +
                std::to_string(kMaxSiteModelBytes) + " a site model may have";
        return std::nullopt;
    };
    struct stat st {};
    if (::fstat(opened.fd.get(), &st) == 0 &&
        static_cast<uint64_t>(st.st_size) > kMaxSiteModelBytes)
        return tooLarge(static_cast<uint64_t>(st.st_size));
    std::string text;
    std::string why;
    if (!readBounded(opened.fd.get(), text, why)) {
        error = path + ": cannot read the site model: " + why;
        return std::nullopt;
    }
    if (text.size() > kMaxSiteModelBytes) return tooLarge(text.size());
    std::optional<SiteModel> model = parseSiteModel(text, why);
    if (!model) error = path + ": " + why;
    return model;
}

std::string modelSitePath(const SiteModel& model, const std::string& modelPath) {
    const std::filesystem::path site(model.sitePath);
    if (site.is_absolute()) return site.string();
    return (std::filesystem::path(modelPath).parent_path() / site).lexically_normal().string();
}

} // namespace walkmere::sim
