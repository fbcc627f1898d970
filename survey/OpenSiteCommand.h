#pragma once

#include <string>

namespace walkmere {

class CSurveyStore;
class IPrompter;
class ISoundPlayer;

inline constexpr const char* kSiteFileFilter = "Site Files (*.kvs)|*.kvs|All Files (*.*)|*.*||";
inline constexpr const char* kCannotLoadBitmapText = "Cannot Load Bitmap";
inline constexpr const char* kKeepPointsQuestion = "Do you wish to keep existing data points?";
inline constexpr const char* kKeepPointsCaption = "Kivo";

// What the site view does while a site opens.
class ISiteOpenView {
public:
    virtual ~ISiteOpenView() = default;
    // The file was accepted: it becomes the view's openedPath; the viewport is reset.
    virtual void siteAccepted(const std::string& path) = 0;
    // Loads the decoded floor plan (a Windows bitmap file) as the site's picture; false
    // when no picture results. Called at most once per opening; without a call the site
    // has no floor plan.
    virtual bool loadFloorPlan(const std::string& bitmapPath) = 0;
    // The site is open: siteOpen is set, the viewport and the scroll bars are sized to the
    // floor plan.
    virtual void siteReady() = 0;
    virtual void redraw() = 0;
};

// The "Open a Site" command, start to end: the file dialog, the wait cursor, opening and
// checking the file (refusals shown with caption "File Error" and the stop icon), the
// floor plan ("Cannot Load Bitmap" when none results), and the question whether to keep
// the points already in the file, with what the store has to say on the way. Returns true
// when a site was opened; a cancelled or refused opening leaves the store and the view with
// the site they had.
bool runOpenSiteCommand(IPrompter& prompter, ISoundPlayer& sound, CSurveyStore& store,
                        ISiteOpenView& view);

} // namespace walkmere
