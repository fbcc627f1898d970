#include "app/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/ScreenFit.h"
#include "res/Resources.h"
#include "ui/DialogFont.h"

namespace walkmere {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    setFont(dialogFont());
    walkmereInitResources();

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(programIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    for (const char* line :
         {"Kivo Walkmere", "Version 4.71 Build 2", "Copyright (C) Kivo. All rights reserved.",
          "Use is subject to the licence terms."}) {
        text->addWidget(new QLabel(QString::fromUtf8(line), this));
    }
    text->addStretch();

    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(scrollingBody(*this));
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

void runAboutCommand(QWidget* parent) {
    CAboutDlg dlg(parent);
    dlg.exec();
}

} // namespace walkmere
