#include "app/HelpDlg.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QListWidget>
#include <QScrollBar>
#include <QVBoxLayout>

#include "platform/ScreenFit.h"
#include "res/Resources.h"
#include "ui/DialogFont.h"

namespace walkmere {

namespace {

// The guide is the text file res/help.txt, compiled in with the other resources; each of its
// lines is one entry of the list.
QStringList readHelpLines() {
    walkmereInitResources();
    QFile file(helpTextResourcePath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text.split(QLatin1Char('\n'));
}

} // namespace

const QStringList& helpLines() {
    static const QStringList lines = readHelpLines();
    return lines;
}

CHelpDlg::CHelpDlg(QWidget* parent) : QDialog(parent), helpList(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Help"));
    setFont(dialogFont());

    helpList->setObjectName(QStringLiteral("helpList"));
    helpList->setSortingEnabled(false); // the guide reads in the order it was written
    // Both bars always shown, disabled while the text fits that way.
    for (QScrollBar* bar : {helpList->verticalScrollBar(), helpList->horizontalScrollBar()}) {
        bar->setEnabled(false);
        connect(bar, &QScrollBar::rangeChanged, bar,
                [bar](int min, int max) { bar->setEnabled(max > min); });
    }
    helpList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    helpList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    helpList->setSelectionMode(QAbstractItemView::SingleSelection);
    helpList->addItems(helpLines());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(scrollingBody(*this));
    layout->setContentsMargins(7, 7, 7, 7);
    layout->addWidget(helpList);
    layout->addWidget(buttons);
    resize(240, 300);
}

void runHelpCommand(QWidget* parent) {
    CHelpDlg dlg(parent);
    dlg.exec();
}

} // namespace walkmere
