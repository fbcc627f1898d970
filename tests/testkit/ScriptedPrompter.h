#pragma once

#include "platform/Prompter.h"

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace walkmere::testkit {

// A prompter that answers from a script and records every text shown, so tests can check
// what the user would have seen.
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
    // Both file dialogs: logs the request and gives the next scripted answer.
    std::optional<std::string> askFile(Kind kind, const FileDialogRequest& request);

    mutable std::mutex lock;
    std::vector<Shown> log;
    std::deque<YesNoAnswer> yesNoAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
};

} // namespace walkmere::testkit
