#include "ui/DrawBitmapResource.h"

#include "res/Resources.h"

#include <QHash>
#include <QPainter>
#include <QString>

#include <mutex>

namespace walkmere {

QImage loadBitmapResource(int id) {
    static std::mutex lock;
    static QHash<int, QImage> loaded;
    std::lock_guard<std::mutex> guard(lock);
    auto it = loaded.constFind(id);
    if (it != loaded.constEnd()) return it.value();
    // The resources live in a library of their own, which a static link keeps only when
    // something calls into it: registering them here makes every drawing find them.
    walkmereInitResources();
    QImage image(bitmapResourcePath(id));
    // Palette bitmaps are turned into plain RGB once, so every later paint is a straight copy.
    if (!image.isNull() && image.format() != QImage::Format_RGB32) {
        image = image.convertToFormat(QImage::Format_RGB32);
    }
    loaded.insert(id, image);
    return image;
}

void drawBitmapResource(QPainter& painter, int id, int x, int y, int width, int height) {
    const QImage image = loadBitmapResource(id);
    if (image.isNull()) return;
    const QPainter::CompositionMode previous = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRect(x, y, width, height), image, image.rect());
    painter.setCompositionMode(previous);
}

} // namespace walkmere
