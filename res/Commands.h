#pragma once

#include <array>

namespace walkmere {

// The command bar's commands, by the numeric ids the program has always used; a command's
// prompt string (its tooltip and status tip) is the string resource of the same id.
inline constexpr int ID_FILE_OPEN_SITE = 32771;     // "Open a Site"            (site view)
inline constexpr int ID_FILE_SAVE_SITE = 32772;     // "Save a Site"            (site view)
inline constexpr int ID_ZOOM_IN = 32774;            // "Zoom in on the Site"    (site view)
inline constexpr int ID_ZOOM_OUT = 32775;           // "Zoom out from Site"     (site view)
inline constexpr int ID_APP_ABOUT_BOX = 32777;      // "About"                  (frame)
inline constexpr int ID_TAKE_SNAPSHOT = 32778;      // "Take JPEG Snapshot ..." (frame)
inline constexpr int ID_OPTIONS = 32779;            // "Options"                (frame)
inline constexpr int ID_PLACE_ACCESS_POINT = 32780; // "Add/remove an access point" (site view)
inline constexpr int ID_HELP = 57670;               // "Help"                   (frame)
// The desktop map's own commands (site view), on the bar only beyond the handheld's form.
inline constexpr int ID_WHOLE_PLAN = 32790;        // "Whole plan"             Ctrl+0
inline constexpr int ID_COVERAGE_MAP = 32791;      // "Coverage map"           C
inline constexpr int ID_COVERAGE_SETTINGS = 32792; // "Coverage map settings"  Shift+C
inline constexpr int ID_WALK = 32793;              // "Walk"                   W

struct CommandButton {
    int id;
    const char* prompt;   // the command's prompt string: tooltip and status tip
    bool siteViewCommand; // handled by the site view; otherwise by the frame
};

// The nine buttons of the command bar, left to right; button i shows image i of bitmap 128.
inline constexpr std::array<CommandButton, 9> kCommandButtons = {{
    {ID_FILE_OPEN_SITE, "Open a Site", true},
    {ID_FILE_SAVE_SITE, "Save a Site", true},
    {ID_TAKE_SNAPSHOT, "Take JPEG Snapshot of current screen", false},
    {ID_ZOOM_IN, "Zoom in on the Site", true},
    {ID_ZOOM_OUT, "Zoom out from Site", true},
    {ID_PLACE_ACCESS_POINT, "Add/remove an access point", true},
    {ID_OPTIONS, "Options", false},
    {ID_HELP, "Help", false},
    {ID_APP_ABOUT_BOX, "About", false},
}};

// The desktop map's buttons, after the nine. Their icons are drawn by the program.
inline constexpr std::array<CommandButton, 4> kDesktopButtons = {{
    {ID_WALK, "Walk: tap where you start and at each turn (W)", true},
    {ID_WHOLE_PLAN, "Whole plan (Ctrl+0)", true},
    {ID_COVERAGE_MAP, "Coverage map (C)", true},
    {ID_COVERAGE_SETTINGS, "Coverage map settings (Shift+C)", true},
}};

} // namespace walkmere
