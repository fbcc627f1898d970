// The frame with the board: the start-up order on the wire, the timer pacing a measurement,
// the commit with its coverage warning, and the sweep restart.
#include "frame_fixture.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QSignalSpy>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "app/PlotraView.h"
#include "board/PseudoTerminal.h"
#include "board/StandInBoard.h"
#include "link/FrameAssembler.h"
#include "scan/BoardProtocol.h"
#include "scan/ScanView.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace frametest;
using storetest::ap;
using storetest::makeHeader;
using storetest::siteBytes;

// A board on the other end of a pseudo-terminal, serving the built-in scenario.
class FrameWithBoard : public FrameTest {
protected:
    void SetUp() override {
        std::string error;
        auto opened = PseudoTerminal::open(error);
        ASSERT_TRUE(opened) << error;
        pty.emplace(std::move(*opened));
        FrameTest::SetUp();
        app->link.setPortOverride(pty->slavePath());
    }
    void startBoard() {
        board = std::make_unique<StandInBoard>(pty->masterFd(), defaultScenario());
        ASSERT_TRUE(board->start());
    }
    void TearDown() override {
        FrameTest::TearDown(); // the link lets go of the line first
        if (board) board->stop();
    }

    // A site file with an empty points section, adopted by the store.
    void makeSite() {
        testkit::writeFileBytes(sitePath, siteBytes());
        app->store.adoptSite(sitePath.string(), makeHeader());
        ASSERT_TRUE(app->store.loadPoints());
    }
    std::vector<PointIndexEntry> pointsInFile() {
        CSurveyStore reader;
        reader.adoptSite(sitePath.string(), makeHeader());
        EXPECT_TRUE(reader.loadPoints());
        return reader.index();
    }
    // What the site view does when the surveyor taps the plan.
    void startMeasurement(int32_t x, int32_t y) {
        app->measurement.begin(x, y, "TEST");
        frame->ActivateView(ViewKind::Scan);
    }
    // The timer counts the measurement's last sweep, with no board on the line.
    void countAllSweeps() {
        while (!app->measurement.done()) {
            app->board.sweepComplete = 1;
            frame->OnTimer();
        }
    }

    std::optional<PseudoTerminal> pty;
    std::unique_ptr<StandInBoard> board;
    testkit::TempDir dir;
    std::filesystem::path sitePath = dir.file("site.kvs");
};

TEST_F(FrameWithBoard, CreationOpensThePortThenAsksForFirmwareThenStartsTheTimer) {
    startBoard();
    QImage before(240, 268, QImage::Format_RGB32);
    frame->startupView()->render(before);
    QSignalSpy started(frame.get(), &CMainFrame::started);
    QElapsedTimer clock;
    clock.start();
    frame->create();

    EXPECT_TRUE(app->link.isPortOpen()) << "the port opens at once";
    EXPECT_FALSE(frame->timerRunning());
    EXPECT_EQ(board->stats().firmwareRequests, 0u) << "nothing is sent before the pause";

    ASSERT_TRUE(waitUntil([&] { return board->stats().firmwareRequests > 0; }));
    const qint64 firmwareAt = clock.elapsed();
    EXPECT_GE(firmwareAt, 950) << "one second after the port opened";
    EXPECT_FALSE(frame->timerRunning());

    ASSERT_TRUE(started.wait(5000));
    const qint64 timerAt = clock.elapsed();
    EXPECT_TRUE(frame->timerRunning());
    EXPECT_GE(timerAt - firmwareAt, 800) << "the timer starts a second after REQ_FIRMWARE";
    EXPECT_EQ(board->stats().firmwareRequests, 1u);

    const auto shown = scripted.shown();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, testkit::ScriptedPrompter::Kind::WaitBegin);
    EXPECT_EQ(shown[1].kind, testkit::ScriptedPrompter::Kind::WaitEnd);

    // The board's answers reach the start-up view.
    EXPECT_TRUE(waitUntil([&] { return app->board.getSerialNumber() == "A1B2C3"; }));
    EXPECT_EQ(app->board.getFirmwareVersion(), "DRV-2.14");
    QImage after(240, 268, QImage::Format_RGB32);
    frame->startupView()->render(after);
    const QRect firmwareLine(0, 153, 240, 20), serialLine(0, 183, 240, 20);
    EXPECT_NE(before.copy(firmwareLine), after.copy(firmwareLine));
    EXPECT_NE(before.copy(serialLine), after.copy(serialLine));
    EXPECT_EQ(before.copy(0, 0, 240, 150), after.copy(0, 0, 240, 150)) << "the picture stays";
}

TEST_F(FrameWithBoard, MeasurementEndsOnTheTenthSweepAndTheSiteViewShowsThePoint) {
    makeSite();
    startBoard();
    frame->attachToBoard();
    ASSERT_TRUE(app->link.openPort());
    app->link.start();
    app->board.requestFirmware();
    ASSERT_TRUE(waitUntil([&] { return app->table.certifiedRecords().size() >= 2; }))
        << "the board's APs get certified";

    app->table.setDecertifyTime(10);
    frame->ActivateView(ViewKind::Site);
    startMeasurement(120, 130);

    // The timer is driven by hand: one tick for each completed sweep.
    std::vector<int> percents;
    while (!app->measurement.done() && percents.size() < 12) {
        ASSERT_TRUE(waitUntil([&] { return app->board.sweepComplete.load() == 1; }));
        EXPECT_EQ(frame->activeKind(), ViewKind::Scan);
        frame->OnTimer();
        percents.push_back(app->measurement.progressPercent());
    }
    EXPECT_EQ(percents, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));

    // The next sweep's update commits the point and brings the site view back.
    ASSERT_TRUE(waitUntil([&] { return frame->activeKind() == ViewKind::Site; }));
    EXPECT_FALSE(app->measurement.running());
    EXPECT_FALSE(app->measurement.done());
    EXPECT_TRUE(scripted.messages().empty());
    EXPECT_TRUE(recorded.played().empty()) << "no coverage warning";

    const std::vector<PointIndexEntry> points = pointsInFile();
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].x, 120);
    EXPECT_EQ(points[0].y, 130);
    EXPECT_EQ(points[0].kind, KIND_SURVEY_POINT);
    EXPECT_GE(points[0].readingCount, 2);
    EXPECT_EQ(points[0].bestRssi, app->store.index().at(0).bestRssi);
    EXPECT_GE(points[0].bestRssi, -60) << "the strongest AP of the scenario is at -52 dBm";
}

TEST_F(FrameWithBoard, TwoTicksWithoutASweepAskForEntryOneAgain) {
    // No board answers: the line stays quiet and the sweep stalls.
    ASSERT_TRUE(app->link.openPort());
    app->link.start();
    app->board.entryIndex = 7;
    const int master = pty->masterFd();
    auto readFrame = [master](int waitMs) {
        std::vector<uint8_t> bytes;
        pollfd p{master, POLLIN, 0};
        while (::poll(&p, 1, waitMs) > 0) {
            uint8_t buffer[256];
            ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            bytes.insert(bytes.end(), buffer, buffer + n);
            if (bytes.size() >= 2 && bytes[bytes.size() - 1] == kFrameEnd) break;
            waitMs = 200;
        }
        return bytes;
    };

    frame->OnTimer();
    EXPECT_TRUE(readFrame(150).empty()) << "one stale tick sends nothing";
    EXPECT_EQ(app->board.entryIndex.load(), 7);

    frame->OnTimer();
    EXPECT_EQ(app->board.entryIndex.load(), 1);
    const std::vector<uint8_t> entry1 = {0x11, 0x12, 0x03, 0x01, 0x00, 0x1C, 0x00, 0x00, 0x01,
                                         0x00, 0x00, 0x00, 0x00, 0x00, 0x3A, 0x11, 0x13};
    EXPECT_EQ(readFrame(1000), entry1);
    EXPECT_EQ(app->measurement.staleTicks(), 0);
}

// ---- the commit, driven without a board ----

using FrameCommit = FrameWithBoard;

TEST_F(FrameCommit, NoCertifiedApSoundsRedAlertToItsEndBeforeTheWarning) {
    makeSite();
    frame->ActivateView(ViewKind::Site);
    startMeasurement(5, 6);
    countAllSweeps();

    frame->OnBoardUpdate(kUpdateSweepWParam, kUpdateSweepLParam);

    EXPECT_EQ(events.all(),
              (std::vector<std::string>{"view:Site", "view:Scan", "sync:REDALERT",
                                        "message:No Access Points Detected!", "view:Site"}));
    const auto shown = scripted.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "COVERAGE WARNING");
    EXPECT_EQ(shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(frame->activeKind(), ViewKind::Site);

    const std::vector<PointIndexEntry> points = pointsInFile();
    ASSERT_EQ(points.size(), 1u) << "the point is stored all the same";
    EXPECT_EQ(points[0].x, 5);
    EXPECT_EQ(points[0].readingCount, 0);
    EXPECT_EQ(points[0].bestRssi, -100);
}

TEST_F(FrameCommit, CertifiedApsAreStoredWithoutAWarning) {
    makeSite();
    SweepSlots sweep{};
    sweep[1] = ap(1, -70);
    sweep[2] = ap(2, -55);
    for (int i = 0; i < CLiveApTable::kDefaultSettleCount; ++i)
        app->table.processSweep(sweep);
    startMeasurement(40, 50);
    countAllSweeps();

    frame->OnBoardUpdate(kUpdateSweepWParam, kUpdateSweepLParam);

    EXPECT_TRUE(recorded.played().empty());
    EXPECT_TRUE(scripted.messages().empty());
    EXPECT_EQ(frame->activeKind(), ViewKind::Site);
    const std::vector<PointIndexEntry> points = pointsInFile();
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].readingCount, 2);
    EXPECT_EQ(points[0].bestRssi, -55);
}

TEST_F(FrameCommit, AFailedCommitIsNotACoverageWarning) {
    makeSite();
    std::filesystem::remove(sitePath); // the card was pulled
    startMeasurement(5, 6);
    countAllSweeps();

    frame->OnBoardUpdate(kUpdateSweepWParam, kUpdateSweepLParam);

    const auto messages = scripted.messages();
    ASSERT_EQ(messages.size(), 1u) << "the store's own report";
    EXPECT_NE(messages[0], "No Access Points Detected!");
    const auto played = recorded.played();
    EXPECT_EQ(std::count(played.begin(), played.end(), "sync:REDALERT"), 1)
        << "only the alert that goes with the store's report";
    EXPECT_EQ(frame->activeKind(), ViewKind::Site) << "the site view returns whatever happened";
    EXPECT_FALSE(app->measurement.running());
    EXPECT_FALSE(app->measurement.done());
    EXPECT_TRUE(app->store.index().empty());
}

TEST_F(FrameCommit, AnUpdateDuringTheMeasurementOnlyRepaints) {
    makeSite();
    startMeasurement(5, 6);

    frame->OnBoardUpdate(kUpdateSweepWParam, kUpdateSweepLParam);

    EXPECT_EQ(frame->activeKind(), ViewKind::Scan);
    EXPECT_TRUE(app->measurement.running());
    EXPECT_TRUE(app->store.index().empty());
    EXPECT_TRUE(events.all() == std::vector<std::string>{"view:Scan"});
}

// ---- the line and the surveyor ----

TEST_F(FrameWithBoard, ALostLineIsToldOnceAndTheBoardIsAskedAgainWhenItIsBack) {
    const std::filesystem::path port = dir.file("board"); // as walkmere-board --link makes
    std::filesystem::create_symlink(pty->slavePath(), port);
    app->link.setPortOverride(port.string());
    startBoard();
    frame->attachToBoard();
    ASSERT_TRUE(app->link.openPort());
    app->link.start();
    app->board.requestFirmware();
    ASSERT_TRUE(waitUntil([&] { return app->board.getSerialNumber() == "A1B2C3"; }));

    // The board's program goes away, and its line with it.
    board->stop();
    board.reset();
    pty.reset();
    std::filesystem::remove(port);
    ASSERT_TRUE(waitUntil([&] { return !scripted.messages().empty(); }));
    QTest::qWait(1500); // the line is tried again meanwhile, in vain
    EXPECT_EQ(scripted.messages(), std::vector<std::string>{kBoardLostText});

    // A board on the same port: asked who it is, and the sweep runs again.
    std::string error;
    auto opened = PseudoTerminal::open(error);
    ASSERT_TRUE(opened) << error;
    pty.emplace(std::move(*opened));
    std::filesystem::create_symlink(pty->slavePath(), port);
    startBoard();
    ASSERT_TRUE(waitUntil([&] { return board->stats().firmwareRequests == 1; }));
    app->board.sweepComplete = 0;
    EXPECT_TRUE(waitUntil([&] { return app->board.sweepComplete.load() == 1; }));
    EXPECT_EQ(scripted.messages().size(), 1u);
}

TEST_F(FrameWithBoard, EscapeOnTheScanViewGivesTheMeasurementUp) {
    makeSite();
    frame->ActivateView(ViewKind::Site);
    startMeasurement(5, 6);
    for (int i = 0; i < 7; ++i) {
        app->board.sweepComplete = 1;
        frame->OnTimer();
    }
    ASSERT_EQ(app->measurement.progressPercent(), 23);

    QTest::keyClick(frame->scanView(), Qt::Key_Escape);

    EXPECT_EQ(frame->activeKind(), ViewKind::Site);
    EXPECT_FALSE(app->measurement.running());
    EXPECT_EQ(app->measurement.progressPercent(), 0);
    EXPECT_EQ(app->measurement.settledSweeps(), 0) << "the next measurement counts from the start";
    app->board.sweepComplete = 1; // a sweep that was on its way
    frame->OnTimer();
    frame->OnBoardUpdate(kUpdateSweepWParam, kUpdateSweepLParam);
    EXPECT_TRUE(pointsInFile().empty()) << "no point is taken";
}

// A message box that stays open a while, as a person takes to read it, counting how many
// are open at once.
class ReadingPrompter final : public IPrompter {
public:
    void showMessage(const std::string&, const std::string&, MessageIcon) override {
        ++shown;
        maxOpen = std::max(maxOpen, ++open);
        QEventLoop reading;
        QTimer::singleShot(30, &reading, &QEventLoop::quit);
        reading.exec();
        --open;
    }
    YesNoAnswer askYesNo(const std::string&, const std::string&) override {
        return YesNoAnswer::Yes;
    }
    std::optional<std::string> askOpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> askSaveFile(const FileDialogRequest&) override { return {}; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}

    int shown = 0, open = 0, maxOpen = 0;
};

TEST(FrameRadioStatus, AFloodShowsOneBoxAtATimeAndNeverStopsTheWorker) {
    ensureApplication();
    ReadingPrompter prompter;
    testkit::RecordingSoundPlayer sound;
    AppServices app(prompter, sound, systemClock(), nullptr);
    CMainFrame frame(app);
    frame.attachToBoard();

    constexpr int kPackets = 3000;
    std::atomic<int> sent{0};
    std::thread worker([&] {
        const uint8_t notResponding = 0;
        for (int i = 0; i < kPackets; ++i) {
            app.board.dispatchPacket(PKT_RADIO_STATUS, &notResponding, 1);
            sent.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    const bool allSent =
        waitUntil([&] { return sent.load() == kPackets; }, std::chrono::seconds(30));
    worker.join();
    ASSERT_TRUE(allSent) << "the worker was held up by the boxes";
    ASSERT_TRUE(waitUntil([&] { return prompter.open == 0; }));
    QTest::qWait(100);
    EXPECT_EQ(prompter.maxOpen, 1);
    EXPECT_GE(prompter.shown, 2);
    EXPECT_LT(prompter.shown, kPackets / 10) << "boxes are shown one after another, not queued";
}

} // namespace
} // namespace walkmere
