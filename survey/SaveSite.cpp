#include "survey/SaveSite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/OwnedFd.h"
#include "platform/Prompter.h"
#include "platform/RegularFile.h"
#include "survey/FileOps.h"
#include "survey/SurveyStore.h"
#include "survey/TellSurveyor.h"
#include "survey/TempFile.h"

namespace walkmere {

namespace {

constexpr size_t kCopyPiece = 64 * 1024;

// Makes the rename itself durable. File systems that cannot flush a folder say EINVAL.
int flushFolderOf(const std::string& target) {
    std::filesystem::path folder = std::filesystem::path(target).parent_path();
    if (folder.empty()) folder = ".";
    OwnedFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return errno;
    if (::fsync(dir.get()) != 0 && errno != EINVAL) return errno;
    return 0;
}

} // namespace

int copySiteFile(const std::string& source, const std::string& destination) {
    // A link gets the copy in the file it names; a device or FIFO is never replaced.
    const ReplaceTarget replaced = resolveReplaceTarget(destination);
    if (!replaced.problem.empty()) return replaced.notRegular ? EINVAL : replaced.error;
    const std::string& target = replaced.path;

    RegularFileOpening opened = openRegularFile(source, O_RDONLY);
    if (!opened.fd.valid()) return opened.notRegular ? EINVAL : opened.error;
    const OwnedFd in = std::move(opened.fd);
    struct stat sourceStat;
    if (::fstat(in.get(), &sourceStat) != 0) return errno;

    // Beside the destination, so that the rename replaces it in one step.
    TempFile copy;
    if (int error = copy.createBeside(target, "copy")) return error;

    std::vector<uint8_t> piece(kCopyPiece);
    uint64_t offset = 0;
    for (;;) {
        ssize_t got = readUpTo(in.get(), piece.data(), piece.size(), offset);
        if (got < 0) return errno;
        if (got == 0) break;
        if (int error =
                writeAllAt(copy.descriptor(), piece.data(), static_cast<size_t>(got), offset))
            return error;
        offset += static_cast<uint64_t>(got);
    }

    // An existing file keeps its permissions; a new one gets those of the source.
    if (int error = copy.commitAs(target, true, sourceStat.st_mode & 0777)) return error;
    return flushFolderOf(target);
}

SaveOutcome runSaveFlow(CSurveyStore& store, IPrompter& prompter, ISoundPlayer& sound,
                        const std::string& openedPath,
                        const std::function<void(SignatureImage&)>& runSignOff) {
    SignatureImage pad;
    runSignOff(pad);

    // The open file always carries the latest signature, whatever the user does next.
    const StoreOutcome signature =
        writeSignature(store, [&pad](int x, int y) { return pad.isBlankPixel(x, y); });
    tellSurveyor(signature.notices, prompter, sound);

    FileDialogRequest request;
    request.filter = kSaveSiteFilter;
    request.defaultExtension = kSaveSiteExtension;
    request.initialName = openedPath;
    request.promptOverwrite = true;
    request.pathMustExist = true;
    std::optional<std::string> chosen = prompter.askSaveFile(request);
    if (!chosen) return SaveOutcome::Cancelled;

    // Copying a file onto itself would empty it; the file already holds the whole survey.
    if (sameFile(store.sitePath(), *chosen)) return SaveOutcome::SameFile;

    if (copySiteFile(store.sitePath(), *chosen) != 0) {
        prompter.showMessage(kCouldNotCopyText, kSaveCaption);
        return SaveOutcome::CopyFailed;
    }
    store.setSitePath(*chosen);
    return SaveOutcome::Copied;
}

} // namespace walkmere
