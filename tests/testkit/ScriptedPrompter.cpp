#include "testkit/ScriptedPrompter.h"

namespace walkmere::testkit {

void ScriptedPrompter::scriptYesNo(bool answer) {
    scriptYesNo(answer ? YesNoAnswer::Yes : YesNoAnswer::No);
}

void ScriptedPrompter::scriptYesNo(YesNoAnswer answer) {
    std::lock_guard<std::mutex> g(lock);
    yesNoAnswers.push_back(answer);
}

void ScriptedPrompter::scriptFile(std::optional<std::string> answer) {
    std::lock_guard<std::mutex> g(lock);
    fileAnswers.push_back(std::move(answer));
}

void ScriptedPrompter::showMessage(const std::string& text, const std::string& caption,
                                   MessageIcon icon) {
    std::lock_guard<std::mutex> g(lock);
    log.push_back({Kind::Message, text, caption.empty() ? kApplicationTitle : caption, icon, {}});
}

YesNoAnswer ScriptedPrompter::askYesNo(const std::string& text, const std::string& caption) {
    std::lock_guard<std::mutex> g(lock);
    log.push_back(
        {Kind::YesNo, text, caption.empty() ? kApplicationTitle : caption, MessageIcon::None, {}});
    if (yesNoAnswers.empty()) return defaultYes ? YesNoAnswer::Yes : YesNoAnswer::No;
    YesNoAnswer a = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedPrompter::askOpenFile(const FileDialogRequest& request) {
    return askFile(Kind::OpenFile, request);
}

std::optional<std::string> ScriptedPrompter::askSaveFile(const FileDialogRequest& request) {
    return askFile(Kind::SaveFile, request);
}

std::optional<std::string> ScriptedPrompter::askFile(Kind kind, const FileDialogRequest& request) {
    std::lock_guard<std::mutex> g(lock);
    log.push_back({kind, {}, {}, MessageIcon::None, request});
    if (fileAnswers.empty()) return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

void ScriptedPrompter::beginWaitCursor() {
    std::lock_guard<std::mutex> g(lock);
    log.push_back({Kind::WaitBegin, {}, {}, MessageIcon::None, {}});
}

void ScriptedPrompter::endWaitCursor() {
    std::lock_guard<std::mutex> g(lock);
    log.push_back({Kind::WaitEnd, {}, {}, MessageIcon::None, {}});
}

std::vector<ScriptedPrompter::Shown> ScriptedPrompter::shown() const {
    std::lock_guard<std::mutex> g(lock);
    return log;
}

std::vector<std::string> ScriptedPrompter::messages() const {
    std::lock_guard<std::mutex> g(lock);
    std::vector<std::string> out;
    for (const auto& s : log)
        if (s.kind == Kind::Message) out.push_back(s.text);
    return out;
}

void ScriptedPrompter::clear() {
    std::lock_guard<std::mutex> g(lock);
    log.clear();
}

} // namespace walkmere::testkit
