#include "app/CommandBar.h"

#include "res/Resources.h"

#include <QAction>
#include <QPainter>

namespace walkmere {

namespace {

// The desktop map's buttons have no picture in the program's bitmaps; theirs are drawn, at
// 16 and 32 pixels so a scaled screen gets a sharp one.
QPixmap drawnIcon(int id, int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double u = side / 16.0;
    p.scale(u, u);
    p.setPen(QPen(Qt::black, 1.2));
    if (id == ID_WHOLE_PLAN) {
        // A plan in a frame with its four corners marked.
        p.setBrush(QColor(230, 230, 230));
        p.drawRect(QRectF(4, 5, 8, 6));
        p.setBrush(Qt::NoBrush);
        for (const QPointF& c :
             {QPointF(1.5, 1.5), QPointF(14.5, 1.5), QPointF(1.5, 14.5), QPointF(14.5, 14.5)}) {
            const double dx = c.x() < 8 ? 3 : -3, dy = c.y() < 8 ? 3 : -3;
            p.drawLine(c, c + QPointF(dx, 0));
            p.drawLine(c, c + QPointF(0, dy));
        }
    } else if (id == ID_WALK) {
        // Two footprints on a dashed path.
        p.setPen(QPen(Qt::black, 1.2, Qt::DashLine));
        p.drawLine(QPointF(1, 15), QPointF(15, 1));
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(128, 0, 160));
        p.drawEllipse(QRectF(2.5, 6, 4, 6.5));
        p.drawEllipse(QRectF(9, 3, 4, 6.5));
    } else {
        // Four tiles from strong to weak: a coverage map; with a slider for its settings.
        const QColor tiles[] = {{0, 170, 70}, {150, 210, 0}, {250, 190, 0}, {220, 40, 30}};
        for (int i = 0; i < 4; ++i) {
            p.setBrush(tiles[i]);
            p.drawRect(QRectF(1.5 + (i % 2) * 6.5, 1.5 + (i / 2) * 6.5, 6, 6));
        }
        if (id == ID_COVERAGE_SETTINGS) {
            p.setBrush(Qt::white);
            p.drawRect(QRectF(2, 12.5, 12, 2.5));
            p.setBrush(Qt::black);
            p.drawEllipse(QPointF(10, 13.75), 2, 2);
        }
    }
    return pixmap;
}

QIcon desktopIcon(int id) {
    QIcon icon;
    for (int side : {16, 32})
        icon.addPixmap(drawnIcon(id, side));
    return icon;
}

} // namespace

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
    // Shown by the frame only while the site view is a desktop map.
    for (const CommandButton& button : kDesktopButtons) {
        const QString prompt = QString::fromUtf8(button.prompt);
        QAction* a = addAction(desktopIcon(button.id), prompt);
        a->setData(button.id);
        a->setToolTip(prompt);
        a->setStatusTip(prompt);
        a->setVisible(false);
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
