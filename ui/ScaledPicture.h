#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "ui/DrawnText.h"

class QPainter;

namespace walkmere {

// The texts of one picture. At scale 1 a text is drawn at once; in a picture that is drawn
// at the handheld's pixels and then magnified (see composeScaled), texts are kept and drawn
// afterwards on the magnified picture, at device resolution, so they stay crisp while every
// line, fill and bitmap is a block of whole pixels.
class TextLayer {
public:
    // `record`, when given, receives every text as it is drawn or kept.
    explicit TextLayer(DrawnTexts* record = nullptr, bool deferred = false)
        : record(record), deferred(deferred) {}

    // Draws `text` in the painter's current font and `ink`, with an opaque `background`
    // behind the glyphs when one is given (the handheld's opaque text mode).
    void draw(QPainter& p, const QRect& r, int flags, const QString& text, const QColor& ink,
              std::optional<QColor> background = std::nullopt);
    // A text drawn by other means (a sprite that carries its label), for the record only.
    void noteDrawn(const DrawnText& text) {
        if (record) record->push_back(text);
    }
    // An opaque fill, and a bitmap ANDed in (the cursor). Drawn at once; when texts are
    // kept, they are also drawn again after those texts so that what covered a text at the
    // handheld's pixels still covers it in the magnified picture.
    void fill(QPainter& p, const QRect& r, const QColor& colour);
    void andImage(QPainter& p, QPoint at, const QImage& image);
    bool defers() const { return deferred; }
    // Draws the kept texts, and what followed them, on `device`, whose device pixel ratio
    // says the scale.
    void drawKept(QImage& device) const;

private:
    struct Kept {
        enum class Kind { Text, Fill, AndImage } kind = Kind::Text;
        DrawnText text; // Text; for the others only text.rect, the place
        QColor ink;     // Text's ink, Fill's colour
        std::optional<QColor> background;
        const QImage* image = nullptr; // AndImage: owned by the caller, alive until drawKept
    };
    DrawnTexts* record;
    bool deferred;
    std::vector<Kept> kept;
};

// A picture of `logicalSize` at a whole-number `scale`: `paint` draws it at the logical size
// with its texts through the layer; at scale 1 that is the picture, at scale n each pixel
// becomes n x n (no smoothing) and the texts are drawn at device resolution on top. The result
// has the device pixel ratio `scale`.
using LogicalPainter = std::function<void(QImage& logical, TextLayer& texts)>;
QImage composeScaled(QSize logicalSize, int scale, const LogicalPainter& paint,
                     DrawnTexts* record = nullptr);

// The whole-number scale to compose for a widget on a screen of this device pixel ratio.
int deviceScaleFor(qreal devicePixelRatio);

} // namespace walkmere
