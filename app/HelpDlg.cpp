#include "app/HelpDlg.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/DialogFont.h"

namespace walkmere {

const QStringList& helpLines() {
    static const QStringList lines = {
        QStringLiteral("Help Contents"),
        QStringLiteral(""),
        QStringLiteral("Kivo Walkmere user guide. Scroll"),
        QStringLiteral("down for each subject."),
        QStringLiteral(""),
        QStringLiteral("Overview"),
        QStringLiteral(""),
        QStringLiteral("Walkmere is a Wi-Fi site-survey"),
        QStringLiteral("program. It runs on a Linux"),
        QStringLiteral("laptop, tablet or touch-screen"),
        QStringLiteral("board that is connected to the"),
        QStringLiteral("scanner board through a serial"),
        QStringLiteral("port."),
        QStringLiteral(""),
        QStringLiteral("It opens a site file (.kvs) made"),
        QStringLiteral("with the desktop site-file"),
        QStringLiteral("program, lets you walk the site"),
        QStringLiteral("and collect survey points, and"),
        QStringLiteral("writes the data back into the"),
        QStringLiteral("site file for the desktop"),
        QStringLiteral("analysis program."),
        QStringLiteral(""),
        QStringLiteral("You can zoom in and out, place"),
        QStringLiteral("access points on the plan by"),
        QStringLiteral("hand, look at the survey"),
        QStringLiteral("information of a point, delete"),
        QStringLiteral("points, and scroll over the site"),
        QStringLiteral("with the scroll bars, the stylus"),
        QStringLiteral("or mouse, or the arrow keys."),
        QStringLiteral(""),
        QStringLiteral("Quick Start"),
        QStringLiteral(""),
        QStringLiteral("These three steps give you a"),
        QStringLiteral("site file with survey points."),
        QStringLiteral("Read the Surveying Tips at the"),
        QStringLiteral("end of this guide before you"),
        QStringLiteral("start."),
        QStringLiteral(""),
        QStringLiteral("OPEN A SITE FILE"),
        QStringLiteral(""),
        QStringLiteral("1. Tap the leftmost toolbar"),
        QStringLiteral("button (Open a Site) and choose"),
        QStringLiteral("a .kvs site file."),
        QStringLiteral(""),
        QStringLiteral("If the file holds points of an"),
        QStringLiteral("earlier survey you are asked"),
        QStringLiteral("whether to keep them: Yes keeps"),
        QStringLiteral("them, No starts an empty survey."),
        QStringLiteral(""),
        QStringLiteral("START SURVEY"),
        QStringLiteral(""),
        QStringLiteral("2. Find your starting spot on"),
        QStringLiteral("the floor plan with the scroll"),
        QStringLiteral("bars, the zoom buttons and the"),
        QStringLiteral("arrow keys."),
        QStringLiteral(""),
        QStringLiteral("Tap the plan where you stand, or"),
        QStringLiteral("press Return to take the point"),
        QStringLiteral("under the cursor in the middle"),
        QStringLiteral("of the screen. The scan screen"),
        QStringLiteral("then shows for a few seconds: a"),
        QStringLiteral("progress bar and the access"),
        QStringLiteral("points heard, with their"),
        QStringLiteral("channel, MAC address, SSID and"),
        QStringLiteral("RSSI."),
        QStringLiteral(""),
        QStringLiteral("When the map returns, walk on to"),
        QStringLiteral("the next spot and take the next"),
        QStringLiteral("point."),
        QStringLiteral(""),
        QStringLiteral("COMPLETE SURVEY"),
        QStringLiteral(""),
        QStringLiteral("3. When the site is covered, tap"),
        QStringLiteral("the second toolbar button from"),
        QStringLiteral("the left (Save a Site), sign off"),
        QStringLiteral("the survey and save the site"),
        QStringLiteral("file with its points."),
        QStringLiteral(""),
        QStringLiteral("Then move the file to the"),
        QStringLiteral("desktop analysis program."),
        QStringLiteral(""),
        QStringLiteral("Status Bar (Bottom)"),
        QStringLiteral(""),
        QStringLiteral("The green line at the bottom of"),
        QStringLiteral("the site map reads, for example:"),
        QStringLiteral(""),
        QStringLiteral("ZOOM=100%   SCANS=2   POINTS=7"),
        QStringLiteral(""),
        QStringLiteral("ZOOM = the zoom factor in"),
        QStringLiteral("percent (100% is the scale a"),
        QStringLiteral("site opens at)."),
        QStringLiteral(""),
        QStringLiteral("SCANS = the number of survey"),
        QStringLiteral("points stored."),
        QStringLiteral(""),
        QStringLiteral("POINTS = the total number of"),
        QStringLiteral("access point readings stored at"),
        QStringLiteral("those points."),
        QStringLiteral(""),
        QStringLiteral("Menu"),
        QStringLiteral(""),
        QStringLiteral("The toolbar at the top of the"),
        QStringLiteral("window holds these buttons, from"),
        QStringLiteral("left to right:"),
        QStringLiteral("- Open a Site: open a site file."),
        QStringLiteral("- Save a Site: sign off and save"),
        QStringLiteral("  the site file."),
        QStringLiteral("- Take JPEG Snapshot: save a"),
        QStringLiteral("  picture of the current screen."),
        QStringLiteral("- Zoom in (+) and Zoom out (-)."),
        QStringLiteral("- Add/remove an access point:"),
        QStringLiteral("  the next tap places an access"),
        QStringLiteral("  point."),
        QStringLiteral("- Options: map overlays, timing"),
        QStringLiteral("  settings and the colour codes."),
        QStringLiteral("- Help: this guide."),
        QStringLiteral("- About: program version."),
        QStringLiteral(""),
        QStringLiteral("Zoom Mode"),
        QStringLiteral(""),
        QStringLiteral("Tap the magnifier \"+\" to zoom in"),
        QStringLiteral("on the site and \"-\" to zoom out."),
        QStringLiteral("Each step doubles or halves the"),
        QStringLiteral("scale; zooming out stops at"),
        QStringLiteral("100%."),
        QStringLiteral(""),
        QStringLiteral("Scroll Bars"),
        QStringLiteral(""),
        QStringLiteral("Drag the scroll bars, or tap"),
        QStringLiteral("their arrows or tracks, to move"),
        QStringLiteral("over the site. The scroll boxes"),
        QStringLiteral("show where the cursor is on the"),
        QStringLiteral("plan."),
        QStringLiteral(""),
        QStringLiteral("Joystick"),
        QStringLiteral(""),
        QStringLiteral("The arrow keys are the joystick:"),
        QStringLiteral("each press moves the map 10"),
        QStringLiteral("pixels under the fixed cursor,"),
        QStringLiteral("and holding a key scrolls on."),
        QStringLiteral(""),
        QStringLiteral("Return or Enter is the"),
        QStringLiteral("joystick's centre: it takes a"),
        QStringLiteral("survey point at the cursor"),
        QStringLiteral("without moving the map."),
        QStringLiteral(""),
        QStringLiteral("Color Codes"),
        QStringLiteral(""),
        QStringLiteral("Each survey point is imprinted"),
        QStringLiteral("as a circle coloured by the"),
        QStringLiteral("strongest RSSI heard there: red"),
        QStringLiteral("(weak, -100 dBm) through yellow,"),
        QStringLiteral("green and cyan to white (strong,"),
        QStringLiteral("-20 dBm)."),
        QStringLiteral(""),
        QStringLiteral("The colour list is shown in the"),
        QStringLiteral("Options dialog (toolbar button"),
        QStringLiteral("Options)."),
        QStringLiteral(""),
        QStringLiteral("Survey Information Screen"),
        QStringLiteral(""),
        QStringLiteral("While a point is measured the"),
        QStringLiteral("scan screen shows a progress bar"),
        QStringLiteral("and the access points heard,"),
        QStringLiteral("each with channel, MAC address,"),
        QStringLiteral("SSID and RSSI."),
        QStringLiteral(""),
        QStringLiteral("Escape on the scan screen gives"),
        QStringLiteral("the measurement up: the map"),
        QStringLiteral("returns and no point is taken."),
        QStringLiteral(""),
        QStringLiteral("To look at a stored point, tap"),
        QStringLiteral("and hold it (hold 600 ms, or"),
        QStringLiteral("right-click). The Location"),
        QStringLiteral("Information screen lists each"),
        QStringLiteral("access point with MAC address,"),
        QStringLiteral("RSSI and SSID; \"Delete This"),
        QStringLiteral("Point\" deletes the point."),
        QStringLiteral(""),
        QStringLiteral("Surveying Tips"),
        QStringLiteral(""),
        QStringLiteral("Take enough points for a clear"),
        QStringLiteral("picture of the coverage."),
        QStringLiteral(""),
        QStringLiteral("The analysis program uses a"),
        QStringLiteral("point radius of 10 feet, so keep"),
        QStringLiteral("points within 10 feet of each"),
        QStringLiteral("other."),
        QStringLiteral(""),
        QStringLiteral("A typical 20 x 20 foot office"),
        QStringLiteral("needs at least 4 points."),
    };
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

    auto* layout = new QVBoxLayout(this);
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
