#pragma once

#include <optional>
#include <string>

#include "platform/MessageIcon.h"

namespace walkmere {

// The title that OK boxes without a caption of their own carry.
inline constexpr const char* kApplicationTitle = "Plotra";

// How a Yes/No box was left. The handheld's box could only be left by Yes or No; here
// Escape and the window's close button leave it without an answer, and each caller takes
// its own safe answer for that (keep the points, delete nothing).
enum class YesNoAnswer { Yes, No, Dismissed };

struct FileDialogRequest {
    std::string filter;           // "Site Files (*.kvs)|*.kvs|All Files (*.*)|*.*||"
    std::string defaultExtension; // appended when the chosen name has none
    std::string initialName;
    std::string initialFolder; // where the dialog opens; "" leaves it to the toolkit
    bool fileMustExist = false;
    bool pathMustExist = false;
    bool promptOverwrite = false;
};

// Everything the program says to the user or asks of them: message boxes, Yes/No boxes,
// file dialogs and the wait cursor. The program has a Qt implementation; the tests have a
// scripted one that answers from a script and records every text shown.
class IPrompter {
public:
    virtual ~IPrompter() = default;
    // An OK box. An empty caption means the application's title.
    virtual void showMessage(const std::string& text, const std::string& caption = {},
                             MessageIcon icon = MessageIcon::None) = 0;
    // A Yes/No box without an icon.
    virtual YesNoAnswer askYesNo(const std::string& text, const std::string& caption = {}) = 0;
    // File dialogs; nothing when the user cancels.
    virtual std::optional<std::string> askOpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> askSaveFile(const FileDialogRequest& request) = 0;
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
};

} // namespace walkmere
