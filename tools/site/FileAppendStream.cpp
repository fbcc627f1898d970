#include "tools/site/FileAppendStream.h"

#include "platform/RegularFile.h"
#include "survey/FileOps.h"
#include "tools/site/OutputFile.h"
#include "tools/site/SiteCommand.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace walkmere::sitetool {

namespace {

constexpr size_t kPieceBytes = 64 * 1024;

// A file made and unlinked at once in `folder`; invalid when the folder takes none.
OwnedFd unnamedFileIn(const std::string& folder) {
    std::string pattern = folder + "/.walkmere-report.XXXXXX";
    OwnedFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.valid()) ::unlink(pattern.c_str());
    return fd;
}

} // namespace

FileAppendBuffer::FileAppendBuffer(int fd, uint64_t start)
    : fd(fd), written(start), buffer(kPieceBytes) {
    setp(buffer.data(), buffer.data() + buffer.size());
}

bool FileAppendBuffer::writeOut() {
    if (failure) return false;
    const size_t n = size_t(pptr() - pbase());
    if (int error = writeAllAt(fd, pbase(), n, written)) {
        failure = error;
        setp(nullptr, nullptr); // every later write fails at once
        return false;
    }
    written += n;
    setp(buffer.data(), buffer.data() + buffer.size());
    return true;
}

FileAppendBuffer::int_type FileAppendBuffer::overflow(int_type c) {
    if (!writeOut()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int FileAppendBuffer::sync() {
    return writeOut() ? 0 : -1;
}

FileAppendStream::FileAppendStream(int fd, std::string name, uint64_t start)
    : FileAppendBuffer(fd, start), std::ostream(static_cast<FileAppendBuffer*>(this)),
      name(std::move(name)) {}

void FileAppendStream::check() const {
    if (error()) throw FileError(name + ": cannot write: " + std::strerror(error()));
}

uint64_t FileAppendStream::finish() {
    flush();
    check();
    return position();
}

OwnedFd makeSpoolFile(const std::string& output) {
    if (!isStandardOutput(output)) {
        const std::string replaced = resolveReplaceTarget(output).path;
        const size_t slash = replaced.rfind('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : replaced.substr(0, slash);
        if (OwnedFd fd = unnamedFileIn(folder); fd.valid()) return fd;
    }
    const char* tmp = std::getenv("TMPDIR");
    OwnedFd fd = unnamedFileIn(tmp && *tmp ? tmp : "/tmp");
    if (!fd.valid())
        throw FileError(std::string("cannot make a temporary file: ") + std::strerror(errno));
    return fd;
}

void appendFileBytes(std::ostream& to, int fd, uint64_t length) {
    std::vector<char> piece(kPieceBytes);
    for (uint64_t offset = 0; offset < length && to;) {
        const size_t want = size_t(std::min<uint64_t>(piece.size(), length - offset));
        const ssize_t got = readUpTo(fd, piece.data(), want, offset);
        if (got <= 0)
            throw FileError(std::string("cannot read back a temporary file: ") +
                            (got < 0 ? std::strerror(errno) : "it is shorter than written"));
        to.write(piece.data(), got);
        offset += uint64_t(got);
    }
}

} // namespace walkmere::sitetool
