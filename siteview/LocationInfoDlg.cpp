#include "siteview/LocationInfoDlg.h"

#include <QFontMetrics>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <QVBoxLayout>

#include <cstdio>

#include "app/DialogFont.h"
#include "platform/Prompter.h"
#include "survey/PointRecords.h"
#include "survey/SurveyStore.h"

namespace walkmere {

namespace {

// The list is wider than the dialog: it scrolls sideways over this many pixels.
constexpr int kHorizontalExtent = 600;
// One tab stop every four digit widths lines the reading columns up under the header.
constexpr int kTabStopDigits = 4;

std::string readingLine(int number, const ApReading& r) {
    const uint8_t* m = r.mac();
    char text[96];
    std::snprintf(text, sizeof text, "%d\t%02X-%02X-%02X-%02X-%02X-%02X\t%d\t%s", number, m[0],
                  m[1], m[2], m[3], m[4], m[5], r.rssiDbm(), r.ssid().c_str());
    return text;
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

        QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
        layout.setTabStopDistance(tab);
        layout.setWrapMode(QTextOption::NoWrap);
        painter->save();
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

std::vector<std::string> locationInfoLines(CSurveyStore& store) {
    std::vector<std::string> out;
    const PointIndexEntry& found = store.found();
    if (found.kind == KIND_SURVEY_POINT) {
        out.emplace_back(kLocationInfoHeader);
        for (int i = 1; i <= found.readingCount; ++i) {
            const std::optional<ApReading> r = store.readReading(i);
            out.push_back(r ? readingLine(i, *r) : std::string());
        }
    } else if (found.kind == KIND_DYNAMIC_AP) {
        out.emplace_back(kDynamicApLine);
    }
    return out;
}

CLocationInfoDlg::CLocationInfoDlg(CSurveyStore& survey, IPrompter& prompts, QWidget* parent)
    : QDialog(parent), store(survey), prompter(prompts) {
    setWindowTitle(kLocationInfoCaption);
    setFont(dialogFont());

    lines = new QListWidget(this);
    lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lines->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lines->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    const QFontMetrics metrics(lines->font());
    lines->setItemDelegate(
        new TabStopDelegate(kTabStopDigits * metrics.horizontalAdvance(QLatin1Char('0')), lines));
    for (const std::string& line : locationInfoLines(store))
        lines->addItem(QString::fromLatin1(line.data(), qsizetype(line.size())));

    deleteThisPoint = new QPushButton(kDeletePointButton, this);
    deleteThisPoint->setDefault(true);
    deleteThisPoint->setAutoDefault(true);
    connect(deleteThisPoint, &QPushButton::clicked, this, [this] { OnDeletePoint(); });

    auto* column = new QVBoxLayout(this);
    column->addWidget(lines, 1);
    column->addWidget(deleteThisPoint);
    // 137 x 150 dialog units of the 8-point face.
    resize(metrics.averageCharWidth() * 137 / 4, metrics.height() * 150 / 8);
}

void CLocationInfoDlg::OnDeletePoint() {
    if (prompter.askYesNo(kDeleteQuestion) != YesNoAnswer::Yes) return;
    store.deletePoint();
    done(0);
}

} // namespace walkmere
