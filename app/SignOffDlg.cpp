#include "app/SignOffDlg.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ScreenFit.h"
#include "survey/SaveSite.h"
#include "ui/DialogFont.h"

namespace walkmere {

CSignOffDlg::CSignOffDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Sign Off On Survey");
    setFont(dialogFont());

    // The pad takes the place of a static control of 125 x 40 dialog units.
    const DialogBaseUnits units = dialogBaseUnits(font());
    signaturePad = new CSignaturePad(
        QSize(units.toPixelsX(kPadControlWidth), units.toPixelsY(kPadControlHeight)), this);
    signaturePad->setObjectName(QString::number(kPadId));
    clear = new QPushButton("CLEAR SIGNATURE", this);
    clear->setObjectName(QString::number(kClearButtonId));
    clear->setAutoDefault(false);
    save = new QPushButton("SAVE SITE SURVEY", this);
    save->setObjectName(QString::number(kSaveButtonId));
    save->setDefault(true);

    auto* layout = new QVBoxLayout(scrollingBody(*this));
    layout->addWidget(signaturePad, 0, Qt::AlignHCenter);
    layout->addWidget(clear);
    layout->addWidget(save);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(clear, &QPushButton::clicked, signaturePad, &CSignaturePad::ClearSignature);
    // How the dialog was closed does not matter to the save flow; the button ends it
    // with result 0 as the title-bar button does.
    connect(save, &QPushButton::clicked, this, [this] { done(0); });
}

void runSaveSiteCommand(QWidget* parent, CSurveyStore& store, IPrompter& prompter,
                        ISoundPlayer& sound, const QString& openedPath) {
    runSaveFlow(store, prompter, sound, openedPath.toStdString(), [parent](SignatureImage& image) {
        CSignOffDlg dialog(parent);
        dialog.exec();
        // The window has gone; the pad's bitmap is still there.
        const CSignaturePad& pad = dialog.pad();
        image.capture([&pad](int x, int y) { return pad.IsBlankPixel(x, y); });
    });
}

} // namespace walkmere
