// A floor plan drawn as a PDF, made into a site by the real site tool and opened by the real
// program on a private X server: the site view shows the plan's rooms in their colours and
// in their places around the walls. The picture is kept as artifacts/screenshot-pdf-plan.png.
#include "screenshot/program_session.h"
#include "testkit/PdfBytes.h"
#include "testkit/TempDir.h"

#include <gtest/gtest.h>

#include <QImage>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace walkmere::screenshot {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A 190 x 150 point floor on a white page with a 24-point margin, small enough that the site
// view shows all of it at 100 % and the margin lies under the rulers: four rooms around a
// cross of dark walls at its middle, inside an outer wall. Rendered at 72 dpi, a point is a
// pixel.
constexpr int kMargin = 24, kFloorWidth = 190, kFloorHeight = 150, kWall = 6;
constexpr int kRoomWidth = kFloorWidth / 2 - kWall - kWall / 2;
constexpr int kRoomHeight = kFloorHeight / 2 - kWall - kWall / 2;
constexpr int kPageWidth = kFloorWidth + 2 * kMargin, kPageHeight = kFloorHeight + 2 * kMargin;
constexpr QRgb kWallColour = qRgb(51, 51, 51); // 0.2 of full
struct Room {
    const char* pdfColour;
    QRgb colour;
    bool left, top; // its quarter of the floor
};
const Room kRooms[] = {
    {"1 0.8 0.6", qRgb(255, 204, 153), true, true},   // peach, top left
    {"0.6 0.8 1", qRgb(153, 204, 255), false, true},  // sky, top right
    {"0.8 1 0.6", qRgb(204, 255, 153), true, false},  // mint, bottom left
    {"1 0.6 0.8", qRgb(255, 153, 204), false, false}, // pink, bottom right
};

std::vector<unsigned char> floorPdf() {
    // The outer wall fills the floor, the margin stays the page's white; the rooms are laid
    // on the wall, leaving the walls between.
    testkit::PdfPage page{kPageWidth,  kPageHeight,  kMargin,      kMargin,
                          kFloorWidth, kFloorHeight, "0.2 0.2 0.2"};
    const int halfW = kFloorWidth / 2, halfH = kFloorHeight / 2;
    for (const Room& r : kRooms) {
        const int x = kMargin + (r.left ? kWall : halfW + kWall / 2);
        const int y = kMargin + (r.top ? halfH + kWall / 2 : kWall); // PDF counts from the bottom
        page.more.push_back({x, y, kRoomWidth, kRoomHeight, r.pdfColour});
    }
    return testkit::writePdf({page});
}

TEST(PdfPlanScreenshot, TheSiteViewShowsThePdfsRoomsAroundItsWalls) {
    for (const char* tool : {"Xvfb", "xdotool", "xwd"})
        if (!onPath(tool)) GTEST_SKIP() << tool << " is not installed (scripts/bootstrap)";
    const fs::path build = envOr("WALKMERE_BUILD_DIR", "");
    ASSERT_FALSE(build.empty()) << "WALKMERE_BUILD_DIR is not set";
    const fs::path artifacts = build / "artifacts";
    fs::create_directories(artifacts);
    testkit::TempDir tmp;

    // walkmere-site create plan.pdf -o site.kvs
    const std::string pdf = tmp.file("plan.pdf").string();
    testkit::writeFileBytes(pdf, floorPdf());
    const fs::path site = tmp.file("site.kvs");
    Command create;
    create.argv = {WALKMERE_SITE_PROGRAM, "create", pdf, "-o", site.string(), "--dpi", "72"};
    std::string said;
    ASSERT_EQ(runCommand(create, 30s, &said), 0) << said;
    EXPECT_NE(said.find("238 x 198 floor plan from page 1 of 1 of a PDF at 72 dpi"),
              std::string::npos)
        << said;

    ProgramSession session(tmp.path());
    std::string error;
    ASSERT_TRUE(session.startDisplay(error)) << error;
    ASSERT_TRUE(session.startBoard("ap 00:a0:f8:12:34:56 ssid=corp channel=36 rssi=-50\n", error))
        << error;
    const bool started = session.startProgram(site, error);
    session.keepLogs(artifacts, "screenshot-pdf-plan-");
    ASSERT_TRUE(started) << error << " (see artifacts/screenshot-pdf-plan-walkmere.log)";

    // The site view shows once the start-up view is tapped and the question whether to keep
    // the points is answered (it is asked of a site without points too); then it is drawn
    // with all four rooms.
    std::optional<ViewArea> view;
    QImage shot;
    int questions = 0;
    std::string why;
    const bool shown = session.showSiteView(
        20s,
        [&](const QImage& img, std::string& whyNot) {
            view = findSiteView(img, whyNot);
            if (!view) return false;
            for (const Room& r : kRooms)
                if (findColour(img, r.colour, img.rect()).count == 0) {
                    whyNot = "a room's colour is missing";
                    return false;
                }
            return true;
        },
        shot, questions, why);
    const fs::path png = artifacts / "screenshot-pdf-plan.png";
    if (!shot.isNull()) shot.save(QString::fromStdString(png.string()));
    session.keepLogs(artifacts, "screenshot-pdf-plan-");
    ASSERT_TRUE(shown) << why << " (see " << png.string() << ")";
    EXPECT_EQ(questions, 1);

    // Each room whole, in its quarter around the walls' cross, as wide as drawn (100 %, a
    // pixel a point across; the handheld's screen stretches the plan downwards).
    const QRect area(QPoint(view->left, view->top), QPoint(view->right - 1, view->bandTop() - 1));
    const Blob walls = findColour(shot, kWallColour, shot.rect());
    EXPECT_TRUE(area.contains(walls.box)) << "the walls' colour outside the site view";
    EXPECT_EQ(walls.box.width(), kFloorWidth);
    const QPoint cross = walls.box.center();
    // The middle walls pass through the cross: above it and left of it, between the rooms.
    EXPECT_EQ(shot.pixel(cross.x(), walls.box.top() + walls.box.height() / 4), kWallColour);
    EXPECT_EQ(shot.pixel(walls.box.left() + walls.box.width() / 4, cross.y()), kWallColour);
    for (const Room& r : kRooms) {
        SCOPED_TRACE(r.pdfColour);
        const Blob room = findColour(shot, r.colour, shot.rect());
        EXPECT_TRUE(area.contains(room.box)) << "a room's colour outside the site view";
        EXPECT_EQ(room.box.width(), kRoomWidth);
        EXPECT_GE(room.box.height(), kRoomHeight);
        EXPECT_GE(room.count, kRoomWidth * kRoomHeight);
        EXPECT_EQ(room.box.center().x() < cross.x(), r.left) << "walls at x " << cross.x();
        EXPECT_EQ(room.box.center().y() < cross.y(), r.top) << "walls at y " << cross.y();
        EXPECT_FALSE(room.box.contains(cross)) << "a room over the walls";
    }
    std::printf("picture %s\n", png.c_str());
}

} // namespace
} // namespace walkmere::screenshot
