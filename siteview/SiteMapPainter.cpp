#include "siteview/SiteMapPainter.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "coverage/RssiColour.h"
#include "siteview/DashedLine.h"
#include "siteview/Ruler.h"
#include "survey/WalkSession.h"
#include "ui/DrawBitmapResource.h"
#include "ui/Fonts.h"

namespace walkmere {

namespace {

constexpr int kCursorBitmap = 138;
constexpr int kCursorSize = 32;
constexpr int kBandHeight = 13;
constexpr int kTextIndent = 25;
// The status line and banners: 7 points of the narrow face, so that the status line with
// four-digit counts fits beside the vertical scroll bar at the handheld's size.
constexpr int kBandPoints = 7;
const QColor kStatusGreen{0, 192, 0};
const QColor kPlacementBlue{0, 0, 192};
const QColor kAlertRed{192, 0, 0};
const QColor kRulerYellow{255, 255, 0};
const QColor kWalkPurple{128, 0, 160};

// Text drawn centred "vertically" by the handheld is in fact only centred horizontally: its
// multi-line layout starts at the top of the rectangle.
constexpr int kCentredTop = Qt::AlignHCenter | Qt::AlignTop;

QRect edges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// Text with its background filled in `background` behind the glyphs, as the handheld's
// opaque text mode does.
void drawOpaqueText(QPainter& p, const QRect& r, int flags, const QString& text, const QColor& ink,
                    const QColor& background) {
    p.setPen(ink);
    p.setBackground(background);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.drawText(r, flags, text);
    p.setBackgroundMode(Qt::TransparentMode);
}

// Ellipse(l, t, r, b) of the handheld fills and outlines l..r-1, t..b-1; Qt's outline adds
// one pixel to the rectangle it is given.
void drawMarkerCircle(QPainter& p, int left, int top, const QColor& fill) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fill);
    p.drawEllipse(QRect(left, top, 19, 19));
    p.setBrush(Qt::NoBrush);
}

// Markers are the same 20 x 20 picture wherever they stand, so each is drawn once into a
// transparent sprite and copied from there: a survey with thousands of points in view then
// costs a small copy per point instead of an ellipse rasterization. Aliased drawing moved by
// whole pixels hits the same pixels, so the map looks exactly as if drawn in place.
constexpr int kMarker = 20;
constexpr int kRssiLow = -100, kRssiHigh = -20;

QImage markerSprite() {
    QImage img(kMarker, kMarker, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// A sprite whose pixels are all either opaque or clear, as runs of opaque pixels a row: a
// survey with thousands of points in view is drawn by copying those runs straight into the
// picture, without the painter's per-call work.
struct SpriteRuns {
    struct Run {
        int8_t from = 0, to = 0; // x, to exclusive; empty when from == to
    };
    std::array<Run, kMarker> rows{};
    std::array<uint32_t, kMarker * kMarker> pixels{};
    bool usable = false; // every pixel opaque or clear, one run a row

    explicit SpriteRuns(const QImage& sprite) {
        usable = sprite.width() == kMarker && sprite.height() == kMarker;
        for (int y = 0; usable && y < kMarker; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(sprite.constScanLine(y));
            int from = -1, to = -1;
            for (int x = 0; x < kMarker; ++x) {
                const int alpha = qAlpha(line[x]);
                if (alpha != 0 && alpha != 255) usable = false;
                if (alpha == 255) {
                    if (from < 0)
                        from = x;
                    else if (to >= 0)
                        usable = false; // a second run
                    pixels[size_t(y * kMarker + x)] = line[x];
                } else if (from >= 0 && to < 0) {
                    to = x;
                }
            }
            if (from >= 0) rows[size_t(y)] = {int8_t(from), int8_t(to < 0 ? kMarker : to)};
        }
    }

    // Copies the opaque pixels with the sprite's top left at (left, top), clipped to `into`.
    void blit(const PixelBuffer& into, int left, int top) const {
        for (int y = 0; y < kMarker; ++y) {
            const int row = top + y;
            if (row < 0 || row >= into.height) continue;
            const int from = std::max(left + rows[size_t(y)].from, 0);
            const int to = std::min(left + rows[size_t(y)].to, into.width);
            if (from >= to) continue;
            std::copy_n(&pixels[size_t(y * kMarker + (from - left))], to - from,
                        into.pixels + row * into.stride + from);
        }
    }
};

struct MarkerSprites {
    QImage survey[kRssiHigh - kRssiLow + 1];
    std::vector<SpriteRuns> surveyRuns;
    QImage accessPoint;
    QImage accessPointUnlabelled; // for pictures whose texts are drawn later

    MarkerSprites() {
        for (int r = kRssiLow; r <= kRssiHigh; ++r) {
            QImage& img = survey[r - kRssiLow];
            img = markerSprite();
            QPainter p(&img);
            const Rgb c = rssiColour(int16_t(r));
            drawMarkerCircle(p, 0, 0, QColor(c.r, c.g, c.b));
            p.end();
            surveyRuns.emplace_back(img);
        }
        accessPointUnlabelled = markerSprite();
        QPainter bare(&accessPointUnlabelled);
        drawMarkerCircle(bare, 0, 0, Qt::black);
        accessPoint = markerSprite();
        QPainter p(&accessPoint);
        drawMarkerCircle(p, 0, 0, Qt::black);
        p.setFont(apFont());
        drawOpaqueText(p, QRect(0, 0, kMarker, kMarker), kCentredTop, apLabel(), Qt::white,
                       Qt::black);
    }

    static QString apLabel() { return QStringLiteral("AP"); }
    static QFont apFont() { return mapFont(10); }

    const QImage& forRssi(int16_t rssi) const {
        return survey[std::clamp<int>(rssi, kRssiLow, kRssiHigh) - kRssiLow];
    }
    const SpriteRuns& runsForRssi(int16_t rssi) const {
        return surveyRuns[size_t(std::clamp<int>(rssi, kRssiLow, kRssiHigh) - kRssiLow)];
    }
};

const MarkerSprites& markers() {
    static const MarkerSprites sprites;
    return sprites;
}

// The visible part of the floor plan where the viewport maps it, in the painter's
// coordinates (client pixels).
void drawFloorPlan(QPainter& p, const EdgeRect& client, const CViewport& vp, const QImage& plan) {
    if (plan.isNull()) return;
    const BlitRects blit = vp.computeBlit(client);
    const EdgeRect& s = blit.source;
    const EdgeRect& d = blit.destination;
    if (s.width() <= 0 || s.height() <= 0 || d.width() <= 0 || d.height() <= 0) return;

    // The bounds come from this bitmap; should they not, only the part the bitmap has is
    // drawn, where it belongs.
    const QRect wanted = edges(s.left, s.top, s.right, s.bottom);
    const QRect have = wanted.intersected(plan.rect());
    if (have.isEmpty()) return;
    const double kx = double(d.width()) / s.width();
    const double ky = double(d.height()) / s.height();
    // The desktop map places the plan's pixel edges exactly where its one scale puts them,
    // which a painter at a device scale draws to the device pixel.
    const QRectF target =
        vp.desktopMap()
            ? QRectF(QPointF(vp.mapX(client, have.left()), vp.mapY(client, have.top())),
                     QPointF(vp.mapX(client, have.left() + have.width()),
                             vp.mapY(client, have.top() + have.height())))
            : QRectF(d.left + (have.left() - s.left) * kx, d.top + (have.top() - s.top) * ky,
                     have.width() * kx, have.height() * ky);

    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (plan.format() == QImage::Format_RGB32 ||
        plan.format() == QImage::Format_ARGB32_Premultiplied) {
        p.drawImage(target, plan, QRectF(have));
    } else {
        // Only the visible part is converted, never the whole plan.
        const QImage part = plan.copy(have).convertToFormat(QImage::Format_RGB32);
        p.drawImage(target, part, QRectF(part.rect()));
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

class MapPainter {
public:
    MapPainter(QImage& target, const SiteMapScene& scene, TextLayer& texts)
        : image(target), scene(scene), texts(texts),
          p(&target), client{0, 0, target.width(), target.height()}, vp(*scene.viewport) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        // The painter draws straight into the picture's pixels (RGB32, unshared once the
        // painter has begun), so the walk path can be drawn into them between markers.
        path = PixelBuffer{reinterpret_cast<uint32_t*>(target.bits()),
                           target.bytesPerLine() / ptrdiff_t(sizeof(uint32_t)), target.width(),
                           target.height()};
    }

    void paintNoSite() {
        p.fillRect(image.rect(), Qt::black);
        p.setFont(mapFont(10));
        drawText(image.rect(), kCentredTop, QStringLiteral("PLEASE OPEN A SITE FILE"), Qt::white,
                 Qt::black);
    }

    void paintMap() {
        if (!scene.overlayOnly) p.fillRect(image.rect(), kMapBackground);
        p.setFont(mapFont(10));
        if (!scene.overlayOnly) paintFloorPlan();
        paintPoints();
        paintLocatedAps();
        paintWalkTaps();
        if (scene.placingAp) {
            paintBanner(kPlacementBlue, QStringLiteral("TAP ON FLOORPLAN TO PLACE AP"));
        }
        if (scene.walking) paintBanner(kWalkPurple, QString::fromLatin1(kWalkBannerText));
        if (scene.noApHeard) {
            paintBanner(kAlertRed, QStringLiteral("ALERT! NO ACCESS POINTS DETECTED!"));
        }
        if (!scene.overlayOnly) paintCursor();
        if (vp.desktopMap()) {
            paintScaleBar();
            paintCoverageLegend();
            paintMapRuler(true);
            paintMapRuler(false);
        } else {
            paintRuler(true, rulerStep(vp.zoom(), scene.pixelsPerUnitX));
            paintRuler(false, rulerStep(vp.zoom(), scene.pixelsPerUnitY));
        }
        paintStatusLine();
    }

private:
    // Client pixels per unit of length on the desktop map: the site's unit on a calibrated
    // plan, a plan pixel on one without a scale.
    double mapPixelsPerUnit(bool horizontal) const {
        if (!scene.calibrated) return vp.mapScale();
        return vp.mapScale() * (horizontal ? scene.pixelsPerUnitX : scene.pixelsPerUnitY);
    }

    void paintFloorPlan() {
        if (scene.floorPlan) drawFloorPlan(p, client, vp, *scene.floorPlan);
    }

    void paintPoints() {
        const bool walkPath = vp.showWalkPath();
        const bool accessPoints = vp.showAccessPoints();
        const MarkerSprites& sprites = markers();
        std::optional<PathEnd> last; // the path's previous survey point
        for (const PointIndexEntry& e : scene.points) {
            const IntPoint at{e.x, e.y};
            if (e.kind == KIND_SURVEY_POINT) {
                const std::optional<IntPoint> c = vp.planToClient(client, at);
                if (c) drawSurveyMarker(sprites, c->x - 10, c->y - 10, e.bestRssi);
                if (!walkPath) continue;
                // A segment is drawn only toward a visible point. After a point outside the
                // view the next one starts from that point's mapped position past the edge.
                if (c && last) {
                    if (!last->client) last->client = vp.planToClientUnbounded(client, last->plan);
                    if (last->client) {
                        drawDashedLine(path, LineEnd{last->client->x, last->client->y},
                                       LineEnd{c->x, c->y}, kPathBlack);
                    }
                }
                last =
                    PathEnd{at, c ? std::optional(CViewport::FarPoint{c->x, c->y}) : std::nullopt};
            } else if (e.kind == KIND_DYNAMIC_AP && accessPoints) {
                if (auto c = vp.planToClient(client, at)) {
                    const QRect box(c->x - 10, c->y - 10, kMarker, kMarker);
                    if (texts.defers()) {
                        p.drawImage(box.topLeft(), sprites.accessPointUnlabelled);
                        const QFont previous = p.font();
                        p.setFont(MarkerSprites::apFont());
                        texts.draw(p, box, kCentredTop, MarkerSprites::apLabel(), Qt::white,
                                   QColor(Qt::black));
                        p.setFont(previous);
                        continue;
                    }
                    p.drawImage(box.topLeft(), sprites.accessPoint);
                    texts.noteDrawn(
                        {MarkerSprites::apLabel(), box, kCentredTop, MarkerSprites::apFont()});
                }
            }
        }
    }

    void drawSurveyMarker(const MarkerSprites& sprites, int left, int top, int16_t rssi) {
        const SpriteRuns& runs = sprites.runsForRssi(rssi);
        if (runs.usable && path.pixels) {
            runs.blit(path, left, top);
        } else {
            p.drawImage(left, top, sprites.forRssi(rssi));
        }
    }

    struct PathEnd {
        IntPoint plan;
        std::optional<CViewport::FarPoint> client; // worked out only when needed
    };

    void drawText(const QRect& r, int flags, const QString& text, const QColor& ink,
                  const QColor& background) {
        texts.draw(p, r, flags, text, ink, background);
    }

    void paintBanner(const QColor& colour, const QString& text) {
        const int w = client.right, bottom = client.bottom;
        const QFont previous = p.font();
        p.setFont(narrowMapFont(kBandPoints));
        texts.fill(p, edges(0, bottom - 2 * kBandHeight, w, bottom - kBandHeight), colour);
        drawText(edges(kTextIndent, bottom - 2 * kBandHeight, w, bottom - kBandHeight), kCentredTop,
                 text, Qt::white, colour);
        p.setFont(previous);
    }

    void paintStatusLine() {
        const int w = client.right, bottom = client.bottom;
        char text[96];
        std::snprintf(text, sizeof text, "ZOOM=%d%%   SCANS=%d   POINTS=%d", vp.zoomPercent(),
                      scene.locationCount, scene.readingTotal);
        const QString line = !scene.statusNote.isEmpty() ? scene.statusNote
                             : scene.walking             ? scene.walkStatus
                                                         : QString::fromLatin1(text);
        const QFont previous = p.font();
        p.setFont(narrowMapFont(kBandPoints));
        texts.fill(p, edges(0, bottom - kBandHeight, w, bottom), kStatusGreen);
        drawText(edges(kTextIndent, bottom - kBandHeight, w, bottom), Qt::AlignLeft | Qt::AlignTop,
                 line, Qt::white, kStatusGreen);
        p.setFont(previous);
    }

    // The cursor is ANDed in: its white leaves the map as it is.
    void paintCursor() {
        if (!scene.cursor || scene.cursor->isNull()) return;
        texts.andImage(
            p, QPoint(client.right / 2 - kCursorSize / 2, client.bottom / 2 - kCursorSize / 2),
            *scene.cursor);
    }

    // The horizontal ruler along the top edge, the vertical one along the left; the vertical
    // band is drawn second and so owns the top-left corner.
    void paintRuler(bool horizontal, int32_t step) {
        if (step <= 0) return;
        paintRulerTicks(horizontal, rulerTicks(step, horizontal ? client.right : client.bottom),
                        [horizontal](const RulerTick& t) {
                            return horizontal ? edges(t.labelFrom, 10, t.labelTo, 19)
                                              : edges(10, t.labelFrom, 19, t.labelTo);
                        });
    }

    // The desktop map's rulers count from the plan's origin at the exact scale, each label
    // centred on its tick; across the narrow vertical band a label stands just below its tick.
    void paintMapRuler(bool horizontal) {
        const double origin = horizontal ? vp.mapX(client, 0) : vp.mapY(client, 0);
        paintRulerTicks(horizontal,
                        mapRulerTicks(origin, mapPixelsPerUnit(horizontal),
                                      horizontal ? client.right : client.bottom),
                        [horizontal](const RulerTick& t) {
                            return horizontal
                                       ? edges(t.labelFrom, 10, t.labelTo, 19)
                                       : edges(0, t.position + 1, kRulerBand, t.position + 11);
                        });
    }

    // A ruler's band, then its ticks (each a line from the band's edge up to, not including,
    // its length) and their labels, in the rectangles `labelRect` gives.
    template <typename LabelRect>
    void paintRulerTicks(bool horizontal, const std::vector<RulerTick>& ticks,
                         LabelRect labelRect) {
        const int w = client.right, h = client.bottom;
        const QFont previous = p.font();
        p.setFont(mapFont(6));
        if (horizontal) {
            texts.fill(p, QRect(kRulerBand, 0, w, kRulerBand), kRulerYellow);
        } else {
            texts.fill(p, QRect(0, 0, kRulerBand, h), kRulerYellow);
        }
        for (const RulerTick& t : ticks) {
            if (horizontal) {
                texts.fill(p, QRect(t.position, 0, 1, t.length), Qt::black);
            } else {
                texts.fill(p, QRect(0, t.position, t.length, 1), Qt::black);
            }
            if (!t.labelled) continue;
            drawText(labelRect(t), kCentredTop, QString::fromStdString(t.label), Qt::black,
                     kRulerYellow);
        }
        p.setFont(previous);
    }

    // The walk's taps joined by a solid purple line, each tap a small square: where the
    // surveyor said they were.
    void paintWalkTaps() {
        if (scene.walkTaps.empty()) return;
        const auto near = [](const CViewport::FarPoint& c) {
            return std::llabs(c.x) < (1 << 20) && std::llabs(c.y) < (1 << 20);
        };
        p.setPen(QPen(kWalkPurple, 2));
        std::optional<CViewport::FarPoint> last;
        for (const IntPoint& tap : scene.walkTaps) {
            const auto c = vp.planToClientUnbounded(client, tap);
            if (!c || !near(*c)) continue;
            if (last) p.drawLine(QPoint(int(last->x), int(last->y)), QPoint(int(c->x), int(c->y)));
            p.fillRect(QRect(int(c->x) - 3, int(c->y) - 3, 7, 7), kWalkPurple);
            last = c;
        }
        p.setPen(QPen(Qt::black, 1));
    }

    // A located access point: a blue diamond with a black outline, its name in a white box
    // to its right.
    void paintLocatedAps() {
        if (scene.locatedAps.empty()) return;
        const QFont previous = p.font();
        p.setFont(narrowMapFont(kBandPoints));
        for (const NamedAp& ap : scene.locatedAps) {
            const auto c = vp.planToClient(client, {ap.x, ap.y});
            if (!c) continue;
            const QPoint diamond[4] = {
                {c->x, c->y - 8}, {c->x + 8, c->y}, {c->x, c->y + 8}, {c->x - 8, c->y}};
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(QColor(40, 80, 230));
            p.drawPolygon(diamond, 4);
            p.setBrush(Qt::NoBrush);
            const QString name = QString::fromStdString(ap.name);
            const int width = p.fontMetrics().horizontalAdvance(name) + 4;
            drawText(QRect(c->x + 11, c->y - 6, width, 12), Qt::AlignLeft | Qt::AlignTop, name,
                     Qt::black, Qt::white);
        }
        p.setFont(previous);
    }

    // The coverage map's legend, in the top left corner clear of the rulers.
    void paintCoverageLegend() {
        if (!scene.coverageLegend || scene.coverageLegend->isNull()) return;
        p.drawImage(QPoint(kRulerBand + 4, kRulerBand + 4), *scene.coverageLegend);
    }

    // A bar of a round length in the bottom right corner, above the banners, so that a
    // snapshot of the map can be measured.
    void paintScaleBar() {
        if (!scene.calibrated) return;
        const auto bar =
            scaleBar(mapPixelsPerUnit(true), std::min(160, client.right / 3), scene.unit);
        if (!bar || bar->pixels < 8) return;
        const int length = int(std::lround(bar->pixels));
        const int right = client.right - 8, base = client.bottom - 2 * kBandHeight - 6;
        const QRect box(right - length - 4, base - 20, length + 8, 24);
        texts.fill(p, box, Qt::white);
        texts.fill(p, QRect(right - length, base - 4, length, 3), Qt::black);
        texts.fill(p, QRect(right - length, base - 8, 1, 8), Qt::black);
        texts.fill(p, QRect(right - 1, base - 8, 1, 8), Qt::black);
        const QFont previous = p.font();
        p.setFont(mapFont(7));
        drawText(QRect(box.left(), box.top() + 1, box.width(), 12), kCentredTop,
                 QString::fromStdString(bar->text), Qt::black, Qt::white);
        p.setFont(previous);
    }

    QImage& image;
    const SiteMapScene& scene;
    TextLayer& texts;
    QPainter p;
    EdgeRect client;
    const CViewport& vp;
    static constexpr uint32_t kPathBlack = 0xFF000000u;
    PixelBuffer path;
};

QImage drawnCursor() {
    QImage img(kCursorSize, kCursorSize, QImage::Format_RGB32);
    img.fill(Qt::white);
    const double c = (kCursorSize - 1) / 2.0;
    for (int y = 0; y < kCursorSize; ++y) {
        for (int x = 0; x < kCursorSize; ++x) {
            const double r = std::hypot(x - c, y - c);
            if (r >= 10.5 && r <= 14.5) img.setPixel(x, y, qRgb(0, 128, 128));
        }
    }
    // Four small ticks inside the ring, pointing at the centre.
    for (int k = 7; k <= 9; ++k) {
        img.setPixel(15, 15 - k, qRgb(0, 0, 0));
        img.setPixel(16, 16 + k, qRgb(0, 0, 0));
        img.setPixel(15 - k, 16, qRgb(0, 0, 0));
        img.setPixel(16 + k, 15, qRgb(0, 0, 0));
    }
    return img;
}

} // namespace

QImage siteCursorImage() {
    QImage img = loadBitmapResource(kCursorBitmap);
    if (img.isNull()) img = drawnCursor();
    return img.convertToFormat(QImage::Format_RGB32);
}

void paintSiteMap(QImage& target, const SiteMapScene& scene) {
    const bool overlay =
        scene.overlayOnly && target.format() == QImage::Format_ARGB32_Premultiplied;
    if (target.format() != QImage::Format_RGB32 && !overlay) {
        target = QImage(target.size(), QImage::Format_RGB32);
    }
    if (target.isNull()) return; // a zero-sized picture has nothing to show
    static const CViewport emptyView;
    SiteMapScene s = scene;
    if (!s.viewport) s.viewport = &emptyView;
    TextLayer atOnce(s.drawnTexts);
    MapPainter painter(target, s, s.texts ? *s.texts : atOnce);
    if (!s.siteOpen) {
        painter.paintNoSite();
    } else {
        painter.paintMap();
    }
}

namespace {

// The desktop map at a device scale above 1: the plan is drawn at device resolution, so that
// its proportions hold to the device pixel; everything over it is drawn at the client's
// pixels into a clear picture, magnified onto it, and its texts drawn at device resolution.
QImage composeDesktopMap(QSize clientSize, int scale, const SiteMapScene& scene) {
    QImage device(clientSize * scale, QImage::Format_RGB32);
    if (device.isNull()) return device;
    const EdgeRect client{0, 0, clientSize.width(), clientSize.height()};
    {
        QPainter p(&device);
        p.fillRect(device.rect(), kMapBackground);
        p.scale(scale, scale);
        drawFloorPlan(p, client, *scene.viewport, *scene.floorPlan);
    }
    QImage overlay(clientSize, QImage::Format_ARGB32_Premultiplied);
    overlay.fill(Qt::transparent);
    TextLayer texts(scene.drawnTexts, true);
    SiteMapScene s = scene;
    s.texts = &texts;
    s.drawnTexts = nullptr;
    s.overlayOnly = true;
    paintSiteMap(overlay, s);
    {
        QPainter p(&device);
        p.drawImage(0, 0,
                    overlay.scaled(device.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
        // The cursor is ANDed into the finished map, as the client-pixel picture has it.
        if (scene.cursor && !scene.cursor->isNull()) {
            p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            p.drawImage(QPoint((client.right / 2 - kCursorSize / 2) * scale,
                               (client.bottom / 2 - kCursorSize / 2) * scale),
                        scene.cursor->scaled(scene.cursor->size() * scale, Qt::IgnoreAspectRatio,
                                             Qt::FastTransformation));
        }
    }
    device.setDevicePixelRatio(scale);
    texts.drawKept(device);
    return device;
}

} // namespace

QImage composeSiteMap(QSize clientSize, int scale, const SiteMapScene& scene) {
    if (scale > 1 && scene.siteOpen && scene.viewport && scene.viewport->desktopMap() &&
        scene.floorPlan && !scene.floorPlan->isNull())
        return composeDesktopMap(clientSize, scale, scene);
    return composeScaled(
        clientSize, scale,
        [&scene](QImage& logical, TextLayer& texts) {
            SiteMapScene s = scene;
            s.texts = &texts;
            s.drawnTexts = nullptr; // the layer records them
            paintSiteMap(logical, s);
        },
        scene.drawnTexts);
}

} // namespace walkmere
