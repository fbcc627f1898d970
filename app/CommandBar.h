#pragma once

#include <QToolBar>

#include <array>
#include <map>

namespace walkmere {

struct CommandButton {
    int id;
    const char* prompt;   // the command's prompt string: tooltip and status tip
    bool siteViewCommand; // handled by the site view; otherwise by the frame
};

// The nine buttons of the command bar, left to right; button i shows image i of bitmap 128.
inline constexpr std::array<CommandButton, 9> kCommandButtons = {{
    {32771, "Open a Site", true},
    {32772, "Save a Site", true},
    {32778, "Take JPEG Snapshot of current screen", false},
    {32774, "Zoom in on the Site", true},
    {32775, "Zoom out from Site", true},
    {32780, "Add/remove an access point", true},
    {32779, "Options", false},
    {57670, "Help", false},
    {32777, "About", false},
}};

// The frame's command bar: a fixed toolbar at the top with the nine command buttons. A
// button press is reported as commandTriggered(id); which buttons are enabled is the
// frame's decision.
class CCommandBar : public QToolBar {
    Q_OBJECT
public:
    explicit CCommandBar(QWidget* parent = nullptr);

    // The button's action, or null for an id that is not on the bar.
    QAction* action(int id) const;

signals:
    void commandTriggered(int id);

private:
    std::map<int, QAction*> byId;
};

} // namespace walkmere
