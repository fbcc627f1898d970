#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace walkmere {

// The title that OK boxes without a caption of their own carry.
inline constexpr const char* kApplicationTitle = "Plotra";

enum class MessageIcon { None, Stop, Exclamation, Information, Question };

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
// file dialogs and the wait cursor. The program has a Qt implementation; tests use the
// scripted one below, which answers from a script and records every text shown.
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

class ScriptedPrompter final : public IPrompter {
public:
    enum class Kind { Message, YesNo, OpenFile, SaveFile, WaitBegin, WaitEnd };
    struct Shown {
        Kind kind;
        std::string text;
        std::string caption;
        MessageIcon icon = MessageIcon::None;
        FileDialogRequest request;
    };

    // Answers are taken in order; when the script runs dry a Yes/No box answers
    // defaultYes and a file dialog is cancelled.
    void scriptYesNo(bool answer);
    void scriptYesNo(YesNoAnswer answer);
    void scriptFile(std::optional<std::string> answer);
    bool defaultYes = true;

    void showMessage(const std::string& text, const std::string& caption = {},
                     MessageIcon icon = MessageIcon::None) override;
    YesNoAnswer askYesNo(const std::string& text, const std::string& caption = {}) override;
    std::optional<std::string> askOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> askSaveFile(const FileDialogRequest& request) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;

    std::vector<Shown> shown() const;
    // The texts of the message boxes shown so far, in order.
    std::vector<std::string> messages() const;
    void clear();

private:
    mutable std::mutex lock;
    std::vector<Shown> log;
    std::deque<YesNoAnswer> yesNoAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
};

} // namespace walkmere
