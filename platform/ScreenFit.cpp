#include "platform/ScreenFit.h"

#include <QEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace walkmere {

namespace {

// The window manager's title bar and borders lie outside the dialog's own geometry; before
// the dialog is first shown they are not known, so at least the room Qt itself guesses for
// them (10 pixels across, 40 down) is left.
QMargins frameAround(const QWidget& dialog) {
    const QWindow* window = dialog.windowHandle();
    const QMargins known = window ? window->frameMargins() : QMargins();
    return QMargins(std::max(known.left(), 5), std::max(known.top(), 30),
                    std::max(known.right(), 5), std::max(known.bottom(), 10));
}

// Made no larger than the screen's available area with its frame, and, unless the maker
// placed it, centred over its parent (else the screen) and moved in so that the screen
// shows it whole. Qt's own placing would not count the frame's lower border.
void fitWithin(QWidget& dialog, const QScreen& screen) {
    const QRect area = screen.availableGeometry();
    const QMargins frame = frameAround(dialog);
    const QSize room =
        (area.size() - QSize(frame.left() + frame.right(), frame.top() + frame.bottom()))
            .expandedTo({1, 1});
    // Only made smaller: a dialog that fits keeps the size Qt or its maker gave it.
    dialog.resize(dialog.size().boundedTo(room));
    if (dialog.testAttribute(Qt::WA_Moved)) return;
    const QWidget* parent = dialog.parentWidget();
    const QPoint centre = parent ? parent->window()->geometry().center() : area.center();
    QRect placed(QPoint(), dialog.size());
    placed.moveCenter(centre);
    const int x = std::clamp(
        placed.x(), area.left() + frame.left(),
        std::max(area.left() + frame.left(), area.right() + 1 - frame.right() - placed.width()));
    const int y = std::clamp(
        placed.y(), area.top() + frame.top(),
        std::max(area.top() + frame.top(), area.bottom() + 1 - frame.bottom() - placed.height()));
    // move() places the frame's corner, whose size the window knows once it has one.
    const QMargins known =
        dialog.windowHandle() ? dialog.windowHandle()->frameMargins() : QMargins();
    dialog.move(x - known.left(), y - known.top());
}

class AvailableAreaFit final : public QObject {
public:
    using QObject::QObject;

protected:
    // The Show event comes after Qt has sized the dialog from its content and before it
    // places it.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto& dialog = static_cast<QWidget&>(*watched);
        const QWidget* parent = dialog.parentWidget();
        const QScreen* screen = parent ? parent->window()->screen() : dialog.screen();
        if (screen) fitWithin(dialog, *screen);
        return false;
    }
};

// Asks for the content's whole size (a plain scroll area caps its wish at a few dozen
// lines) and, to be held smaller, for no more than its scroll bars.
class BodyScrollArea final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        return widget() ? widget()->sizeHint().expandedTo(widget()->minimumSize())
                        : QScrollArea::sizeHint();
    }
    QSize minimumSizeHint() const override {
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        return QSize(3 * bar, 3 * bar);
    }
};

} // namespace

void keepWithinAvailableArea(QWidget& dialog) {
    dialog.installEventFilter(new AvailableAreaFit(&dialog));
}

QWidget* scrollingBody(QWidget& dialog) {
    auto* scroll = new BodyScrollArea(&dialog);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* body = new QWidget(scroll);
    scroll->setWidget(body);
    auto* outer = new QVBoxLayout(&dialog);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    keepWithinAvailableArea(dialog);
    return body;
}

} // namespace walkmere
