#include "survey/SafetyCopy.h"

#include "platform/DataFolder.h"
#include "survey/FileOps.h"
#include "survey/TempFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace walkmere {

namespace {

constexpr size_t kCopyPiece = 1 << 16;
constexpr int kMaxNameTries = 1000;

std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

SafetyCopy failed(const std::string& what, int error) {
    SafetyCopy copy;
    copy.error = what + ": " + std::strerror(error);
    return copy;
}

} // namespace

SafetyCopy keepSafetyCopy(int fd, const std::string& sitePath, const std::string& folder) {
    const std::filesystem::path site(sitePath);
    const std::filesystem::path into = dataFolder() / folder;
    std::error_code ec;
    std::filesystem::create_directories(into, ec);
    if (ec) return failed("cannot make " + into.string(), ec.value());

    const std::string stem = site.stem().string().empty() ? "site" : site.stem().string();
    const std::string ext = site.extension().string();
    const std::filesystem::path base = into / (stem + "-" + timeStamp());

    TempFile temp;
    if (int error = temp.createBeside(base.string(), "part"))
        return failed("cannot write in " + into.string(), error);
    std::vector<uint8_t> piece(kCopyPiece);
    for (uint64_t at = 0;;) {
        const ssize_t n = readUpTo(fd, piece.data(), piece.size(), at);
        if (n < 0) return failed("cannot read " + sitePath, errno);
        if (n == 0) break;
        if (int error = writeAllAt(temp.descriptor(), piece.data(), static_cast<size_t>(n), at))
            return failed("cannot write in " + into.string(), error);
        at += static_cast<uint64_t>(n);
        if (static_cast<size_t>(n) < piece.size()) break;
    }

    // The copy may be read by whoever could read the site file, no one else.
    struct stat st {};
    const mode_t mode = ::fstat(fd, &st) == 0 ? (st.st_mode & 0666) : 0600;
    for (int attempt = 1; attempt <= kMaxNameTries; ++attempt) {
        const std::string name =
            base.string() + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + ext;
        const int error = temp.commitAs(name, /*replaceExisting=*/false, mode);
        if (error == 0) {
            SafetyCopy copy;
            copy.path = name;
            return copy;
        }
        if (error != EEXIST) return failed("cannot write " + name, error);
    }
    return failed("cannot name a copy in " + into.string(), EEXIST);
}

} // namespace walkmere
