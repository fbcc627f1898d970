#include "survey/TempFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "survey/FileOps.h"

namespace walkmere {

TempFile::~TempFile() {
    remove();
}

TempFile::TempFile(TempFile&& other) noexcept
    : name(std::exchange(other.name, {})), fd(std::exchange(other.fd, -1)),
      temporaryFolder(other.temporaryFolder) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
    if (this != &other) {
        remove();
        name = std::exchange(other.name, {});
        fd = std::exchange(other.fd, -1);
        temporaryFolder = other.temporaryFolder;
    }
    return *this;
}

int TempFile::createWithPattern(std::string pattern) {
    remove();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int made = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (made < 0) return errno;
    fd = made;
    name.assign(buffer.data());
    return 0;
}

int TempFile::createBeside(const std::string& near, const std::string& tag) {
    const int error = createWithPattern(near + "." + tag + ".XXXXXX");
    temporaryFolder = false;
    return error;
}

int TempFile::createInTemporaryFolder(const std::string& tag) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp && *tmp) ? tmp : "/tmp";
    const int error = createWithPattern(folder + "/walkmere-" + tag + ".XXXXXX");
    temporaryFolder = true;
    return error;
}

int TempFile::createNear(const std::string& near, const std::string& tag) {
    int error = createBeside(near, tag);
    if (error == 0) return 0;
    return createInTemporaryFolder(tag);
}

int TempFile::closeDescriptor() {
    if (fd < 0) return 0;
    int error = ::close(fd) == 0 ? 0 : errno;
    fd = -1;
    return error;
}

int TempFile::finish() {
    if (fd < 0) return 0;
    int error = fileOps().fdatasync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    fd = -1;
    return error;
}

int TempFile::commitAs(const std::string& target, bool replaceExisting,
                       std::optional<mode_t> newFileMode) {
    if (name.empty()) return EBADF;
    mode_t mode;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else if (newFileMode) {
        mode = *newFileMode;
    } else {
        // umask can only be read by setting it; the tool that commits files is one thread.
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if ((fd >= 0 ? ::fchmod(fd, mode) : ::chmod(name.c_str(), mode)) != 0) return errno;
    if (int error = finish()) return error;
    if (replaceExisting) {
        if (::rename(name.c_str(), target.c_str()) != 0) return errno;
    } else if (::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) !=
               0) {
        // Some file systems cannot rename without replacing: look first, then rename.
        if (errno != EINVAL && errno != ENOSYS) return errno;
        if (::access(target.c_str(), F_OK) == 0) return EEXIST;
        if (::rename(name.c_str(), target.c_str()) != 0) return errno;
    }
    name.clear();
    return 0;
}

void TempFile::remove() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!name.empty()) ::unlink(name.c_str());
    name.clear();
}

} // namespace walkmere
