// The desktop map's own commands: the whole plan, the coverage map and its settings, and the
// touchpad's pinch.
#include "siteview/SiteView.h"

#include <QNativeGestureEvent>

#include "siteview/CoverageDlg.h"
#include "ui/CommandTarget.h"

namespace walkmere {

void CSiteView::toggleCoverage() {
    clearNote();
    if (!view.desktopMap()) {
        note = QString::fromLatin1(kCoverageNeedsDesktopText);
        repaintNow();
        return;
    }
    coverage.setShown(!coverage.shown());
    if (coverage.shown()) {
        const CoverageLayer& layer = coverageLayer();
        if (!layer.problem().isEmpty())
            note = layer.problem();
        else if (layer.mappedPoints() == 0)
            note = QString::fromLatin1(kCoverageNothingToMapText);
    }
    repaintNow();
}

void CSiteView::setCoverageChoice(const CoverageChoice& choice, bool locatedAps) {
    coverage.setChoice(choice);
    coverage.setShowsLocatedAps(locatedAps);
    update();
}

void CSiteView::runCoverageSettings() {
    if (coverageSettings) return coverageSettings();
    CoverageDlg::Settings current{coverage.choice(), coverage.showsLocatedAps(), mapUnit};
    CoverageDlg dialog(current, surveyNetworks(coverageLayer().survey()), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const CoverageDlg::Settings chosen = dialog.settings();
    mapUnit = chosen.unit;
    setCoverageChoice(chosen.choice, chosen.locatedAps);
    // Asking for the map shows it.
    if (!coverage.shown()) toggleCoverage();
}

bool CSiteView::event(QEvent* e) {
    // A touchpad's pinch zooms the desktop map about the fingers, as Ctrl+wheel does.
    if (e->type() == QEvent::NativeGesture && view.desktopMap()) {
        auto* gesture = static_cast<QNativeGestureEvent*>(e);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            const QPoint at = gesture->position().toPoint();
            view.zoomMapAbout(1.0 + gesture->value(), clientRect(), {at.x(), at.y()});
            setHorizontalBox();
            setVerticalBox();
            repaintNow();
            return true;
        }
    }
    return QWidget::event(e);
}

} // namespace walkmere
