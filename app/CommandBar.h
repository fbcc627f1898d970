#pragma once

#include <QToolBar>

#include <map>

#include "res/Commands.h"

namespace walkmere {

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
