#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "coverage/HeatmapData.h"
#include "coverage/HeatmapRender.h"
#include "coverage/LiveCoverage.h"

namespace walkmere {

class CSurveyStore;

// The coverage map under the survey points on the desktop map: the floor plan coloured by
// the chosen metric (or a profile's pass/fail), as `walkmere-site heatmap` colours it, with
// its legend and, when asked, the access points located from the survey.
//
// The map follows the survey in the site file: when the store's points change, the survey is
// read again and only what the change can reach is coloured anew (LiveCoverage). UI thread
// only.
class CoverageLayer {
public:
    bool shown() const { return on; }
    void setShown(bool shown) { on = shown; }
    const CoverageChoice& choice() const { return chosen; }
    void setChoice(const CoverageChoice& choice) { chosen = choice; }
    bool showsLocatedAps() const { return locatedOn; }
    void setShowsLocatedAps(bool shown) { locatedOn = shown; }

    // Brings the map up to date with `plan`, the survey of `store` and the unit the site's
    // scale counts; cheap when nothing changed.
    void sync(const QImage& plan, const CSurveyStore& store, const std::string& unit);

    // The plan coloured by the map; null until a sync with the layer shown.
    const QImage& colouredPlan() const { return coloured; }
    const QImage& legend() const { return legendImage; }
    const std::vector<NamedAp>& locatedAps() const { return located; }
    // The survey as last read, and why it could not be read ("" when it could).
    const SurveyData& survey() const { return surveyRead; }
    const QString& problem() const { return why; }
    // The map's value at a plan pixel (NaN: none); see LiveCoverage::valueAt.
    float valueAt(int32_t x, int32_t y) const;
    size_t mappedPoints() const { return live ? live->mappedPoints() : 0; }

private:
    // What the map was last brought up to date with.
    struct Basis {
        qint64 planKey = 0;
        std::string sitePath;
        size_t entries = 0;
        int32_t locations = 0;
        int32_t readings = 0;
        std::string unit;
        bool operator==(const Basis&) const = default;
    };
    void readSurvey(const CSurveyStore& store);
    void colour(const QImage& plan, const PlanArea& area);

    bool on = false;
    bool locatedOn = false;
    bool locatedShown = false;
    CoverageChoice chosen;
    std::optional<CoverageChoice> legendOf;
    std::optional<Basis> basis;
    std::unique_ptr<LiveCoverage> live;
    SurveyData surveyRead;
    QString why;
    QImage coloured;
    QImage legendImage;
    std::vector<NamedAp> located;
};

} // namespace walkmere
