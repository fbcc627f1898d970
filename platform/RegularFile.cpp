#include "platform/RegularFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace walkmere {

bool sameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

const char* fileTypeName(mode_t mode) {
    switch (mode & S_IFMT) {
    case S_IFREG:
        return "a regular file";
    case S_IFDIR:
        return "a directory";
    case S_IFIFO:
        return "a FIFO";
    case S_IFCHR:
        return "a character device";
    case S_IFBLK:
        return "a block device";
    case S_IFSOCK:
        return "a socket";
    case S_IFLNK:
        return "a symbolic link";
    default:
        return "of an unknown type";
    }
}

std::string notRegularFileText(mode_t mode) {
    return std::string("not a regular file (") + fileTypeName(mode) + ")";
}

namespace {

RegularFileOpening systemFailure() {
    RegularFileOpening result;
    result.error = errno;
    result.problem = std::strerror(result.error);
    return result;
}

RegularFileOpening wrongType(mode_t mode) {
    RegularFileOpening result;
    result.notRegular = true;
    result.problem = notRegularFileText(mode);
    return result;
}

} // namespace

RegularFileOpening openRegularFile(const std::string& path, int flags) {
    // A device is not even opened: opening one can have effects of its own (a serial
    // line raising its control lines, a tape rewinding).
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return wrongType(st.st_mode);
    OwnedFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return systemFailure();
    if (!S_ISREG(st.st_mode)) return wrongType(st.st_mode);
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) return systemFailure();
    RegularFileOpening result;
    result.fd = std::move(fd);
    return result;
}

ReplaceTarget resolveReplaceTarget(const std::string& path) {
    // As many links as the system itself follows before it gives up with ELOOP.
    constexpr int kMaxLinks = 40;
    ReplaceTarget target;
    target.path = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        if (::lstat(target.path.c_str(), &st) != 0) {
            // Nothing there yet (or a missing folder, which creating the file will say).
            if (errno != ENOENT) {
                target.error = errno;
                target.problem = std::strerror(errno);
            }
            return target;
        }
        if (S_ISREG(st.st_mode)) return target;
        if (!S_ISLNK(st.st_mode)) {
            target.notRegular = true;
            target.problem = notRegularFileText(st.st_mode);
            return target;
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(target.path.c_str(), link, sizeof link);
        if (n < 0 || n == static_cast<ssize_t>(sizeof link)) {
            target.error = n < 0 ? errno : ENAMETOOLONG;
            target.problem = std::strerror(target.error);
            return target;
        }
        const std::string next(link, static_cast<size_t>(n));
        // A relative link is read from the folder that holds it.
        const size_t slash = target.path.rfind('/');
        if (next.starts_with('/') || slash == std::string::npos)
            target.path = next;
        else
            target.path = target.path.substr(0, slash + 1) + next;
    }
    target.error = ELOOP;
    target.problem = std::strerror(ELOOP);
    return target;
}

} // namespace walkmere
