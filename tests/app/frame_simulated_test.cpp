// The frame with the simulated board inside the program (walkmere --simulate): points taken
// at two spots far apart, through the link, the protocol, the live table, the measurement
// and the store, hold what the model gives at each spot.
#include "frame_fixture.h"

#include <fcntl.h>

#include "app/SimulatedBoard.h"
#include "coverage/HeatmapData.h"
#include "survey/SiteFile.h"
#include "testkit/SimulatedOffice.h"

namespace walkmere {
namespace {

using namespace frametest;

class FrameWithSimulatedBoard : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        office = simtest::makeSimulatedOffice(dir.path());
        std::string error;
        board = SimulatedBoard::start(office.model.string(), std::nullopt, 100, error);
        ASSERT_TRUE(board) << error;
        app->link.setPortOverride(board->slavePath());
        board->follow(app->measurement);
        const ReadOnlySite site = openSiteReadOnly(office.site.string());
        ASSERT_TRUE(site.accepted());
        app->store.adoptSite(office.site.string(), site.validation.layout.header);
        ASSERT_TRUE(app->store.loadPoints());
    }
    void TearDown() override {
        FrameTest::TearDown(); // the link lets go of the line first
        board.reset();
    }

    // A tap at (x, y): the measurement runs its sweeps on the timer, driven here by hand,
    // and the update after the last commits the point and brings the site view back.
    void measureAt(int32_t x, int32_t y) {
        app->measurement.begin(x, y, "TEST");
        frame->ActivateView(ViewKind::Scan);
        EXPECT_TRUE(waitUntil([&] {
            if (app->board.sweepComplete.load() == 1) frame->OnTimer();
            return !app->measurement.running() && frame->activeKind() == ViewKind::Site;
        }));
    }

    testkit::TempDir dir;
    simtest::SimulatedOffice office;
    std::unique_ptr<SimulatedBoard> board;
};

TEST_F(FrameWithSimulatedBoard, PointsFarApartHoldWhatTheSiteGivesAtEachSpot) {
    frame->attachToBoard();
    ASSERT_TRUE(app->link.openPort());
    app->link.start();
    app->board.requestFirmware();
    ASSERT_TRUE(waitUntil([&] {
        return app->table.certifiedRecords().size() == simtest::kCorridorBssCount;
    })) << "the board's BSSs get certified";
    EXPECT_EQ(app->board.getFirmwareVersion(), "simulated site");
    app->table.setDecertifyTime(3);
    frame->ActivateView(ViewKind::Site);

    const QPoint spots[] = {{120, 300}, {680, 300}}; // 2.5 m from the west AP, and the east
    for (const QPoint& spot : spots)
        measureAt(spot.x(), spot.y());
    EXPECT_TRUE(scripted.messages().empty());

    const ReadOnlySite site = openSiteReadOnly(office.site.string());
    ASSERT_TRUE(site.accepted());
    SurveyData survey;
    ASSERT_EQ(readSurvey(site.fd.get(), site.validation.layout, survey), "");
    ASSERT_EQ(survey.points.size(), 2u);
    std::vector<std::string> strongest;
    for (size_t i = 0; i < 2; ++i) {
        const SurveyPoint& point = survey.points[i];
        SCOPED_TRACE(point.x);
        EXPECT_EQ(QPoint(point.x, point.y), spots[i]);
        std::map<std::string, int> heard;
        for (const ApReading& r : point.readings) {
            ApRecord record;
            record.setMac(r.mac());
            heard[record.macText()] = r.rssiDbm();
        }
        EXPECT_EQ(
            simtest::offTruth(heard, simtest::truthAt(board->site(), point.x + 0.5, point.y + 0.5)),
            "");
        strongest.push_back(std::max_element(heard.begin(), heard.end(), [](auto& a, auto& b) {
                                return a.second < b.second;
                            })->first.substr(0, 10));
    }
    EXPECT_EQ(strongest, (std::vector<std::string>{"0200000001", "0200000002"}))
        << "the west AP is the strongest at the first spot, the east at the second";
}

} // namespace
} // namespace walkmere
