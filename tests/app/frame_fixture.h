#pragma once
// A main frame on real process-wide objects, with scripted user services that also write
// into one shared log, so a test can see the order of sounds and message boxes together.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "app/MainFrame.h"
#include "platform/Clock.h"
#include "res/Resources.h"
#include "testkit/EventLog.h"
#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScriptedPrompter.h"

namespace walkmere::frametest {

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

    testkit::EventLog events;
    testkit::ScriptedPrompter scripted;
    testkit::RecordingSoundPlayer recorded;
    testkit::LoggingPrompter prompter{scripted, events};
    testkit::LoggingSound sound{recorded, events};
    std::unique_ptr<AppServices> app;
    std::unique_ptr<CMainFrame> frame;
};

} // namespace walkmere::frametest
