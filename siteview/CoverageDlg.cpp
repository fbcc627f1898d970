#include "siteview/CoverageDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include <set>

#include "coverage/RequirementProfile.h"
#include "platform/ScreenFit.h"

namespace walkmere {

namespace {

constexpr Metric kMetrics[] = {Metric::Best, Metric::Second, Metric::Count, Metric::Overlap};
const char* const kMetricTexts[] = {"Strongest signal", "Second strongest signal",
                                    "Access points heard", "Co-channel access points"};
constexpr Band kBands[] = {Band::Any, Band::Ghz24, Band::Ghz5, Band::Ghz6};
const char* const kBandTexts[] = {"All bands", "2.4 GHz", "5 GHz", "6 GHz"};

} // namespace

std::vector<std::string> surveyNetworks(const SurveyData& survey) {
    std::set<std::string> names;
    for (const SurveyPoint& p : survey.points)
        for (const ApReading& r : p.readings)
            if (!r.ssid().empty()) names.insert(r.ssid());
    return {names.begin(), names.end()};
}

CoverageDlg::CoverageDlg(const Settings& current, const std::vector<std::string>& networks,
                         QWidget* parent)
    : QDialog(parent), map(new QComboBox), network(new QComboBox), band(new QComboBox),
      unit(new QComboBox), located(new QCheckBox(QStringLiteral("Mark located access points"))),
      base(current) {
    setWindowTitle(QStringLiteral("Coverage map"));
    auto* form = new QFormLayout;
    for (size_t i = 0; i < std::size(kMetrics); ++i) {
        map->addItem(QString::fromLatin1(kMetricTexts[i]));
        if (!current.choice.profile && current.choice.metric.metric == kMetrics[i])
            map->setCurrentIndex(int(i));
    }
    for (const RequirementProfile& profile : builtInProfiles()) {
        map->addItem(
            QStringLiteral("Pass/fail: %1 profile").arg(QString::fromStdString(profile.name)),
            QString::fromStdString(profile.name));
        if (current.choice.profile && current.choice.profile->name == profile.name)
            map->setCurrentIndex(map->count() - 1);
    }
    network->addItem(QStringLiteral("All networks"));
    for (const std::string& name : networks) {
        network->addItem(QString::fromStdString(name), QString::fromStdString(name));
        if (current.choice.filter.ssid == name) network->setCurrentIndex(network->count() - 1);
    }
    for (size_t i = 0; i < std::size(kBands); ++i) {
        band->addItem(QString::fromLatin1(kBandTexts[i]));
        if (current.choice.metric.band == kBands[i]) band->setCurrentIndex(int(i));
    }
    unit->addItem(QStringLiteral("Metres"), QStringLiteral("m"));
    unit->addItem(QStringLiteral("Feet"), QStringLiteral("ft"));
    unit->setCurrentIndex(current.unit == "ft" ? 1 : 0);
    located->setChecked(current.locatedAps);
    form->addRow(QStringLiteral("Map"), map);
    form->addRow(QStringLiteral("Network"), network);
    form->addRow(QStringLiteral("Band"), band);
    form->addRow(QStringLiteral("Plan unit"), unit);
    form->addRow(located);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(scrollingBody(*this));
    layout->addLayout(form);
    layout->addWidget(buttons);
}

CoverageDlg::Settings CoverageDlg::settings() const {
    Settings s = base;
    const int m = map->currentIndex();
    s.choice.profile.reset();
    if (m >= 0 && m < int(std::size(kMetrics))) {
        s.choice.metric.metric = kMetrics[m];
    } else {
        s.choice.profile = builtInProfile(map->currentData().toString().toStdString());
    }
    s.choice.filter.ssid.reset();
    if (network->currentIndex() > 0)
        s.choice.filter.ssid = network->currentData().toString().toStdString();
    s.choice.metric.band = kBands[std::max(band->currentIndex(), 0)];
    s.unit = unit->currentData().toString().toStdString();
    s.locatedAps = located->isChecked();
    return s;
}

} // namespace walkmere
