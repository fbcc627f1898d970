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

// Draws an item's text with tabs expanded to fixed stops, as a list box with tab stops does.
class TabStopDelegate : public QStyledItemDelegate {
public:
    TabStopDelegate(qreal tabStop, QObject* parent) : QStyledItemDelegate(parent), tab(tabStop) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QString text = o.text;
        o.text.clear();
        o.widget->style()->drawControl(QStyle::CE_ItemViewItem, &o, painter, o.widget);

        QTextOption layout = locationLineLayout(tab);
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

CLocationInfoDlg::CLocationInfoDlg(CSurveyStore& survey, IPrompter& prompts, ISoundPlayer& sounds,
                                   QWidget* parent)
    : QDialog(parent), store(survey), prompter(prompts), sound(sounds) {
    setWindowTitle(kLocationInfoCaption);
    setFont(listFont());
    const DialogBaseUnits units = dialogBaseUnits(font());
    tab = units.toPixelsX(kTabStopNumerator / units.x);

    lines = new QListWidget(this);
    lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lines->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lines->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    lines->setItemDelegate(new TabStopDelegate(tab, lines));
    Notices notices;
    for (const std::string& line : locationInfoLines(store, notices))
        lines->addItem(QString::fromLatin1(line.data(), qsizetype(line.size())));
    tellSurveyor(notices, prompter, sound);

    deleteThisPoint = new QPushButton(kDeletePointButton, this);
    deleteThisPoint->setDefault(true);
    deleteThisPoint->setAutoDefault(true);
    connect(deleteThisPoint, &QPushButton::clicked, this, [this] { OnDeletePoint(); });

    auto* column = new QVBoxLayout(scrollingBody(*this));
    column->addWidget(lines, 1);
    column->addWidget(deleteThisPoint);
    resize(units.toPixelsX(137), units.toPixelsY(150));
}

void CLocationInfoDlg::OnDeletePoint() {
    if (prompter.askYesNo(kDeleteQuestion) != YesNoAnswer::Yes) return;
    tellSurveyor(store.deletePoint().notices, prompter, sound);
    done(0);
}

} // namespace walkmere
