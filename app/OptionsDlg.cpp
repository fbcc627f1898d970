#include "app/OptionsDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "app/RssiLegend.h"
#include "platform/Prompter.h"
#include "platform/ScreenFit.h"
#include "scan/LiveApTable.h"
#include "siteview/Viewport.h"
#include "ui/DialogFont.h"

namespace walkmere {
namespace {

constexpr int kSettleMin = 1, kSettleMax = 10;
constexpr int kTimeMin = 10, kTimeMax = 90;
// Five digits hold every number the fields can mean and cannot overflow an int.
constexpr int kMaxDigits = 5;

// The legend's area at the dialog's top left; the legend is drawn on every paint.
class LegendArea : public QWidget {
public:
    explicit LegendArea(QWidget* parent) : QWidget(parent) {
        setFixedSize(COptionsDlg::kLegendWidth, COptionsDlg::kLegendHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        DrawRssiLegend(p);
    }
};

QToolButton* arrowButton(Qt::ArrowType arrow, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setArrowType(arrow);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(16, 11);
    return b;
}

} // namespace

CNumberEdit::CNumberEdit(int minimum, int maximum, QWidget* parent)
    : QWidget(parent), lowest(minimum), highest(maximum), field(new QLineEdit(this)),
      up(arrowButton(Qt::UpArrow, this)), down(arrowButton(Qt::DownArrow, this)) {
    field->setAlignment(Qt::AlignRight);
    field->setMaxLength(kMaxDigits);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    field->installEventFilter(this);
    setFocusProxy(field);

    connect(up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down, &QToolButton::clicked, this, [this] { stepBy(-1); });

    auto* arrows = new QVBoxLayout;
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    arrows->addWidget(up);
    arrows->addWidget(down);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    row->addWidget(field, 1);
    row->addLayout(arrows);
}

void CNumberEdit::setValue(int v) {
    field->setText(QString::number(v));
}

std::optional<int> CNumberEdit::value() const {
    bool ok = false;
    const QString text = field->text().trimmed();
    if (text.isEmpty() || text.size() > kMaxDigits) return std::nullopt;
    const int v = text.toInt(&ok);
    if (!ok) return std::nullopt;
    return v;
}

void CNumberEdit::stepBy(int steps) {
    const int from = std::clamp(value().value_or(lowest), lowest, highest);
    setValue(std::clamp(from + steps, lowest, highest));
    field->selectAll();
}

bool CNumberEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

COptionsDlg::COptionsDlg(CViewport& viewport, CLiveApTable& table, IPrompter& prompter,
                         QWidget* parent)
    : QDialog(parent), viewport(viewport), table(table), prompter(prompter),
      walkPath(new QCheckBox(QStringLiteral("Show Walk Path"), this)),
      accessPoints(new QCheckBox(QStringLiteral("Show Access Points"), this)),
      settle(new CNumberEdit(kSettleMin, kSettleMax, this)),
      decertify(new CNumberEdit(kTimeMin, kTimeMax, this)),
      deleteAfter(new CNumberEdit(kTimeMin, kTimeMax, this)) {
    setWindowTitle(QStringLiteral("Options"));
    setFont(dialogFont());

    // Everything opens as it stands now, so that OK without a change changes nothing.
    walkPath->setChecked(viewport.showWalkPath());
    accessPoints->setChecked(viewport.showAccessPoints());
    settle->setValue(table.settleCount());
    decertify->setValue(table.decertifyTime());
    deleteAfter->setValue(table.deleteTime());

    connect(walkPath, &QCheckBox::clicked, this, [this] { OnWalkPathClicked(); });
    connect(accessPoints, &QCheckBox::clicked, this, [this] { OnAccessPointsClicked(); });

    auto* numbers = new QGridLayout;
    numbers->setHorizontalSpacing(8);
    const std::pair<const char*, CNumberEdit*> rows[] = {
        {"Settle count (certify)", settle},
        {"Decertify time (sec)", decertify},
        {"Delete time (sec)", deleteAfter},
    };
    int r = 0;
    for (const auto& [text, edit] : rows) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setBuddy(edit->edit());
        numbers->addWidget(label, r, 0, Qt::AlignVCenter);
        numbers->addWidget(edit, r, 1);
        ++r;
    }
    numbers->setColumnStretch(0, 1);
    numbers->setColumnMinimumWidth(1, 64);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 4, 8, 8);
    body->setSpacing(6);
    body->addWidget(walkPath);
    body->addWidget(accessPoints);
    body->addSpacing(8);
    body->addLayout(numbers);
    body->addSpacing(8);
    body->addWidget(buttons);

    // The legend's coordinates are the dialog's own: no margin above or left of it.
    auto* layout = new QVBoxLayout(scrollingBody(*this));
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new LegendArea(this), 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addLayout(body);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void COptionsDlg::OnWalkPathClicked() {
    toggleSwitch(viewport.showWalkPath(), &CViewport::setShowWalkPath, walkPath);
}

void COptionsDlg::OnAccessPointsClicked() {
    toggleSwitch(viewport.showAccessPoints(), &CViewport::setShowAccessPoints, accessPoints);
}

void COptionsDlg::toggleSwitch(bool on, void (CViewport::*set)(bool), QCheckBox* box) {
    (viewport.*set)(!on);
    box->setChecked(!on); // the box's own flip already agrees; this keeps them together
    prompter.showMessage(on ? "Disabled" : "Enabled");
}

bool COptionsDlg::checkField(CNumberEdit* edit) {
    const std::optional<int> v = edit->value();
    if (v && *v >= edit->minimum() && *v <= edit->maximum()) return true;

    char text[80];
    if (v) {
        std::snprintf(text, sizeof text, "Please enter an integer between %d and %d.",
                      edit->minimum(), edit->maximum());
    } else {
        std::snprintf(text, sizeof text, "Please enter an integer.");
    }
    prompter.showMessage(text, {}, MessageIcon::Exclamation);
    edit->edit()->setFocus();
    edit->edit()->selectAll();
    return false;
}

void COptionsDlg::accept() {
    for (CNumberEdit* edit : {settle, decertify, deleteAfter}) {
        if (!checkField(edit)) return;
    }
    // In range, so each fits the table's 16-bit fields.
    table.setSettleCount(static_cast<int16_t>(*settle->value()));
    table.setDecertifyTime(static_cast<int16_t>(*decertify->value()));
    table.setDeleteTime(static_cast<int16_t>(*deleteAfter->value()));
    QDialog::accept();
}

void runOptionsCommand(QWidget* parent, CViewport& viewport, CLiveApTable& table,
                       IPrompter& prompter) {
    COptionsDlg dlg(viewport, table, prompter, parent);
    dlg.exec();
}

} // namespace walkmere
