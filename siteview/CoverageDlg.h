#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "coverage/LiveCoverage.h"

class QCheckBox;
class QComboBox;

namespace walkmere {

// "Coverage map": what the desktop map's coverage layer shows. The map: one of the four
// metrics or a built-in requirement profile's pass/fail; the network (every one, or one
// SSID the survey heard); the band; whether the located access points are marked; and the
// unit the site's scale counts.
class CoverageDlg : public QDialog {
    Q_OBJECT
public:
    struct Settings {
        CoverageChoice choice;
        bool locatedAps = false;
        std::string unit = "m";
    };
    // `networks`: the SSIDs the survey heard, offered besides "All networks".
    CoverageDlg(const Settings& current, const std::vector<std::string>& networks,
                QWidget* parent = nullptr);
    Settings settings() const;

    QComboBox* mapBox() const { return map; }
    QComboBox* networkBox() const { return network; }
    QComboBox* bandBox() const { return band; }

private:
    QComboBox* map;
    QComboBox* network;
    QComboBox* band;
    QComboBox* unit;
    QCheckBox* located;
    Settings base;
};

// The SSIDs heard in a survey, sorted, each once (hidden networks left out).
std::vector<std::string> surveyNetworks(const SurveyData& survey);

} // namespace walkmere
