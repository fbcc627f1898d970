#pragma once

#include <QDialog>
#include <QWidget>

#include <optional>

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace walkmere {

class CLiveApTable;
class CViewport;
class IPrompter;

// A whole-number edit with up and down arrows beside it. The arrows and the Up/Down keys step
// the number within [minimum, maximum]; typing is free apart from digits only, so a number
// outside the range can be entered and is refused when the dialog checks it.
class CNumberEdit : public QWidget {
public:
    CNumberEdit(int minimum, int maximum, QWidget* parent = nullptr);

    int minimum() const { return lowest; }
    int maximum() const { return highest; }
    void setValue(int v);
    // The text as a number; nothing when it holds none (empty, or too long to be one).
    std::optional<int> value() const;
    // Steps from the number shown, brought into range first; from the minimum when the text
    // holds no number.
    void stepBy(int steps);

    QLineEdit* edit() const { return field; }
    QToolButton* upButton() const { return up; }
    QToolButton* downButton() const { return down; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int lowest;
    int highest;
    QLineEdit* field;
    QToolButton* up;
    QToolButton* down;
};

// The Options dialog (caption "Options"): the two map overlay switches, the three timing
// settings of the live AP table, and the RSSI colour legend across its top.
//
// A click on a check box flips its switch in the viewport at once and says "Disabled" or
// "Enabled"; cancelling does not undo it. The three numbers open with the table's current
// settings. OK checks them in order (settle count 1 to 10, decertify and delete time 10 to 90
// seconds); the first one that is no number or out of range is refused with a message naming
// the range, gets the focus, and the dialog stays open with nothing stored. When all three
// pass they are stored into the table and the dialog closes. Cancel or the close box stores
// nothing.
class COptionsDlg : public QDialog {
public:
    COptionsDlg(CViewport& viewport, CLiveApTable& table, IPrompter& prompter,
                QWidget* parent = nullptr);

    static constexpr int kLegendWidth = 240;
    static constexpr int kLegendHeight = 40;

    QCheckBox* walkPathCheck() const { return walkPath; }
    QCheckBox* accessPointCheck() const { return accessPoints; }
    CNumberEdit* settleCountEdit() const { return settle; }
    CNumberEdit* decertifyTimeEdit() const { return decertify; }
    CNumberEdit* deleteTimeEdit() const { return deleteAfter; }

    // OK: check, store, close; or refuse and stay open.
    void accept() override;

private:
    void OnWalkPathClicked();
    void OnAccessPointsClicked();
    // Flips one switch and tells the user which way it went; the box shows the new state.
    void toggleSwitch(bool on, void (CViewport::*set)(bool), QCheckBox* box);
    bool checkField(CNumberEdit* edit);

    CViewport& viewport;
    CLiveApTable& table;
    IPrompter& prompter;
    QCheckBox* walkPath;
    QCheckBox* accessPoints;
    CNumberEdit* settle;
    CNumberEdit* decertify;
    CNumberEdit* deleteAfter;
};

// Command 32779 of the main frame: runs the Options dialog modally on the given settings.
void runOptionsCommand(QWidget* parent, CViewport& viewport, CLiveApTable& table,
                       IPrompter& prompter);

} // namespace walkmere
