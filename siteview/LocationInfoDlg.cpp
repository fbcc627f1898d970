#include "siteview/LocationInfoDlg.h"

#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <QVBoxLayout>

#include <cstdio>

#include "platform/Prompter.h"
#include "platform/ScreenFit.h"
#include "survey/PointRecords.h"
#include "survey/SurveyStore.h"
#include "survey/TellSurveyor.h"
#include "ui/DialogFont.h"
#include "ui/Fonts.h"

namespace walkmere {

namespace {

// The list is wider than the dialog: it scrolls sideways over this many pixels.
constexpr int kHorizontalExtent = 600;
// One tab stop of 52 / (the base units' x) dialog units: about 12 pixels whatever the font.
constexpr int kTabStopNumerator = 52;

// Under those close stops the header's columns stand over the readings' only where the
// 17-character MAC is about two stops wider than "MAC ADDR" and "-61", "-100" and "RSSI" all
// reach the same stop: narrow digits beside wide capitals. Liberation Sans Narrow Bold at 8
// points (bold like the handheld's System face) does that; MACs made mostly of the widest
// letters (DD-DD-...) still end one stop further on.
QFont listFont() {
    QFont f = installedFont({"Liberation Sans Narrow", "DejaVu Sans Condensed"}, 11);
    f.setBold(true);
    return f;
}

// The handheld's line; a 6 GHz reading, which the handheld never takes, ends with its
// channel ("6G 37"), so that it is not taken for a 2.4 or 5 GHz one.
std::string readingLine(int number, const ApReading& r) {
    const uint8_t* m = r.mac();
    char text[112];
    std::snprintf(text, sizeof text, "%d\t%02X-%02X-%02X-%02X-%02X-%02X\t%d\t%s", number, m[0],
                  m[1], m[2], m[3], m[4], m[5], r.rssiDbm(), r.ssid().c_str());
    std::string line = text;
    if (r.band() == ReadingBand::Ghz6) line += "\t" + channelText(r);
    return line;
}

// The desktop line: the file's number, then the columns of the header.
std::string desktopLine(int number, const ApReading& r) {
    const char* band = r.band() == ReadingBand::Ghz24  ? "2.4 GHz"
                       : r.band() == ReadingBand::Ghz5 ? "5 GHz"
                       : r.band() == ReadingBand::Ghz6 ? "6 GHz"
                                                       : "?";
    return std::to_string(number) + "\t" + macText(r.mac()) + "\t" + std::to_string(r.rssiDbm()) +
           "\t" + channelText(r) + "\t" + band + "\t" + r.ssid();
}

// Draws an item's text with tabs expanded to fixed stops, as a list box with tab stops does;
// the desktop list has a column stop of its own for each field.
class TabStopDelegate : public QStyledItemDelegate {
public:
    TabStopDelegate(qreal tabStop, QObject* parent) : QStyledItemDelegate(parent), tab(tabStop) {}
    void setColumns(QList<qreal> stops) { columns = std::move(stops); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QString text = o.text;
        o.text.clear();
        o.widget->style()->drawControl(QStyle::CE_ItemViewItem, &o, painter, o.widget);

        QTextOption layout = locationLineLayout(tab);
        if (!columns.isEmpty()) layout.setTabArray(columns);
        layout.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        painter->save();
        painter->setFont(o.font);
        painter->setPen(o.palette.color(o.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                         : QPalette::Text));
        painter->drawText(QRectF(o.rect.adjusted(2, 0, 0, 0)), text, layout);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setWidth(kHorizontalExtent);
        return s;
    }

private:
    qreal tab;
    QList<qreal> columns;
};

} // namespace

QTextOption locationLineLayout(qreal tabStop) {
    QTextOption layout;
    layout.setTabStopDistance(tabStop);
    layout.setWrapMode(QTextOption::NoWrap);
    return layout;
}

std::vector<std::string> locationInfoLines(CSurveyStore& store, Notices& notices) {
    std::vector<std::string> out;
    const PointIndexEntry& found = store.found();
    if (found.kind == KIND_SURVEY_POINT) {
        out.emplace_back(kLocationInfoHeader);
        for (int i = 1; i <= found.readingCount; ++i) {
            ReadingOutcome r = store.readReading(i);
            out.push_back(r.reading ? readingLine(i, *r.reading) : std::string());
            notices.insert(notices.end(), r.notices.begin(), r.notices.end());
        }
    } else if (found.kind == KIND_DYNAMIC_AP) {
        out.emplace_back(kDynamicApLine);
    }
    return out;
}

std::vector<std::string> desktopLocationInfoLines(CSurveyStore& store, Notices& notices) {
    std::vector<std::string> out;
    const PointIndexEntry& found = store.found();
    if (found.kind != KIND_SURVEY_POINT) return locationInfoLines(store, notices);
    out.emplace_back(kLocationInfoDesktopHeader);
    std::vector<std::pair<int, ApReading>> readings;
    for (int i = 1; i <= found.readingCount; ++i) {
        ReadingOutcome r = store.readReading(i);
        if (r.reading) readings.emplace_back(i, *r.reading);
        notices.insert(notices.end(), r.notices.begin(), r.notices.end());
    }
    std::stable_sort(readings.begin(), readings.end(), [](const auto& a, const auto& b) {
        return a.second.rssiDbm() > b.second.rssiDbm();
    });
    for (const auto& [number, reading] : readings)
        out.push_back(desktopLine(number, reading));
    return out;
}

CLocationInfoDlg::CLocationInfoDlg(CSurveyStore& survey, IPrompter& prompts, ISoundPlayer& sounds,
                                   QWidget* parent, bool desktop)
    : QDialog(parent), store(survey), prompter(prompts), sound(sounds) {
    setWindowTitle(kLocationInfoCaption);
    setFont(listFont());
    const DialogBaseUnits units = dialogBaseUnits(font());
    tab = units.toPixelsX(kTabStopNumerator / units.x);

    lines = new QListWidget(this);
    lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lines->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lines->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    auto* delegate = new TabStopDelegate(tab, lines);
    lines->setItemDelegate(delegate);
    const QFontMetricsF metrics(font());
    if (desktop) {
        // A stop after the widest text of each column but the SSID.
        QList<qreal> stops;
        qreal at = 0;
        for (const char* widest : {"999", "DD-DD-DD-DD-DD-DD", "-100", "6G 233", "2.4 GHz"}) {
            at += metrics.horizontalAdvance(QString::fromLatin1(widest)) +
                  metrics.averageCharWidth() * 2;
            stops.push_back(at);
        }
        delegate->setColumns(stops);
    }
    Notices notices;
    for (const std::string& line :
         desktop ? desktopLocationInfoLines(store, notices) : locationInfoLines(store, notices))
        lines->addItem(QString::fromLatin1(line.data(), qsizetype(line.size())));
    tellSurveyor(notices, prompter, sound);

    deleteThisPoint = new QPushButton(kDeletePointButton, this);
    deleteThisPoint->setDefault(true);
    deleteThisPoint->setAutoDefault(true);
    connect(deleteThisPoint, &QPushButton::clicked, this, [this] { OnDeletePoint(); });

    auto* column = new QVBoxLayout(scrollingBody(*this));
    column->addWidget(lines, 1);
    column->addWidget(deleteThisPoint);
    if (desktop)
        resize(units.toPixelsX(300), units.toPixelsY(180));
    else
        resize(units.toPixelsX(137), units.toPixelsY(150));
}

void CLocationInfoDlg::OnDeletePoint() {
    if (prompter.askYesNo(kDeleteQuestion) != YesNoAnswer::Yes) return;
    tellSurveyor(store.deletePoint().notices, prompter, sound);
    done(0);
}

} // namespace walkmere
