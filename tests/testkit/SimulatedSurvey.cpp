#include "testkit/SimulatedSurvey.h"

#include "app/SimulatedBoard.h"
#include "link/SerialLink.h"
#include "platform/Clock.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "survey/PointMeasurement.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"
#include "testkit/ScriptedPrompter.h"
#include "testkit/Wakeups.h"

#include <chrono>
#include <cmath>
#include <optional>

namespace walkmere::simtest {

using namespace std::chrono_literals;

std::vector<Spot> surveyGrid(const sim::SimulatedSite& site, double metres) {
    const int32_t step = int32_t(std::lround(metres / site.distanceM(0, 0, 1, 0)));
    std::vector<Spot> grid;
    if (step < 1) return grid;
    std::vector<int32_t> columns, rows;
    for (int32_t x = step; x < site.width() - step / 2; x += step)
        columns.push_back(x);
    for (int32_t y = step; y < site.height() - step / 2; y += step)
        rows.push_back(y);
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t i = 0; i < columns.size(); ++i)
            grid.push_back({columns[r % 2 ? columns.size() - 1 - i : i], rows[r]});
    return grid;
}

size_t surveyThroughProgram(const std::filesystem::path& model, std::span<const Spot> spots,
                            std::string& why) {
    std::unique_ptr<SimulatedBoard> board =
        SimulatedBoard::start(model.string(), std::nullopt, 100, why);
    if (!board) return 0;
    CSurveyStore store;
    const ReadOnlySite site = openSiteReadOnly(board->sitePath());
    if (!site.accepted()) {
        why = "the model's site cannot be opened";
        return 0;
    }
    store.adoptSite(board->sitePath(), site.validation.layout.header);
    if (!store.loadPoints()) {
        why = "the site's points cannot be loaded";
        return 0;
    }
    testkit::ScriptedPrompter prompter;
    CSerialLink link(prompter, systemClock(), nullptr);
    CLiveApTable table;
    table.setSettleCount(2); // the APs that come into the 16 strongest are certified in time
    table.setDecertifyTime(4);
    CBoardProtocol protocol(link, table, systemClock());
    testkit::Wakeups sweeps;
    protocol.setNotifySink([&](uint32_t w, uint32_t) {
        if (w == kUpdateSweepWParam) sweeps.post();
    });
    PointMeasurement measurement(store, protocol, table);
    board->follow(measurement, table);
    struct StopLink {
        CSerialLink& link;
        ~StopLink() { link.stop(); }
    } stopLink{link};
    if (!link.openPort(board->slavePath())) {
        why = "the board's port cannot be opened";
        return 0;
    }
    link.setPacketHandler(&protocol);
    link.start();
    protocol.requestFirmware();

    size_t stored = 0;
    for (const Spot& spot : spots) {
        measurement.begin(spot.x, spot.y, "TEST");
        for (;;) {
            if (!sweeps.take(5s)) {
                why = "no sweep for 5 s";
                return stored;
            }
            if (const auto certified = measurement.takeFinished()) {
                if (store.commitPoint(*certified).stored < 1) {
                    why = "a point with no reading";
                    return stored;
                }
                ++stored;
                break;
            }
            measurement.tick();
        }
    }
    return stored;
}

} // namespace walkmere::simtest
