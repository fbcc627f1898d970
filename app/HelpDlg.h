#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace walkmere {

// The user guide, one list entry per display line, pre-wrapped to the list's width. Empty
// entries separate the sections and the paragraphs within them.
const QStringList& helpLines();

// The Help dialog (caption "Help"): the guide in a scrollable list, in the order written.
// Each run builds the dialog afresh and fills the list once.
class CHelpDlg : public QDialog {
public:
    explicit CHelpDlg(QWidget* parent = nullptr);

    QListWidget* list() const { return helpList; }

private:
    QListWidget* helpList;
};

// Command 57670 of the main frame: runs the Help dialog modally; the result is not used.
void runHelpCommand(QWidget* parent);

} // namespace walkmere
