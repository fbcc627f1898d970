#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include "siteview/Viewport.h"

namespace walkmere {

class CSurveyStore;

// The view the surveyor works in: the floor plan with the survey points, the walk path, the
// placed access points, rulers, the survey cursor, banners and the status line. The whole
// picture is composed off screen and copied to the widget in one piece, so the map is never
// seen half drawn.
//
// The view reads the viewport and the survey store it was given; both are changed only on
// the UI thread, never during a paint.
class CSiteView : public QWidget {
    Q_OBJECT
public:
    CSiteView(CViewport& viewport, const CSurveyStore& store, QWidget* parent = nullptr);

    // Set by the open-site flow once it has accepted a site file (also when the floor plan
    // could not be loaded); never cleared.
    bool siteOpen = false;
    // The path the site was opened under; offered as the name when saving.
    QString openedPath;
    // Access-point placement mode: the next tap places an access point.
    bool placingAp = false;
    // The floor-plan bitmap; null until the open flow attaches one.
    QImage floorPlan;

    CViewport& viewport() { return view; }
    const CSurveyStore& store() const { return survey; }

    // The client rectangle as the viewport's operations take it.
    EdgeRect clientRect() const { return {0, 0, width(), height()}; }

    // The picture exactly as the widget shows it, at the given size (the widget's own size
    // when none is given); the snapshot writer and the tests use it.
    QImage composePicture(QSize size = QSize()) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CViewport& view;
    const CSurveyStore& survey;
    QImage cursorBitmap;
    QImage offscreen; // kept between paints so it is not reallocated every time
};

} // namespace walkmere
