#pragma once

#include <QImage>
#include <QWidget>

#include <functional>
#include <vector>

#include "scan/ApRecord.h"

namespace walkmere {

// The screen shown while a point is measured: a progress bar with its percentage and the
// certified APs of the live table. It keeps nothing between paints; each paint asks the two
// getters for the percentage and for the certified records copied at one moment, so a
// sweep merged meanwhile by the link worker is seen whole or not at all.
//
// Taller than the handheld's screen it shows the strongest first and scrolls (arrow keys,
// Page Up/Down, Home/End, the wheel) when more APs are certified than its rows hold.
class CScanView : public QWidget {
    Q_OBJECT
public:
    using PercentSource = std::function<int()>;
    using RecordsSource = std::function<std::vector<ApRecord>()>;

    CScanView(PercentSource progressPercent, RecordsSource certifiedRecords,
              QWidget* parent = nullptr);

    // Called when the surveyor presses Escape: the measurement is given up.
    void setCancelHandler(std::function<void()> handler) { cancel = std::move(handler); }

    // The picture as the widget shows it, at the given size (its own size when none) and
    // whole-number device scale.
    QImage composePicture(QSize size = QSize(), int scale = 1) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Moves the first row shown by `rows`, kept within the rows there are.
    void scrollBy(int rows);

    std::function<void()> cancel;
    PercentSource percent;
    RecordsSource records;
    int firstRow = 0;
};

} // namespace walkmere
