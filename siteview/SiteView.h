#pragma once

#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

#include "siteview/CoverageLayer.h"
#include "siteview/Viewport.h"
#include "ui/CommandTarget.h"

class QScrollBar;

namespace walkmere {

class CSurveyStore;
class IPrompter;
class ISoundPlayer;
class PointMeasurement;
class WalkSession;

inline constexpr const char* kNoPointInRangeText = "No survey point within range.";
inline constexpr const char* kTapOnPlanToMeasureText = "Tap on the plan to measure";
inline constexpr const char* kTapOnPlanToPlaceText = "Tap on the plan to place the AP";
inline constexpr const char* kCoverageNeedsDesktopText =
    "The coverage map needs a larger window or scale";
inline constexpr const char* kCoverageNothingToMapText = "Coverage: no survey point to map yet";

// What the site view's input works on besides the viewport.
struct SiteViewServices {
    CSurveyStore& store;
    PointMeasurement& measurement; // begun by a tap or the action key
    IPrompter& prompter;
    ISoundPlayer& sound;
    std::function<void()> activateScanView; // shows the scan view while a point is measured
    WalkSession* walk = nullptr;            // the walking survey; none: no Walk command
};

// The view the surveyor works in: the floor plan with the survey points, the walk path, the
// placed access points, rulers, the survey cursor, banners and the status line. The whole
// picture is composed off screen and copied to the widget in one piece, so the map is never
// seen half drawn.
//
// Input: a tap takes a survey point where it lands (or places an access point in placement
// mode); a press that moves is still a tap, at the press point. A press held 600 ms without
// moving, or a right-button press, inspects the nearest point; the arrow
// keys move the map under the cursor and Return/Enter takes a point at the cursor. The two
// scroll bars stand for the viewport's centre; they lie outside the client area. A tap beside
// the plan takes no point; the status line says so.
//
// At the handheld's window size and scale 1 the view is the handheld's: its square view
// stretched onto the client. Any other form is a desktop map (CViewport's): true proportions,
// the whole plan on Ctrl+0, Ctrl+wheel zooming about the pointer, the wheel scrolling
// (Shift+wheel across), a middle-button drag panning, the arrow keys moving the map by a fixed
// number of screen pixels, and no access point placed beside the plan.
//
// The view reads and changes the viewport and the survey store on the UI thread only,
// never during a paint.
class CSiteView : public QWidget, public ICommandTarget {
    Q_OBJECT
public:
    // The scroll codes the scroll handlers take.
    enum ScrollCode {
        SB_LINELEFT = 0,
        SB_LINEUP = 0,
        SB_LINERIGHT = 1,
        SB_LINEDOWN = 1,
        SB_PAGELEFT = 2,
        SB_PAGEUP = 2,
        SB_PAGERIGHT = 3,
        SB_PAGEDOWN = 3,
        SB_THUMBPOSITION = 4,
        SB_THUMBTRACK = 5,
    };
    static constexpr int kHoldMilliseconds = 600;
    static constexpr int kHoldSlop = 4; // pixels a held press may wander

    CSiteView(CViewport& viewport, const SiteViewServices& services, QWidget* parent = nullptr);

    // Set by the open-site flow once it has accepted a site file (also when the floor plan
    // could not be loaded); never cleared.
    bool siteOpen = false;
    // The path the site was opened under; offered as the name when saving.
    QString openedPath;
    // Access-point placement mode: the next tap places an access point.
    bool placingAp = false;
    // The floor-plan bitmap; null until the open flow attaches one.
    QImage floorPlan;
    // The unit the site's scale counts ("m" or "ft"; the site file keeps only pixels per
    // unit): the scale bar names it, and the coverage map's radius is measured in it.
    std::string mapUnit = "m";

    CViewport& viewport() { return view; }
    const CViewport& viewport() const { return view; }
    const CSurveyStore& store() const { return services.store; }

    // The client rectangle as the viewport's operations take it: the widget less its
    // scroll bars.
    EdgeRect clientRect() const;

    // The client area the view has at the handheld's window size. Once it is set, any other
    // client size, or a device scale above 1, makes the view a desktop map. Without it the view
    // is the handheld's square view of whatever size it has.
    void setHandheldClient(QSize client) { handheldClient = client; }
    // The square view's side a newly opened site starts from.
    int32_t initialViewSide() const;
    // The view is not in the handheld's form.
    bool desktopForm() const;
    // Turns the desktop map on or off as the form now asks; a site just opened on the desktop
    // map shows the whole plan. formChanged() tells when the form changed.
    void syncForm(bool siteJustOpened = false);
    // "Whole plan" (Ctrl+0): the desktop map fits the plan in the view.
    void showWholePlan();
    // The room the scroll bars take: the vertical bar's width, the horizontal bar's height.
    QSize scrollBarExtent() const;

    // The picture exactly as the widget shows it, at the given size (the client area's
    // size when none is given) and whole-number device scale; the snapshot writer and the
    // tests use it.
    QImage composePicture(QSize size = QSize(), int scale = 1) const;

    // ---- walking (W, the Walk button) ----
    // Arms a walk (the next tap starts it), or ends the one under way and says how many
    // samples after the last tap were dropped; Escape ends it too.
    void toggleWalk();

    // ---- the coverage map (desktop map only) ----
    // C and the toolbar button: shows or hides the map; Shift+C: its settings.
    void toggleCoverage();
    void setCoverageChoice(const CoverageChoice& choice, bool locatedAps);
    // The layer as the next picture shows it (brought up to date with the survey first).
    const CoverageLayer& coverageLayer() const;
    // Replaces the coverage settings dialog (tests choose without a modal loop).
    void setCoverageSettingsRunner(std::function<void()> runner) {
        coverageSettings = std::move(runner);
    }

    // ---- commands: 32771 open, 32772 save, 32774 zoom in, 32775 zoom out, 32780 place;
    // on the desktop map also whole plan, coverage map and its settings ----
    bool handlesCommand(int id) const override;
    void onCommand(int id) override;
    // "Open a Site"; with a path (the command line's) the file dialog is skipped.
    bool openSite(const std::optional<std::string>& path = std::nullopt);
    // What "Save a Site" runs; without a hook the command is not offered.
    void setSaveHook(std::function<void()> hook) { saveSite = std::move(hook); }
    // Replaces the modal Location Information dialog (tests watch it without a modal loop).
    void setLocationInfoRunner(std::function<void()> runner) { locationInfo = std::move(runner); }

    // ---- scroll bars ----
    QScrollBar* horizontalBar() const { return hBar; }
    QScrollBar* verticalBar() const { return vBar; }
    // Ranges 0..plan width and 0..plan height, boxes at the centre (the open flow).
    void setScrollRanges(int planWidth, int planHeight);
    void setHorizontalBox();
    void setVerticalBox();

    // ---- the handlers, by the handheld's events ----
    void OnHScroll(int code, int thumbPosition);
    void OnVScroll(int code, int thumbPosition);
    void OnTapAndHold(QPoint p);
    void OnTap(QPoint p);
    // Returns true for the keys the view acts on.
    bool OnKeyDown(int key);

    // Why the last tap did nothing; empty when it did what it was meant to.
    const QString& statusNote() const { return note; }

    // Paints the whole view now.
    void repaintNow() { repaint(); }

signals:
    // The view turned into the desktop map or back into the handheld's (the frame shows the
    // desktop map's commands only on the map).
    void formChanged(bool desktop);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void connectScrollBars();
    void placeScrollBars();
    bool insideClient(QPoint p) const;
    void onHoldTimeout();
    // The status line's counts return at the next input.
    void clearNote() { note.clear(); }
    // Moves the view: by client pixels on the desktop map, else by plan pixels.
    void moveMap(int32_t clientDx, int32_t clientDy, int32_t planDx, int32_t planDy);

    CViewport& view;
    SiteViewServices services;
    QImage cursorBitmap;
    QScrollBar* hBar;
    QScrollBar* vBar;
    std::function<void()> saveSite;
    std::function<void()> locationInfo;
    std::function<void()> coverageSettings;
    void runCoverageSettings();
    bool event(QEvent* event) override;
    // Brought up to date lazily, when a picture of the map is composed.
    mutable CoverageLayer coverage;

    std::optional<QSize> handheldClient;
    QString note;                  // why the last tap did nothing
    std::optional<QPoint> panFrom; // a middle-button drag under way

    // A left press waiting to become a tap (released) or a tap-and-hold (timer).
    QTimer holdTimer;
    QPoint pressPoint;
    bool pressPending = false;
};

} // namespace walkmere
