#pragma once

namespace walkmere {

// The command bar's commands, by the numeric ids the program has always used.
inline constexpr int ID_FILE_OPEN_SITE = 32771;     // "Open a Site"            (site view)
inline constexpr int ID_FILE_SAVE_SITE = 32772;     // "Save a Site"            (site view)
inline constexpr int ID_ZOOM_IN = 32774;            // "Zoom in on the Site"    (site view)
inline constexpr int ID_ZOOM_OUT = 32775;           // "Zoom out from Site"     (site view)
inline constexpr int ID_APP_ABOUT_BOX = 32777;      // "About"                  (frame)
inline constexpr int ID_TAKE_SNAPSHOT = 32778;      // "Take JPEG Snapshot ..." (frame)
inline constexpr int ID_OPTIONS = 32779;            // "Options"                (frame)
inline constexpr int ID_PLACE_ACCESS_POINT = 32780; // "Add/remove an access point" (site view)
inline constexpr int ID_HELP = 57670;               // "Help"                   (frame)

// A view that handles commands of the command bar. The frame offers every command to the
// active view first; only a command the view does not handle goes on to the frame. A
// button whose command neither the active view nor the frame handles is disabled.
class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    virtual bool handlesCommand(int id) const = 0;
    virtual void onCommand(int id) = 0;
};

} // namespace walkmere
