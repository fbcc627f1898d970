#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "coverage/HeatmapRender.h"
#include "siteview/Viewport.h"
#include "survey/SurveyStore.h"
#include "ui/DrawnText.h"
#include "ui/ScaledPicture.h"

namespace walkmere {

// Everything one picture of the site map is drawn from.
struct SiteMapScene {
    const CViewport* viewport = nullptr;
    std::span<const PointIndexEntry> points; // the survey store's index, in order
    int32_t locationCount = 0;               // SCANS on the status line
    int32_t readingTotal = 0;                // POINTS on the status line
    bool noApHeard = false;                  // the alert banner
    bool placingAp = false;                  // the placement banner
    // A walk under way: its banner, the path of its taps (plan points, in order) and what the
    // status line says of the segment being walked.
    bool walking = false;
    std::vector<IntPoint> walkTaps;
    QString walkStatus;
    bool siteOpen = false;
    QString statusNote;                // when set, the status line says this instead of the counts
    const QImage* floorPlan = nullptr; // may be null or empty: no plan is drawn
    double pixelsPerUnitX = 0;         // ruler scales, plan pixels per unit of length
    double pixelsPerUnitY = 0;
    // The desktop map measures only a calibrated plan (siteScale), and names the unit.
    bool calibrated = false;
    std::string unit = "m";
    const QImage* cursor = nullptr; // the 32 x 32 survey cursor; null draws none
    // The coverage map's legend (drawn below the rulers when set) and the access points
    // located from the survey (blue diamonds with their names).
    const QImage* coverageLegend = nullptr;
    std::span<const NamedAp> locatedAps;
    DrawnTexts* drawnTexts = nullptr; // when set, every text drawn is appended to it
    // Only what lies over the plan: no background, no plan and no cursor, into a clear
    // ARGB32_Premultiplied picture (the desktop map at a device scale draws those itself).
    bool overlayOnly = false;
    // The texts go through this layer when one is given (a picture composed at a device
    // scale keeps them for later); otherwise they are drawn at once.
    TextLayer* texts = nullptr;
};

// Where the view reaches past the plan, nothing of the plan is drawn there: the picture is
// cleared to this dark grey first, so that part reads as "no plan" rather than as black ink.
inline const QColor kMapBackground{64, 64, 64};

// Paints the whole site-map picture into `target`, at the target's size. The target is
// reallocated as RGB32 when it has another format (the cursor's AND combine needs it).
//
// The walk path starts at the first survey point of the index and steps over placed and
// deleted entries. A dashed segment is drawn only toward a survey point inside the view; one
// that leaves a point outside the view starts at that point's position on the view's linear
// mapping, past the picture's edge, so the path runs in from the edge toward the visible point.
void paintSiteMap(QImage& target, const SiteMapScene& scene);

// The same picture for a view of `clientSize` at a whole-number device `scale` (see
// composeScaled): at scale 1 exactly paintSiteMap's picture. The desktop map at a scale above
// 1 draws its plan at device resolution under the magnified rest.
QImage composeSiteMap(QSize clientSize, int scale, const SiteMapScene& scene);

// Bitmap resource 138, or, when the program carries no such resource, a drawn stand-in: a
// thick dark-cyan ring on white with small black ticks inside it.
QImage siteCursorImage();

} // namespace walkmere
