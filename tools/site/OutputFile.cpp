#include "tools/site/OutputFile.h"

#include "platform/RegularFile.h"
#include "survey/FileOps.h"
#include "survey/SiteFile.h"
#include "survey/SiteHeader.h"
#include "tools/site/PartFileCleanup.h"
#include "tools/site/SiteCommand.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace walkmere::sitetool {

namespace {

// A file with no name in $TMPDIR: it goes with its descriptor, whatever ends the tool.
OwnedFd makeUnnamedFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/walkmere-site.XXXXXX";
    OwnedFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.valid()) ::unlink(pattern.c_str());
    return fd;
}

} // namespace

bool holdsSiteFile(int fd) {
    // The test the site-file validation begins with: the magic at its place in the header.
    SiteHeader header;
    const size_t wanted = SiteHeader::kMagicOffset + 4;
    return readFullyAt(fd, header.bytes.data(), wanted, 0) == ssize_t(wanted) &&
           header.magic() == SiteHeader::kMagic;
}

OutputFile::OutputFile(std::string targetPath, std::ostream& standardOutput, OutputRules rules)
    : target(std::move(targetPath)), standardOutput(standardOutput), rules(rules) {
    if (isStandardOutput(target)) {
        unnamed = makeUnnamedFile();
        if (!unnamed.valid())
            throw FileError(std::string("cannot make a temporary file: ") + std::strerror(errno));
        return;
    }
    const ReplaceTarget resolved = resolveReplaceTarget(target);
    if (resolved.notRegular)
        throw FileError(target + ": " + resolved.problem +
                        "; only a regular file is written (use '-o -' for standard output)");
    if (!resolved.problem.empty()) throw FileError(target + ": " + resolved.problem);
    replaced = resolved.path;
    refuseKeptFile();
    // Beside the file it replaces, so that the rename stays on one file system.
    const StopSignalsHeld held;
    if (int error = temp.createBeside(replaced, "part"))
        throw FileError(target + ": cannot create: " + std::strerror(error));
    setPartFile(temp.path().c_str());
}

OutputFile::~OutputFile() {
    temp.remove(); // first, so that a signal in between finds nothing left to remove
    setPartFile(nullptr);
}

int OutputFile::descriptor() const {
    return unnamed.valid() ? unnamed.get() : temp.descriptor();
}

void OutputFile::writeAt(uint64_t offset, const void* bytes, size_t n) {
    if (int error = writeAllAt(descriptor(), bytes, n, offset)) throwWriteError(error);
}

void OutputFile::throwWriteError(int error) const {
    throw FileError(target + ": cannot write: " + std::strerror(error));
}

void OutputFile::truncate(uint64_t length) {
    if (::ftruncate(descriptor(), static_cast<off_t>(length)) != 0) throwWriteError(errno);
}

void OutputFile::refuseKeptFile() const {
    struct stat existing {};
    if (::stat(replaced.c_str(), &existing) != 0) return; // nothing there to keep
    if (!rules.isSiteFile) {
        // A file that cannot be read may be a survey as well as anything else.
        const RegularFileOpening there = openRegularFile(replaced, O_RDONLY);
        if (!there.fd.valid() && rules.force)
            throw FileError(target +
                            ": cannot read it to tell whether it is a site file: " + there.problem);
        if (there.fd.valid() && holdsSiteFile(there.fd.get()))
            throw FileError(target +
                            ": is a site file, which this command never replaces, not even with "
                            "--force; choose another name");
    }
    if (!rules.force) throw FileError(target + ": already exists (use --force to replace it)");
}

void OutputFile::commit() {
    if (unnamed.valid()) {
        copyToStandardOutput();
        return;
    }
    // Looked at again: the file may have come since the command began.
    refuseKeptFile();
    const int error = temp.commitAs(replaced, rules.force);
    setPartFile(nullptr);
    if (error == EEXIST) throw FileError(target + ": already exists (use --force to replace it)");
    if (error) throw FileError(target + ": cannot write: " + std::strerror(error));
}

void OutputFile::copyToStandardOutput() {
    std::vector<uint8_t> piece(64 * 1024);
    uint64_t offset = 0;
    for (;;) {
        const ssize_t got = readUpTo(unnamed.get(), piece.data(), piece.size(), offset);
        if (got < 0)
            throw FileError(std::string("cannot read back the output: ") + std::strerror(errno));
        if (got == 0) break;
        standardOutput.write(reinterpret_cast<const char*>(piece.data()), got);
        offset += static_cast<uint64_t>(got);
    }
    standardOutput.flush();
    if (!standardOutput) throw FileError("standard output: cannot write");
}

} // namespace walkmere::sitetool
