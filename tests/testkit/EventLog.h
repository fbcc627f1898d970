#pragma once
// Message boxes and sounds in one log, in the order the user met them: a prompter and a
// sound player that write into a shared EventLog and hand every call on to the doubles they
// wrap.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScriptedPrompter.h"

namespace walkmere::testkit {

// Events in the order they happened, from any thread.
class EventLog {
public:
    void add(std::string e) {
        std::lock_guard<std::mutex> g(lock);
        log.push_back(std::move(e));
    }
    std::vector<std::string> all() const {
        std::lock_guard<std::mutex> g(lock);
        return log;
    }

private:
    mutable std::mutex lock;
    std::vector<std::string> log;
};

// Logs "message:TEXT" and "yesno:TEXT"; the answers come from `inner`'s script.
class LoggingPrompter final : public IPrompter {
public:
    LoggingPrompter(ScriptedPrompter& inner, EventLog& log) : inner(inner), log(log) {}
    void showMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        log.add("message:" + text);
        inner.showMessage(text, caption, icon);
    }
    YesNoAnswer askYesNo(const std::string& text, const std::string& caption) override {
        log.add("yesno:" + text);
        return inner.askYesNo(text, caption);
    }
    std::optional<std::string> askOpenFile(const FileDialogRequest& r) override {
        return inner.askOpenFile(r);
    }
    std::optional<std::string> askSaveFile(const FileDialogRequest& r) override {
        return inner.askSaveFile(r);
    }
    void beginWaitCursor() override { inner.beginWaitCursor(); }
    void endWaitCursor() override { inner.endWaitCursor(); }

private:
    ScriptedPrompter& inner;
    EventLog& log;
};

// Logs "async:NAME", "sync:NAME" and "beep", as `inner` records them.
class LoggingSound final : public ISoundPlayer {
public:
    LoggingSound(RecordingSoundPlayer& inner, EventLog& log) : inner(inner), log(log) {}
    void PlayWave(const std::string& name) override {
        log.add("async:" + name);
        inner.PlayWave(name);
    }
    void PlayWaveSync(const std::string& name) override {
        log.add("sync:" + name);
        inner.PlayWaveSync(name);
    }
    void MessageBeep() override {
        log.add("beep");
        inner.MessageBeep();
    }

private:
    RecordingSoundPlayer& inner;
    EventLog& log;
};

} // namespace walkmere::testkit
