#pragma once

#include <QWidget>

#include <functional>

namespace walkmere {

class CBoardProtocol;
class TextLayer;
class ISoundPlayer;

// The start-up view: picture 144 with the board's firmware and serial number.
// A tap beeps and asks the frame for the site view.
class CPlotraView : public QWidget {
    Q_OBJECT
public:
    CPlotraView(const CBoardProtocol& board, ISoundPlayer& sound, QWidget* parent = nullptr);

    // Paints the view into an image of any size, as the screen shows it.
    void render(QImage& target) const;
    // The same at a whole-number device scale: the picture magnified without smoothing, the
    // texts at device resolution.
    QImage composePicture(QSize size, int scale) const;

signals:
    void tapped();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    void paint(QImage& target, TextLayer& texts) const;

    const CBoardProtocol& board;
    ISoundPlayer& sound;
};

} // namespace walkmere
