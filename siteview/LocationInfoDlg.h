#pragma once

#include <QDialog>
#include <QTextOption>

#include <string>
#include <vector>

#include "survey/StoreOutcome.h"

class QListWidget;
class QPushButton;

namespace walkmere {

class CSurveyStore;
class IPrompter;
class ISoundPlayer;

inline constexpr const char* kLocationInfoCaption = "Location Information";
inline constexpr const char* kLocationInfoHeader = "#\tMAC ADDR\t\t\tRSSI\tSSID";
inline constexpr const char* kLocationInfoDesktopHeader = "#\tMAC ADDR\tRSSI\tCH\tBAND\tSSID";
inline constexpr const char* kDynamicApLine = "THIS POINT IS A DYNAMIC AP";
inline constexpr const char* kDeletePointButton = "Delete This Point";
inline constexpr const char* kDeleteQuestion = "Delete?";

// The list lines for the point the store found last: for a survey point the header line and
// one line per stored reading ("%d\t%02X-...-%02X\t%d\t%s", dBm truncated toward zero; an
// empty line for a reading the file would not give back); for a placed access point its one
// line; nothing for any other kind. Reads the site file; what the reads had to report is
// added to `notices`.
std::vector<std::string> locationInfoLines(CSurveyStore& store, Notices& notices);
// The desktop map's lines: kLocationInfoDesktopHeader, then the readings strongest first, each
// "%d\t<MAC>\t<RSSI>\t<channel>\t<band>\t<SSID>" with the number it has in the file, the
// channel as channelText gives it and the band as "2.4 GHz", "5 GHz" or "6 GHz".
std::vector<std::string> desktopLocationInfoLines(CSurveyStore& store, Notices& notices);

// How the list lays out each line: tabs go to every multiple of `tabStop` pixels from the
// line's start, and nothing wraps.
QTextOption locationLineLayout(qreal tabStop);

// What was recorded at one point of the map, with a button to delete the point. Works on
// the store's found entry; the list is built once, when the dialog is made.
class CLocationInfoDlg : public QDialog {
    Q_OBJECT
public:
    // `desktop`: the desktop map's list, in columns, strongest first, with channel and band.
    CLocationInfoDlg(CSurveyStore& store, IPrompter& prompter, ISoundPlayer& sound,
                     QWidget* parent = nullptr, bool desktop = false);

    QListWidget* list() const { return lines; }
    QPushButton* deleteButton() const { return deleteThisPoint; }
    // The list's one tab stop, in pixels: 52 / (the base units' x) dialog units of the
    // dialog's font, as the handheld set it.
    int tabStop() const { return tab; }

    // "Delete This Point": asks "Delete?"; Yes deletes the point (telling "Deleted.") and
    // closes the dialog with result 0; No leaves everything as it was.
    void OnDeletePoint();

private:
    CSurveyStore& store;
    IPrompter& prompter;
    ISoundPlayer& sound;
    QListWidget* lines;
    QPushButton* deleteThisPoint;
    int tab = 0;
};

} // namespace walkmere
