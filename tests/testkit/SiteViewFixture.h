#pragma once
// A site view with real services: a store on a site file in a fresh folder, a board
// protocol that queues into a recording frame queue, the point measurement on both,
// scripted prompts and recorded sounds.

#include <QScrollBar>

#include <memory>

#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "siteview/SiteView.h"
#include "survey/PointMeasurement.h"
#include "survey/WalkSession.h"
#include "testkit/ManualClock.h"
#include "testkit/RecordingFrameQueue.h"
#include "testkit/StoreFixture.h"

namespace walkmere::siteinputtest {

struct SiteViewFixture : storetest::StoreFixture {
    testkit::RecordingFrameQueue queue;
    CLiveApTable table;
    testkit::ManualClock clock;
    CBoardProtocol board{queue, table, clock};
    PointMeasurement measurement{store, board, table};
    WalkSession walk{store, table};
    CViewport viewport;
    int scanActivations = 0;
    int locationDialogs = 0;
    std::unique_ptr<CSiteView> view;

    // A view whose client area is 240 x 268, without a site unless one is made.
    void makeView() {
        SiteViewServices services{
            store, measurement, prompter, sound, [this] { ++scanActivations; }, &walk};
        view = std::make_unique<CSiteView>(viewport, services);
        view->setLocationInfoRunner([this] { ++locationDialogs; });
        const QSize bars = view->scrollBarExtent();
        view->resize(240 + bars.width(), 268 + bars.height());
    }

    // A measurement that has counted its sweeps and waits for its commit.
    void finishAMeasurement() {
        table.setDecertifyTime(1);
        measurement.begin(0, 0, "OLD");
        board.sweepComplete = 1;
        measurement.tick();
        ASSERT_TRUE(measurement.done());
        ASSERT_EQ(measurement.progressPercent(), 100);
    }

    // A 1000 x 800 plan at 100 % with the view (0, 240, 0, 240), as after opening a site.
    void openAtFullSize(const storetest::Bytes& points = {}) {
        makeSite(points);
        ASSERT_TRUE(store.loadPoints());
        makeView();
        viewport.setBounds(1000, 800);
        viewport.initView(240, 240);
        view->setScrollRanges(1000, 800);
    }
};

} // namespace walkmere::siteinputtest
