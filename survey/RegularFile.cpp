#include "survey/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace walkmere {

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

} // namespace walkmere
