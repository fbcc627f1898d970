#pragma once

#include <QDialog>
#include <QString>

#include "app/SignaturePad.h"

class QPushButton;

namespace walkmere {

class CSurveyStore;
class IPrompter;
class ISoundPlayer;

// "Sign Off On Survey": the surveyor signs on the pad, may clear it and start again, and
// closes the dialog with "SAVE SITE SURVEY". The pad, with its bitmap, lives as long as
// the dialog object, so the signature can be read after exec() has returned.
class CSignOffDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClearButtonId = 1001;
    static constexpr int kSaveButtonId = 1002;
    static constexpr int kPadId = 1003;
    // The pad's control, in dialog units.
    static constexpr int kPadControlWidth = 125;
    static constexpr int kPadControlHeight = 40;

    explicit CSignOffDlg(QWidget* parent = nullptr);

    CSignaturePad& pad() { return *signaturePad; }
    QPushButton* clearButton() const { return clear; }
    QPushButton* saveButton() const { return save; }

private:
    CSignaturePad* signaturePad;
    QPushButton* clear;
    QPushButton* save;
};

// The save command of the site view: the sign-off dialog, the signature written into the
// open site file, then the save dialog offering `openedPath` and a copy under a new name.
void runSaveSiteCommand(QWidget* parent, CSurveyStore& store, IPrompter& prompter,
                        ISoundPlayer& sound, const QString& openedPath);

} // namespace walkmere
