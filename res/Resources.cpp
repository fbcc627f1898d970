#include "res/Resources.h"

#include <QImage>
#include <QPixmap>
#include <mutex>

// rcc defines the registration function at global scope and Q_INIT_RESOURCE declares it in
// the namespace it is used in, so it is called from outside namespace walkmere.
static void registerCompiledResources() {
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(texts);
}

namespace walkmere {

namespace {

// The strip's background colour; the generator keeps it out of the images themselves.
constexpr QRgb kToolbarBackground = qRgb(192, 192, 192);

const int kIconSizes[] = {16, 32, 48, 64};

bool isSoundName(const QString& name) {
    if (name.isEmpty()) return false;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok =
            (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
        if (!ok) return false;
    }
    return true;
}

// Cuts image `index` (side x side) out of a strip and clears its background.
QPixmap cutToolbarImage(const QImage& strip, int index, int side) {
    if (strip.isNull() || strip.height() < side || strip.width() < (index + 1) * side) {
        return {};
    }
    QImage image = strip.copy(index * side, 0, side, side).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == (kToolbarBackground & 0x00FFFFFF)) line[x] = 0;
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

void walkmereInitResources() {
    static std::once_flag once;
    std::call_once(once, registerCompiledResources);
}

QString bitmapResourcePath(int id) {
    return QStringLiteral(":/res/bitmap%1.bmp").arg(id);
}

QString helpTextResourcePath() {
    return QStringLiteral(":/res/help.txt");
}

QString soundResourcePath(const QString& name) {
    if (!isSoundName(name)) return {};
    return QStringLiteral(":/res/sounds/%1.wav").arg(name.toUpper());
}

QString iconResourcePath(int size) {
    for (int s : kIconSizes) {
        if (s == size) return QStringLiteral(":/res/icon128_%1.png").arg(size);
    }
    return {};
}

QIcon programIcon() {
    QIcon icon;
    for (int s : kIconSizes)
        icon.addFile(iconResourcePath(s), QSize(s, s));
    return icon;
}

QIcon toolbarIcon(int index) {
    if (index < 0 || index >= kToolbarImageCount) return {};
    QIcon icon;
    const QPixmap normal = cutToolbarImage(QImage(bitmapResourcePath(128)), index, 16);
    const QPixmap dense =
        cutToolbarImage(QImage(QStringLiteral(":/res/bitmap128_2x.bmp")), index, 32);
    // One picture for each whole-number UI scale, each pixel repeated (never smoothed): the
    // 32-pixel drawing for the even scales, the handheld's 16 pixels for the odd ones.
    for (int n = 1; n <= 8; ++n) {
        const QPixmap& from = (n % 2 == 0 && !dense.isNull()) ? dense : normal;
        if (from.isNull()) continue;
        const int side = 16 * n;
        icon.addPixmap(from.width() == side ? from
                                            : from.scaled(side, side, Qt::IgnoreAspectRatio,
                                                          Qt::FastTransformation));
    }
    return icon;
}

} // namespace walkmere
