#include "app/CommandBar.h"

#include "res/Resources.h"

#include <QAction>

namespace walkmere {

CCommandBar::CCommandBar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("commandBar"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(16, 16));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContextMenuPolicy(Qt::PreventContextMenu);

    for (size_t i = 0; i < kCommandButtons.size(); ++i) {
        const CommandButton& button = kCommandButtons[i];
        const QString prompt = QString::fromUtf8(button.prompt);
        QAction* a = addAction(toolbarIcon(static_cast<int>(i)), prompt);
        a->setData(button.id);
        a->setToolTip(prompt);
        a->setStatusTip(prompt);
        const int id = button.id;
        connect(a, &QAction::triggered, this, [this, id] { emit commandTriggered(id); });
        byId[id] = a;
    }
}

QAction* CCommandBar::action(int id) const {
    auto it = byId.find(id);
    return it == byId.end() ? nullptr : it->second;
}

} // namespace walkmere
