#include <gtest/gtest.h>

#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <cstdlib>
#include <tuple>
#include <vector>

#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "siteview/SiteMapPainter.h"
#include "siteview/SiteView.h"
#include "survey/PointMeasurement.h"
#include "survey/SurveyStore.h"
#include "testkit/ManualClock.h"
#include "testkit/RecordingFrameQueue.h"
#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScriptedPrompter.h"
#include "testkit/TextFit.h"
#include "ui/Fonts.h"

namespace walkmere {
namespace {

constexpr int kW = 240, kH = 268;
const QRgb kPlanGrey = qRgb(200, 200, 200);
const QRgb kBlack = qRgb(0, 0, 0);

// Saves a picture next to the build when a test fails, so it can be looked at.
void keep(const QImage& img, const char* name) {
    const char* dir = std::getenv("WALKMERE_BUILD_DIR");
    img.save(QDir(dir ? dir : "/tmp").filePath(QString("siteview-%1.png").arg(name)));
}

PointIndexEntry entry(int32_t x, int32_t y, int16_t rssi = -45, uint8_t kind = KIND_SURVEY_POINT) {
    PointIndexEntry e;
    e.x = x;
    e.y = y;
    e.bestRssi = rssi;
    e.kind = kind;
    return e;
}

class SiteMapPicture : public ::testing::Test {
protected:
    SiteMapPicture() : plan(1000, 800, QImage::Format_RGB32), cursor(siteCursorImage()) {
        plan.fill(kPlanGrey);
        vp.reset();
        vp.setBounds(plan.width(), plan.height());
        vp.initView(kW, kW);
        scene.viewport = &vp;
        scene.siteOpen = true;
        scene.floorPlan = &plan;
        scene.cursor = &cursor;
        scene.drawnTexts = &drawn;
    }

    QImage paint(int w = kW, int h = kH) {
        scene.points = points;
        drawn.clear();
        QImage img(w, h, QImage::Format_RGB32);
        paintSiteMap(img, scene);
        if (HasFailure() || std::getenv("WALKMERE_KEEP_PICTURES")) {
            keep(img, ::testing::UnitTest::GetInstance()->current_test_info()->name());
        }
        return img;
    }

    // Black pixels on row y between x0 and x1 (inclusive).
    static int blackOnRow(const QImage& img, int y, int x0, int x1) {
        int n = 0;
        for (int x = x0; x <= x1; ++x)
            n += img.pixel(x, y) == kBlack ? 1 : 0;
        return n;
    }

    QImage plan;
    QImage cursor;
    CViewport vp;
    SiteMapScene scene;
    std::vector<PointIndexEntry> points;
    DrawnTexts drawn; // the texts of the last paint

    // The recorded texts other than the ruler labels, as (text, rectangle, flags).
    std::vector<std::tuple<std::string, QRect, int>> texts() const {
        std::vector<std::tuple<std::string, QRect, int>> out;
        for (const DrawnText& t : drawn)
            out.emplace_back(t.text.toStdString(), t.rect, t.flags);
        return out;
    }
};

constexpr int kCentredTop = Qt::AlignHCenter | Qt::AlignTop;

TEST_F(SiteMapPicture, NoSiteIsBlackWithWhiteTextOnly) {
    scene.siteOpen = false;
    scene.pixelsPerUnitX = scene.pixelsPerUnitY = 10; // would draw rulers if a site were open
    points = {entry(120, 120)};
    const QImage img = paint();
    int white = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const QRgb c = img.pixel(x, y);
            ASSERT_TRUE(c == kBlack || c == qRgb(255, 255, 255)) << x << "," << y;
            if (c != kBlack) {
                ++white;
                // Centred across, at the top: the message is one line in the top rows.
                EXPECT_LT(y, 20);
            }
        }
    }
    EXPECT_GT(white, 50);
    // Centred horizontally: as much ink left of the middle as right of it, roughly.
    int left = 0, right = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < kW; ++x)
            if (img.pixel(x, y) != kBlack) (x < kW / 2 ? left : right)++;
    EXPECT_NEAR(left, right, (left + right) / 5);
    using T = std::tuple<std::string, QRect, int>;
    EXPECT_EQ(texts(),
              std::vector<T>{T("PLEASE OPEN A SITE FILE", QRect(0, 0, kW, kH), kCentredTop)});
}

TEST_F(SiteMapPicture, SurveyPointIsAColouredCircleWithBlackOutline) {
    points = {entry(60, 60, -45)}; // client (60, 67), clear of the cursor
    const QImage img = paint();
    const int sx = 60, sy = 67;
    EXPECT_EQ(img.pixel(sx, sy), qRgb(0, 255, 191));
    EXPECT_EQ(img.pixel(sx - 8, sy), qRgb(0, 255, 191));
    EXPECT_EQ(img.pixel(sx + 7, sy), qRgb(0, 255, 191));
    // The box (sx-10, sy-10)-(sx+10, sy+10) is filled and outlined up to, not including,
    // its right and bottom edges.
    EXPECT_EQ(img.pixel(sx - 10, sy), kBlack);
    EXPECT_EQ(img.pixel(sx + 9, sy), kBlack);
    EXPECT_EQ(img.pixel(sx, sy - 10), kBlack);
    EXPECT_EQ(img.pixel(sx, sy + 9), kBlack);
    EXPECT_EQ(img.pixel(sx - 11, sy), kPlanGrey);
    EXPECT_EQ(img.pixel(sx + 10, sy), kPlanGrey);
    EXPECT_EQ(img.pixel(sx, sy + 10), kPlanGrey);
    EXPECT_EQ(img.pixel(sx - 9, sy - 9), kPlanGrey); // round, not square
}

TEST_F(SiteMapPicture, CircleMatchesAnEllipseDrawnInPlace) {
    points = {entry(171, 33, -70)}; // client (171, 36)
    const QImage img = paint();
    QImage want(kW, kH, QImage::Format_RGB32);
    want.fill(kPlanGrey);
    {
        QPainter p(&want);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(128, 255, 0));
        p.drawEllipse(QRect(171 - 10, 36 - 10, 19, 19));
    }
    EXPECT_EQ(img.copy(150, 20, 40, 40), want.copy(150, 20, 40, 40));
}

TEST_F(SiteMapPicture, PointAtTheCentreSitsUnderTheCursor) {
    points = {entry(120, 120, -45)};
    const QImage img = paint();
    // The cursor is ANDed over the circle: where its pixels are white the circle shows.
    const QImage cursor = siteCursorImage();
    int circle = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int px = 104 + x, py = 118 + y;
            const QRgb under = img.pixel(px, py);
            if (cursor.pixel(x, y) == qRgb(255, 255, 255) && under == qRgb(0, 255, 191)) ++circle;
            EXPECT_EQ(under & cursor.pixel(x, y), under);
        }
    }
    EXPECT_GT(circle, 0);
    EXPECT_EQ(img.pixel(120, 134 - 10), kBlack); // outline above the cursor centre
}

TEST_F(SiteMapPicture, CursorIsAndedOverThePlan) {
    const QImage img = paint();
    const QImage cursor = siteCursorImage();
    ASSERT_EQ(cursor.size(), QSize(32, 32));
    int changed = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb want = (kPlanGrey & cursor.pixel(x, y)) | 0xFF000000u;
            ASSERT_EQ(img.pixel(104 + x, 118 + y), want) << x << "," << y;
            changed += want != kPlanGrey ? 1 : 0;
        }
    }
    EXPECT_GT(changed, 50);
}

TEST_F(SiteMapPicture, PointOnTheViewEdgeIsDrawnOnePixelBeyondIsNot) {
    vp.scrollRight(100); // view x 100..340
    points = {entry(100, 60, -60)};
    QImage img = paint();
    EXPECT_EQ(img.pixel(4, 67), qRgb(0, 255, 0));

    points = {entry(99, 60, -60)};
    img = paint();
    EXPECT_EQ(img.pixel(4, 67), kPlanGrey);

    points = {entry(340, 200, -60)}; // on the right edge: client (240, 223)
    img = paint();
    EXPECT_EQ(img.pixel(236, 223), qRgb(0, 255, 0));
    points = {entry(341, 200, -60)};
    img = paint();
    EXPECT_EQ(img.pixel(236, 223), kPlanGrey);
}

TEST_F(SiteMapPicture, WalkPathCanBeSwitchedOff) {
    points = {entry(40, 40), entry(200, 40)}; // client (40, 44) and (200, 44)
    QImage img = paint();
    const int dashes = blackOnRow(img, 44, 55, 185);
    EXPECT_GT(dashes, 40);
    EXPECT_LT(dashes, 131) << "dashed, not solid";

    vp.setShowWalkPath(false);
    img = paint();
    EXPECT_EQ(blackOnRow(img, 44, 55, 185), 0);
    EXPECT_EQ(img.pixel(40, 44), qRgb(0, 255, 191)) << "circles stay";
}

TEST_F(SiteMapPicture, PathStepsOverDeletedPointsAndPlacedAps) {
    points = {entry(40, 40), entry(120, 200, -45, KIND_DELETED),
              entry(120, 180, -100, KIND_DYNAMIC_AP), entry(200, 40)};
    const QImage img = paint();
    EXPECT_GT(blackOnRow(img, 44, 55, 185), 40) << "the path joins the neighbours";
    EXPECT_EQ(img.pixel(120, 223), kPlanGrey) << "no circle for the deleted point";
    // Nothing runs from the first point toward the deleted one or the AP.
    EXPECT_EQ(img.pixel(80, 134), kPlanGrey);
    EXPECT_EQ(img.pixel(60, 89), kPlanGrey);
}

// A segment is drawn only toward a visible point; one that leaves a point outside the view
// starts from that point's mapped position past the edge. Plan y 60 is client row 67.
TEST_F(SiteMapPicture, PathIsDrawnOnlyTowardVisiblePoints) {
    struct Case {
        const char* what;
        std::vector<PointIndexEntry> walk;
        int x0, x1; // the stretch of row 67 looked at
        bool dashed;
    };
    const Case cases[] = {
        {"both ends outside, crossing the picture",
         {entry(-200, 60), entry(600, 60)},
         0,
         239,
         false},
        {"from inside to outside", {entry(40, 60), entry(600, 60)}, 55, 239, false},
        {"from outside in, from the left edge", {entry(-200, 60), entry(200, 60)}, 0, 185, true},
        {"from outside in, from the right edge", {entry(600, 60), entry(40, 60)}, 55, 239, true},
        {"out and back in: only the way in",
         {entry(40, 60), entry(40, 600), entry(200, 60)},
         55,
         185,
         false},
    };
    for (const Case& c : cases) {
        points = c.walk;
        const QImage img = paint();
        const int ink = blackOnRow(img, 67, c.x0, c.x1);
        if (c.dashed) {
            EXPECT_GT(ink, (c.x1 - c.x0) / 3) << c.what;
            EXPECT_LT(ink, c.x1 - c.x0) << c.what << ": dashed, not solid";
        } else {
            EXPECT_EQ(ink, 0) << c.what;
        }
    }
    // Out and back in: the way back in runs down from the point below the view.
    points = cases[4].walk;
    const QImage img = paint();
    int down = 0;
    for (int y = 80; y < 240; ++y)
        down += blackOnRow(img, y, 42, 200) > 0 ? 1 : 0;
    EXPECT_GT(down, 60) << "the segment from (40, 600) up to (200, 60)";
    EXPECT_EQ(img.pixel(40, 120), kPlanGrey) << "nothing straight down toward the hidden point";

    // A far-off point at deep zoom does not upset the drawing: only the segment into the
    // centre point is drawn, from the right edge.
    for (int i = 0; i < 6; ++i)
        vp.zoomIn();
    points = {entry(0, 120), entry(1000, 120), entry(120, 120)};
    const QImage deep = paint();
    const auto centre = vp.planToClient({0, 0, kW, kH}, {120, 120});
    ASSERT_TRUE(centre);
    EXPECT_GT(blackOnRow(deep, centre->y, centre->x + 12, 239), (227 - centre->x) / 3);
    for (int y = 0; y < kH; ++y)
        ASSERT_EQ(blackOnRow(deep, y, 30, 100), 0) << y;
}

TEST_F(SiteMapPicture, PlacedApsFollowTheirSwitch) {
    points = {entry(60, 180, -100, KIND_DYNAMIC_AP), entry(180, 60, -45)};
    const int ax = 60, ay = 201; // 180 * 268 / 240
    QImage img = paint();
    EXPECT_EQ(img.pixel(ax - 6, ay + 6), kBlack);
    EXPECT_EQ(img.pixel(ax + 6, ay + 6), kBlack);
    EXPECT_EQ(img.pixel(ax, ay + 8), kBlack);
    int white = 0;
    for (int y = ay - 10; y < ay + 10; ++y)
        for (int x = ax - 10; x < ax + 10; ++x)
            white += img.pixel(x, y) == qRgb(255, 255, 255);
    EXPECT_GT(white, 5) << "the white AP label";
    ASSERT_EQ(drawn.size(), 2u); // the label, then the status line
    EXPECT_EQ(drawn[0].text, "AP");
    EXPECT_EQ(drawn[0].rect, QRect(ax - 10, ay - 10, 20, 20));
    EXPECT_EQ(drawn[0].flags, kCentredTop);

    vp.setShowAccessPoints(false);
    img = paint();
    EXPECT_EQ(drawn.size(), 1u) << "only the status line";
    EXPECT_EQ(img.pixel(ax, ay + 8), kPlanGrey);
    EXPECT_EQ(img.pixel(180, 67), qRgb(0, 255, 191)) << "survey points stay";
}

TEST_F(SiteMapPicture, BannersAboveTheStatusLine) {
    const QRgb blue = qRgb(0, 0, 192), red = qRgb(192, 0, 0), green = qRgb(0, 192, 0);
    const QRect textRect(25, kH - 26, kW - 25, 13);
    const auto white = [](const QImage& img, const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += img.pixel(x, y) == qRgb(255, 255, 255);
        return n;
    };
    scene.placingAp = true;
    QImage img = paint();
    ASSERT_EQ(drawn.size(), 2u); // the banner, then the status line
    EXPECT_EQ(drawn[0].text, "TAP ON FLOORPLAN TO PLACE AP");
    EXPECT_EQ(drawn[0].rect, textRect);
    EXPECT_EQ(drawn[0].flags, kCentredTop);
    EXPECT_GT(white(img, textRect), 20) << "drawn";
    EXPECT_EQ(img.pixel(2, kH - 26), blue);
    EXPECT_EQ(img.pixel(kW - 1, kH - 14), blue);
    EXPECT_EQ(img.pixel(2, kH - 27), kPlanGrey);

    scene.noApHeard = true;
    img = paint();
    ASSERT_EQ(drawn.size(), 3u); // the alert is drawn over the placement banner
    EXPECT_EQ(drawn[1].text, "ALERT! NO ACCESS POINTS DETECTED!");
    EXPECT_EQ(drawn[1].rect, textRect);
    EXPECT_EQ(drawn[1].flags, kCentredTop);
    EXPECT_GT(white(img, textRect), 20) << "drawn";
    for (int y = kH - 26; y < kH - 13; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_NE(img.pixel(x, y), blue) << x << "," << y;
    EXPECT_EQ(img.pixel(2, kH - 20), red);
    EXPECT_EQ(img.pixel(2, kH - 13), green);
}

TEST_F(SiteMapPicture, StatusLineIsAGreenBandWithTheCounters) {
    for (int i = 0; i < 2; ++i)
        vp.zoomIn();
    scene.locationCount = 12;
    scene.readingTotal = 57;
    const QImage img = paint();
    const QRgb green = qRgb(0, 192, 0);
    for (int x = 0; x < 25; ++x)
        for (int y = kH - 13; y < kH; ++y)
            ASSERT_EQ(img.pixel(x, y), green);
    for (int x = 0; x < kW; ++x)
        ASSERT_NE(img.pixel(x, kH - 14), green);

    ASSERT_EQ(drawn.size(), 1u);
    const DrawnText& status = drawn[0];
    EXPECT_EQ(status.text, "ZOOM=400%   SCANS=12   POINTS=57");
    EXPECT_EQ(status.rect, QRect(25, kH - 13, kW - 25, 13));
    EXPECT_EQ(status.flags, Qt::AlignLeft | Qt::AlignTop);

    // The band as it should read with that text and font, drawn here independently.
    QImage want(kW, 13, QImage::Format_RGB32);
    want.fill(green);
    {
        QPainter p(&want);
        p.setFont(status.font);
        p.setPen(Qt::white);
        p.drawText(QRect(25, 0, kW - 25, 13), Qt::AlignLeft | Qt::AlignTop, status.text);
    }
    EXPECT_EQ(img.copy(0, kH - 13, kW, 13), want);
}

TEST_F(SiteMapPicture, RulersWithTicksAndLabels) {
    scene.pixelsPerUnitX = 10.5;
    scene.pixelsPerUnitY = 10;
    const QImage img = paint();
    const QRgb yellow = qRgb(255, 255, 0);
    EXPECT_EQ(img.pixel(25, 15), yellow);
    EXPECT_EQ(img.pixel(25, 20), kPlanGrey);
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(img.pixel(20, y), kBlack) << y;
    EXPECT_EQ(img.pixel(30, 1), kBlack);
    EXPECT_EQ(img.pixel(30, 2), yellow);
    EXPECT_EQ(img.pixel(40, 3), kBlack);
    EXPECT_EQ(img.pixel(40, 4), yellow);
    EXPECT_EQ(img.pixel(70, 9), kBlack);
    EXPECT_EQ(img.pixel(70, 10), yellow);
    EXPECT_EQ(img.pixel(5, 5), yellow) << "the corner belongs to the vertical band";
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(img.pixel(x, 20), kBlack) << x;
    EXPECT_EQ(img.pixel(9, 70), kBlack);
    EXPECT_EQ(img.pixel(10, 70), yellow);
    // A label "10" under the tick at x = 120.
    int ink = 0;
    for (int y = 10; y < 19; ++y)
        for (int x = 121; x < 170; ++x)
            ink += img.pixel(x, y) == kBlack;
    EXPECT_GT(ink, 5);
}

TEST_F(SiteMapPicture, NoRulerForAZeroOrNegativeScale) {
    scene.pixelsPerUnitX = 0.5;
    scene.pixelsPerUnitY = -10;
    const QImage img = paint();
    EXPECT_EQ(img.pixel(25, 5), kPlanGrey);
    EXPECT_EQ(img.pixel(5, 25), kPlanGrey);
    EXPECT_EQ(img.pixel(5, 5), kPlanGrey);
}

TEST_F(SiteMapPicture, PlanStopsAtItsEdgeAndTheRestIsBackground) {
    // Left half red, right half blue, in an 8-bit palette image like a loaded bitmap.
    QImage pal(1000, 800, QImage::Format_Indexed8);
    pal.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 1000; ++x)
            pal.setPixel(x, y, x < 60 ? 0 : 1);
    scene.floorPlan = &pal;
    vp.scrollLeft(10); // view (-10, 230): the plan starts at client x 10
    const QImage img = paint();
    const QRgb bg = kMapBackground.rgb();
    EXPECT_EQ(img.pixel(9, 100), bg);
    EXPECT_EQ(img.pixel(10, 100), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(69, 100), qRgb(255, 0, 0)); // plan x 59
    EXPECT_EQ(img.pixel(70, 100), qRgb(0, 0, 255)); // plan x 60
    // The square view is stretched over the taller client: plan y 240 lands at the bottom.
    EXPECT_EQ(img.pixel(150, 240), qRgb(0, 0, 255));
}

TEST_F(SiteMapPicture, MissingPlanAndOddSizesAreSafe) {
    scene.floorPlan = nullptr;
    points = {entry(120, 120)};
    QImage img = paint();
    EXPECT_EQ(img.pixel(200, 60), kMapBackground.rgb());
    img = paint(0, 0);
    EXPECT_TRUE(img.isNull());
    img = paint(10, 10);
    EXPECT_EQ(img.size(), QSize(10, 10));
    CViewport empty;
    scene.viewport = &empty; // a site whose plan failed to load: nothing maps
    img = paint();
    EXPECT_EQ(img.pixel(200, 60), kMapBackground.rgb());
    // A target of another format is replaced by an RGB32 one.
    QImage mono(50, 50, QImage::Format_Mono);
    paintSiteMap(mono, scene);
    EXPECT_EQ(mono.format(), QImage::Format_RGB32);
}

TEST(SiteViewWidget, ShowsThePictureItComposes) {
    testkit::ScriptedPrompter prompter;
    testkit::RecordingSoundPlayer sound;
    CSurveyStore store;
    testkit::RecordingFrameQueue line;
    CLiveApTable table;
    testkit::ManualClock clock;
    CBoardProtocol board(line, table, clock);
    PointMeasurement measurement(store, board, table);
    CViewport vp;
    CSiteView view(vp, {store, measurement, prompter, sound, [] {}});
    view.resize(kW, kH);
    // The scroll bars sit beside the client area, which is what the map is drawn for.
    const EdgeRect client = view.clientRect();
    const QRect clientArea(0, 0, client.right, client.bottom);
    EXPECT_EQ(view.composePicture().size(), clientArea.size());

    QImage before = view.grab(clientArea).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(before.pixel(5, client.bottom - 5), kBlack) << "no site: no status line";
    EXPECT_EQ(before, view.composePicture());

    view.siteOpen = true;
    view.floorPlan = QImage(1000, 800, QImage::Format_RGB32);
    view.floorPlan.fill(kPlanGrey);
    vp.setBounds(1000, 800);
    vp.initView(client.right, client.right);
    const QImage after = view.grab(clientArea).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(after.pixel(5, client.bottom - 5), qRgb(0, 192, 0));
    EXPECT_EQ(after.pixel(60, 60), kPlanGrey);
    EXPECT_EQ(after, view.composePicture());
    EXPECT_EQ(view.composePicture(QSize(480, 536)).size(), QSize(480, 536));
}

// At the handheld's size the view is 240 x 268 with its scroll bars; the status line with
// four-digit counts at the deepest zoom, and either banner, fit between x 25 and the left
// edge of the vertical bar.
TEST(SiteViewWidget, BandTextsFitBesideTheScrollBarAtHandheldSize) {
    testkit::ScriptedPrompter prompter;
    testkit::RecordingSoundPlayer sound;
    CSurveyStore store;
    testkit::RecordingFrameQueue line;
    CLiveApTable table;
    testkit::ManualClock clock;
    CBoardProtocol board(line, table, clock);
    PointMeasurement measurement(store, board, table);
    CViewport vp;
    CSiteView view(vp, {store, measurement, prompter, sound, [] {}});
    view.resize(kW, kH);
    view.show(); // lays the scroll bars out
    const EdgeRect client = view.clientRect();
    ASSERT_EQ(view.verticalBar()->geometry().left(), client.right);

    vp.setBounds(1000, 800);
    vp.initView(client.right, client.right);
    for (int i = 0; i < 6; ++i)
        vp.zoomIn();
    ASSERT_EQ(vp.zoom(), 64);
    SiteMapScene scene;
    scene.viewport = &vp;
    scene.siteOpen = true;
    scene.locationCount = 9999;
    scene.readingTotal = 9999;
    DrawnTexts drawn;
    scene.drawnTexts = &drawn;
    QImage img(client.right, client.bottom, QImage::Format_RGB32);
    for (int banner = 0; banner < 2; ++banner) {
        scene.placingAp = banner == 0;
        scene.noApHeard = banner == 1;
        drawn.clear();
        paintSiteMap(img, scene);
        ASSERT_EQ(drawn.size(), 2u);
        EXPECT_EQ(drawn[1].text, "ZOOM=6400%   SCANS=9999   POINTS=9999");
        for (const DrawnText& t : drawn) {
            EXPECT_EQ(t.rect.left(), 25);
            EXPECT_EQ(t.rect.right() + 1, client.right) << "up to the scroll bar";
            EXPECT_EQ(textfit::whereClipped(t), "") << t.text.toStdString();
        }
    }
}

// The narrow face is the one asked for, not whatever fontconfig puts in its place; without
// it the regular face is narrowed, and the widest MAC still fits its 80-pixel cell.
TEST(MapFonts, NarrowFaceResolvesOrFallsBackNarrowed) {
    EXPECT_EQ(QFontInfo(narrowMapFont(8)).family(), "DejaVu Sans Condensed");
    EXPECT_EQ(QFontInfo(mapFont(8)).family(), "DejaVu Sans");

    const QFont found = installedFont({"No Such Face", "DejaVu Sans Condensed"}, 11);
    EXPECT_EQ(QFontInfo(found).family(), "DejaVu Sans Condensed");
    const QFont fallback = installedFont({"No Such Face"}, 11);
    EXPECT_EQ(QFontInfo(fallback).family(), "DejaVu Sans");
    EXPECT_EQ(fallback.stretch(), int(QFont::SemiCondensed));
    const QString mac = QStringLiteral("888888888888");
    EXPECT_LT(QFontMetrics(fallback).horizontalAdvance(mac), 80);
    EXPECT_LT(QFontMetrics(fallback).horizontalAdvance(mac),
              QFontMetrics(mapFont(8)).horizontalAdvance(mac));
}

} // namespace
} // namespace walkmere
