#pragma once

#include <functional>
#include <string>

#include "survey/SignatureBlock.h"

namespace walkmere {

class CSurveyStore;
class IPrompter;
class ISoundPlayer;

inline constexpr const char* kSaveSiteFilter =
    "Kivo Site Files (*.kvs)|*.kvs|All Files (*.*)|*.*||";
inline constexpr const char* kSaveSiteExtension = ".kvs";
inline constexpr const char* kCouldNotCopyText = "Could not copy file.";
inline constexpr const char* kSaveCaption = "Kivo";

// Copies `source` over `destination` so that the destination is never half written: the
// bytes go into a new temporary file in the destination's folder, which is flushed and
// then renamed over the destination; the folder is flushed last. A destination that is a
// symbolic link gets the copy in the file it points to, and the link stays. A destination
// that is a device, FIFO, socket or folder is refused (EINVAL) and left alone. On failure
// the temporary file is removed and the destination is as it was. Returns 0 or the errno
// of the failure.
int copySiteFile(const std::string& source, const std::string& destination);

enum class SaveOutcome {
    Cancelled,  // the save dialog was cancelled
    SameFile,   // the chosen name is the open file: it already holds the whole survey
    Copied,     // the survey goes on in the copy
    CopyFailed, // told; the survey goes on in the old file
};

// The save command. `runSignOff` shows the sign-off dialog modally and copies its pad into
// the image it is given once the dialog has closed (how it closed does not matter). The
// signature is then written into the open site file whatever happens next (what went wrong
// is told first); the save dialog offers `openedPath`, and a new name gets a copy of the
// site file, which becomes the store's site. `openedPath` itself is not changed.
SaveOutcome runSaveFlow(CSurveyStore& store, IPrompter& prompter, ISoundPlayer& sound,
                        const std::string& openedPath,
                        const std::function<void(SignatureImage&)>& runSignOff);

} // namespace walkmere
