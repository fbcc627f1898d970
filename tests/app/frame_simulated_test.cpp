// The frame with the simulated board inside the program (walkmere --simulate): points taken
// at two spots far apart, through the link, the protocol, the live table, the measurement
// and the store, hold what the model gives at each spot.
#include "frame_fixture.h"

#include "app/SimulatedBoard.h"
#include "coverage/HeatmapData.h"
#include "survey/SiteFile.h"
#include "testkit/SimulatedOffice.h"

namespace walkmere {
namespace {

using namespace frametest;

class FrameWithSimulatedBoard : public FrameTest {
protected:
    void TearDown() override {
        FrameTest::TearDown(); // the link lets go of the line first
        board.reset();
    }

    // The board on a fresh copy of the office with `modelJson`, the store on its site, the
    // link on the board's line.
    void start(const std::string& modelJson) {
        office = simtest::makeSimulatedOffice(dir.path(), modelJson);
        std::string error;
        board = SimulatedBoard::start(office.model.string(), std::nullopt, 100, error);
        ASSERT_TRUE(board) << error;
        board->follow(app->measurement, app->table);
        const ReadOnlySite site = openSiteReadOnly(office.site.string());
        ASSERT_TRUE(site.accepted());
        app->store.adoptSite(office.site.string(), site.validation.layout.header);
        ASSERT_TRUE(app->store.loadPoints());
        frame->attachToBoard();
        ASSERT_TRUE(app->link.openPort(board->slavePath()));
        app->link.start();
        app->board.requestFirmware();
        ASSERT_TRUE(waitUntil([&] { return app->board.getFirmwareVersion() == "simulated site"; }));
        app->table.setSettleCount(2);
        app->table.setDecertifyTime(4);
        frame->ActivateView(ViewKind::Site);
    }

    // A tap at (x, y): the measurement runs its sweeps on the timer, driven here by hand,
    // and the update after the last commits the point and brings the site view back.
    void measureAt(QPoint spot) {
        app->measurement.begin(spot.x(), spot.y(), "TEST");
        frame->ActivateView(ViewKind::Scan);
        EXPECT_TRUE(waitUntil([&] {
            if (app->board.sweepComplete.load() == 1) frame->OnTimer();
            return !app->measurement.running() && frame->activeKind() == ViewKind::Site;
        }));
    }

    // The readings of the site's points, by BSSID.
    std::vector<std::map<std::string, int>> readingsInFile() {
        const ReadOnlySite site = openSiteReadOnly(office.site.string());
        SurveyData survey;
        EXPECT_EQ(readSurvey(site.fd.get(), site.validation.layout, survey), "");
        std::vector<std::map<std::string, int>> points;
        for (const SurveyPoint& point : survey.points) {
            points.emplace_back();
            for (const ApReading& r : point.readings) {
                ApRecord record;
                record.setMac(r.mac());
                points.back()[record.macText()] = r.rssiDbm();
            }
        }
        return points;
    }

    // Points 2.5 m from the west AP, then as far from the east one, hold the BSSs the model
    // gives there, `heardAtEach` of them, each within the fluctuation of its true RSSI.
    void surveyBothEnds(const std::string& modelJson, size_t heardAtEach) {
        start(modelJson);
        const QPoint spots[] = {{120, 300}, {680, 300}};
        for (const QPoint& spot : spots)
            measureAt(spot);
        EXPECT_TRUE(scripted.messages().empty());
        const auto points = readingsInFile();
        ASSERT_EQ(points.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            const std::map<std::string, double> truth =
                simtest::truthAt(board->site(), spots[i].x() + 0.5, spots[i].y() + 0.5);
            EXPECT_EQ(truth.size(), heardAtEach);
            EXPECT_EQ(simtest::offTruth(points[i], truth), "") << "point " << i;
        }
    }

    testkit::TempDir dir;
    simtest::SimulatedOffice office;
    std::unique_ptr<SimulatedBoard> board;
};

TEST_F(FrameWithSimulatedBoard, EveryBssHeardAtBothEndsIsStoredAtEachWithItsSignalThere) {
    surveyBothEnds(simtest::kCorridorModel, simtest::kCorridorBssCount);
}

// With the noise floor at -60 dBm each AP is heard only near it: the west AP's BSSs leave
// the scan screen's table at the jump to the east end, instead of staying in it with their
// readings from the west.
TEST_F(FrameWithSimulatedBoard, ApsNotHeardAtTheSecondSpotAreNotStoredThere) {
    std::string nearOnly = simtest::kCorridorModel;
    nearOnly.replace(nearOnly.find("-127, \"5\": -127"), 15, "-60, \"5\": -60");
    surveyBothEnds(nearOnly, 3);
}

} // namespace
} // namespace walkmere
