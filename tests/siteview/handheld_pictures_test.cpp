// At the handheld's size and scale 1 the site map and the scan screen are exactly the
// pictures kept in pictures/ (taken before the program learned larger windows and scales).
// WALKMERE_WRITE_PICTURES=DIR writes them anew into DIR instead of comparing.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <vector>

#include "sample_pictures.h"
#include "scan/ScanPainter.h"

namespace walkmere {
namespace {

QImage siteMap(bool open) {
    const sample::SiteMap site(open);
    QImage img(227, 255, QImage::Format_RGB32);
    paintSiteMap(img, site.scene);
    return img;
}

QImage scanView() {
    QImage img(240, 268, QImage::Format_RGB32);
    paintScanView(img, 64, sample::scanAps());
    return img;
}

TEST(HandheldPictures, AtScaleOneTheViewsPaintWhatTheyPaintedBefore) {
    const char* source = std::getenv("WALKMERE_SOURCE_DIR");
    ASSERT_TRUE(source && *source) << "WALKMERE_SOURCE_DIR is not set";
    const QString kept = QString(source) + "/tests/siteview/pictures/";
    const char* write = std::getenv("WALKMERE_WRITE_PICTURES");
    const std::vector<std::pair<QString, QImage>> pictures = {
        {"site-map.png", siteMap(true)}, {"no-site.png", siteMap(false)}, {"scan.png", scanView()}};
    for (const auto& [name, now] : pictures) {
        if (write && *write) {
            ASSERT_TRUE(now.save(QString(write) + "/" + name));
            continue;
        }
        const QImage before = QImage(kept + name).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(before.isNull()) << name.toStdString();
        EXPECT_TRUE(before == now) << name.toStdString() << " differs from the picture kept";
    }
}

} // namespace
} // namespace walkmere
