#pragma once

#include <QDialog>

namespace walkmere {

// The About dialog (caption "About"): the program's icon, its name and version, and two lines
// of legal notice. It has no behaviour beyond showing them.
class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// Command 32777 of the main frame: runs the About dialog modally; the result is not used.
void runAboutCommand(QWidget* parent);

} // namespace walkmere
