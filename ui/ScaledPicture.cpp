#include "ui/ScaledPicture.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace walkmere {

void TextLayer::draw(QPainter& p, const QRect& r, int flags, const QString& text, const QColor& ink,
                     std::optional<QColor> background) {
    const DrawnText drawn{text, r, flags, p.font()};
    if (record) record->push_back(drawn);
    if (deferred) {
        kept.push_back({Kept::Kind::Text, drawn, ink, background});
        return;
    }
    p.setPen(ink);
    if (background) {
        p.setBackground(*background);
        p.setBackgroundMode(Qt::OpaqueMode);
    }
    p.drawText(r, flags, text);
    p.setBackgroundMode(Qt::TransparentMode);
}

void TextLayer::fill(QPainter& p, const QRect& r, const QColor& colour) {
    p.fillRect(r, colour);
    if (!kept.empty()) kept.push_back({Kept::Kind::Fill, {QString(), r, 0, QFont()}, colour, {}});
}

void TextLayer::andImage(QPainter& p, QPoint at, const QImage& image) {
    p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    p.drawImage(at, image);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (!kept.empty()) {
        kept.push_back({Kept::Kind::AndImage,
                        {QString(), QRect(at, image.size()), 0, QFont()},
                        QColor(),
                        {},
                        &image});
    }
}

void TextLayer::drawKept(QImage& device) const {
    QPainter p(&device);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    for (const Kept& k : kept) {
        if (k.kind == Kept::Kind::Fill) {
            p.fillRect(k.text.rect, k.ink);
            continue;
        }
        if (k.kind == Kept::Kind::AndImage) {
            // Without smoothing the bitmap is magnified to whole blocks.
            p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            p.drawImage(k.text.rect, *k.image);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            continue;
        }
        p.setFont(k.text.font);
        p.setPen(k.ink);
        if (k.background) {
            p.setBackground(*k.background);
            p.setBackgroundMode(Qt::OpaqueMode);
        } else {
            p.setBackgroundMode(Qt::TransparentMode);
        }
        p.drawText(k.text.rect, k.text.flags, k.text.text);
    }
}

QImage composeScaled(QSize logicalSize, int scale, const LogicalPainter& paint,
                     DrawnTexts* record) {
    scale = std::max(1, scale);
    QImage logical(logicalSize, QImage::Format_RGB32);
    TextLayer texts(record, scale > 1);
    paint(logical, texts);
    if (scale == 1 || logical.isNull()) return logical;
    // FastTransformation repeats each pixel scale x scale times: no smoothing.
    QImage device =
        logical.scaled(logical.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    device.setDevicePixelRatio(scale);
    texts.drawKept(device);
    return device;
}

int deviceScaleFor(qreal devicePixelRatio) {
    // A fractional desktop scale is left to Qt: the picture is composed at whole pixels.
    return std::max(1, static_cast<int>(std::floor(devicePixelRatio + 1e-6)));
}

} // namespace walkmere
