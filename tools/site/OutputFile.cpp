#include "tools/site/OutputFile.h"

#include "tools/site/SiteCommand.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace walkmere::sitetool {

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

OutputFile::OutputFile(std::string targetPath) : target(std::move(targetPath)) {
    if (int error = temp.createBeside(target, "part"))
        throw FileError(target + ": cannot create: " + std::strerror(error));
}

void OutputFile::writeAt(uint64_t offset, const void* bytes, size_t n) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    size_t done = 0;
    while (done < n) {
        ssize_t w =
            ::pwrite(temp.descriptor(), p + done, n - done, static_cast<off_t>(offset + done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0)
            throw FileError(target + ": cannot write: " + std::strerror(w < 0 ? errno : EIO));
        done += static_cast<size_t>(w);
    }
}

void OutputFile::commit(bool replaceExisting) {
    if (int error = temp.commitAs(target, replaceExisting)) {
        if (error == EEXIST)
            throw FileError(target + ": already exists (use --force to replace it)");
        throw FileError(target + ": cannot write: " + std::strerror(error));
    }
}

} // namespace walkmere::sitetool
