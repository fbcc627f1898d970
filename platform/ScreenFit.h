#pragma once

class QWidget;

namespace walkmere {

// Keeps a dialog within the available area of the screen it opens on: each time it is shown
// it is made no larger than that area less the window manager's frame, and placed so that the
// screen shows it whole, so that at a large UI scale or on a small screen its buttons never
// lie past the screen's edge. Content that needs more room scrolls (see scrollingBody) or,
// in Qt's own dialogs, is squeezed by their views.
void keepWithinAvailableArea(QWidget& dialog);

// The widget to lay a dialog's content on: it fills the dialog inside a frameless scroll
// area that asks for exactly the content's size, so a dialog with room for its content looks
// as it always did and one held smaller scrolls. Also keeps the dialog within its screen.
QWidget* scrollingBody(QWidget& dialog);

} // namespace walkmere
