#include "siteview/CoverageLayer.h"

#include "coverage/ApLocation.h"
#include "coverage/PlanScale.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"

#include <cmath>
#include <limits>

namespace walkmere {

namespace {

QImage toQImage(const RgbImage& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    for (int32_t y = 0; y < picture.height; ++y) {
        const uint8_t* p = picture.at(0, y);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int32_t x = 0; x < picture.width; ++x, p += 3)
            line[x] = qRgb(p[0], p[1], p[2]);
    }
    return image;
}

bool sameChoice(const CoverageChoice& a, const CoverageChoice& b) {
    return a.metric.metric == b.metric.metric && a.metric.band == b.metric.band &&
           a.metric.threshold == b.metric.threshold && a.metric.group == b.metric.group &&
           a.filter.ssid == b.filter.ssid && a.filter.mac == b.filter.mac &&
           a.interpolation == b.interpolation &&
           (a.profile ? (b.profile && a.profile->name == b.profile->name) : !b.profile);
}

} // namespace

void CoverageLayer::readSurvey(const CSurveyStore& store) {
    surveyRead = {};
    why.clear();
    const ReadOnlySite site = openSiteReadOnly(store.sitePath());
    if (!site.fd.valid()) {
        why = QStringLiteral("The coverage map cannot read the site file.");
        return;
    }
    // Points up to a damaged record are still a survey: they are mapped.
    const std::string problem =
        walkmere::readSurvey(site.fd.get(), site.validation.layout, surveyRead);
    if (!problem.empty()) why = QString::fromStdString("The coverage map: " + problem);
}

void CoverageLayer::colour(const QImage& plan, const PlanArea& area) {
    if (area.empty() || coloured.isNull()) return;
    const int32_t left = std::max(area.left, 0), top = std::max(area.top, 0);
    const int32_t right = std::min(area.right, int32_t(coloured.width()) - 1);
    const int32_t bottom = std::min(area.bottom, int32_t(coloured.height()) - 1);
    if (right < left || bottom < top) return;
    // The piece of the plan as it is, coloured as the map tool colours it.
    RgbImage part(right - left + 1, bottom - top + 1);
    for (int32_t y = 0; y < part.height; ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(plan.constScanLine(top + y)) + left;
        uint8_t* to = part.at(0, y);
        for (int32_t x = 0; x < part.width; ++x, to += 3) {
            to[0] = uint8_t(qRed(from[x]));
            to[1] = uint8_t(qGreen(from[x]));
            to[2] = uint8_t(qBlue(from[x]));
        }
    }
    live->paint(part, left, top);
    for (int32_t y = 0; y < part.height; ++y) {
        const uint8_t* from = part.at(0, y);
        auto* to = reinterpret_cast<QRgb*>(coloured.scanLine(top + y)) + left;
        for (int32_t x = 0; x < part.width; ++x, from += 3)
            to[x] = qRgb(from[0], from[1], from[2]);
    }
}

void CoverageLayer::sync(const QImage& planImage, const CSurveyStore& store,
                         const std::string& unit) {
    if (!on || planImage.isNull()) return;
    const Basis now{planImage.cacheKey(),  store.sitePath(),     store.index().size(),
                    store.locationCount(), store.readingTotal(), unit};
    const bool newPlan = !basis || basis->planKey != now.planKey || basis->unit != now.unit ||
                         basis->sitePath != now.sitePath || !live;
    const bool newSurvey = newPlan || !(*basis == now);
    const bool newChoice = !legendOf || !sameChoice(*legendOf, chosen);
    const bool newLocated = locatedOn != locatedShown;
    if (!newSurvey && !newChoice && !newLocated) return;

    const QImage plan = planImage.format() == QImage::Format_RGB32
                            ? planImage
                            : planImage.convertToFormat(QImage::Format_RGB32);
    if (newPlan) {
        live = std::make_unique<LiveCoverage>(plan.width(), plan.height(),
                                              siteScale(store.header(), unit));
        coloured = plan.copy();
    }
    if (newSurvey) readSurvey(store);
    basis = now;
    colour(plan, live->update(surveyRead, chosen));
    if (newChoice) {
        legendImage = toQImage(live->legend());
        legendOf = chosen;
    }
    if (newSurvey || newLocated) {
        located = locatedOn
                      ? locatedAccessPoints(surveyRead, store.header(), plan.width(), plan.height())
                      : std::vector<NamedAp>{};
        locatedShown = locatedOn;
    }
}

float CoverageLayer::valueAt(int32_t x, int32_t y) const {
    return live ? live->valueAt(x, y) : std::numeric_limits<float>::quiet_NaN();
}

} // namespace walkmere
