#pragma once
// A main frame on real process-wide objects, with scripted user services that also write
// into one shared log, so a test can see the order of sounds and message boxes together.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "app/MainFrame.h"
#include "platform/Clock.h"
#include "res/Resources.h"
#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScriptedPrompter.h"

namespace walkmere::frametest {

// Sounds and message boxes in the order they happened.
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

class LoggingPrompter final : public IPrompter {
public:
    LoggingPrompter(testkit::ScriptedPrompter& inner, EventLog& log) : inner(inner), log(log) {}
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
    testkit::ScriptedPrompter& inner;
    EventLog& log;
};

class LoggingSound final : public ISoundPlayer {
public:
    LoggingSound(testkit::RecordingSoundPlayer& inner, EventLog& log) : inner(inner), log(log) {}
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
    testkit::RecordingSoundPlayer& inner;
    EventLog& log;
};

inline void ensureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "walkmere-tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives for the whole test program
    walkmereInitResources();
}

// Runs the event loop until `done` holds or `limit` passes; true when it held.
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QTest::qWait(2);
    }
    return true;
}

class FrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override {
        app = std::make_unique<AppServices>(prompter, sound, systemClock(), nullptr);
        frame = std::make_unique<CMainFrame>(*app);
        QObject::connect(frame.get(), &CMainFrame::viewActivated, [this](ViewKind k) {
            events.add(k == ViewKind::Site   ? "view:Site"
                       : k == ViewKind::Scan ? "view:Scan"
                                             : "view:Startup");
        });
    }
    void TearDown() override {
        frame.reset();
        app.reset();
    }

    EventLog events;
    testkit::ScriptedPrompter scripted;
    testkit::RecordingSoundPlayer recorded;
    LoggingPrompter prompter{scripted, events};
    LoggingSound sound{recorded, events};
    std::unique_ptr<AppServices> app;
    std::unique_ptr<CMainFrame> frame;
};

} // namespace walkmere::frametest
