#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

class QTouchEvent;

namespace walkmere {

// The pad the surveyor signs on: a 200 x 100 one-bit bitmap shown at the pad's top-left
// with no scaling, so pad coordinates are bitmap coordinates. Only the top-left part of
// the bitmap is visible and takes ink: the pad's own size, never more than the 65 rows the
// site file records, so every stroke the surveyor sees is saved. Strokes are drawn
// with a 2-pixel black pen: a press starts a stroke with a dot at the press point and
// every move joins the polyline. Mouse, stylus (tablet events) and touch screen all draw;
// on a touch screen the first finger draws.
//
// The bitmap belongs to the pad object, not to its window, so it can be read after the
// dialog around it has closed, for as long as the pad object lives.
class CSignaturePad : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 100;

    // The most that shows: the bitmap's width and the rows a signature block records.
    static constexpr int kMaxVisibleHeight = 65;

    // `visible` is cut to 200 x 65.
    explicit CSignaturePad(QSize visible = {kWidth, kMaxVisibleHeight}, QWidget* parent = nullptr);

    // True when the bitmap's pixel is not black; coordinates outside the bitmap are blank.
    bool IsBlankPixel(int x, int y) const;
    // Makes the visible area white again and repaints.
    void ClearSignature();

    const QImage& bitmap() const { return signature; }
    QRect visibleArea() const { return visible; }
    QSize sizeHint() const override { return visible.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;
    bool event(QEvent* event) override;

private:
    void startStroke(QPoint at);
    void continueStroke(QPoint to);
    void endStroke();
    bool touchEvent(QTouchEvent* event);

    QImage signature;
    QRect visible;
    QPoint drawingPosition;
    bool stroking = false;
    int touchId = -1; // the finger that draws
};

} // namespace walkmere
