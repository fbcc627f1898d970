#pragma once

#include <QWidget>

#include <functional>

namespace walkmere {

class CBoardProtocol;
class ISoundPlayer;

// The start-up view: picture 144 with the board's firmware and serial number.
// A tap beeps and asks the frame for the site view.
class CPlotraView : public QWidget {
    Q_OBJECT
public:
    CPlotraView(const CBoardProtocol& board, ISoundPlayer& sound, QWidget* parent = nullptr);

    // Paints the view into an image of any size, as the screen shows it.
    void render(QImage& target) const;

signals:
    void tapped();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    const CBoardProtocol& board;
    ISoundPlayer& sound;
};

} // namespace walkmere
