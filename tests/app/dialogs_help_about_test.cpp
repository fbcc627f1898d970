#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>

#include "app/AboutDlg.h"
#include "app/HelpDlg.h"

namespace walkmere {
namespace {

QStringList entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

const QStringList kHeadings = {"Help Contents",
                               "Overview",
                               "Quick Start",
                               "OPEN A SITE FILE",
                               "START SURVEY",
                               "COMPLETE SURVEY",
                               "Status Bar (Bottom)",
                               "Menu",
                               "Zoom Mode",
                               "Scroll Bars",
                               "Joystick",
                               "Color Codes",
                               "Survey Information Screen",
                               "Surveying Tips"};

// The entries of the section under `heading`, up to the next heading.
QStringList section(const QStringList& lines, const QString& heading) {
    const qsizetype start = lines.indexOf(heading);
    if (start < 0) return {};
    QStringList out;
    for (qsizetype i = start + 1; i < lines.size() && !kHeadings.contains(lines[i]); ++i)
        out << lines[i];
    return out;
}

TEST(HelpDialog, OpensTwiceWithTheSameEntriesWithoutDuplicates) {
    CHelpDlg first;
    const QStringList once = entries(first.list());
    CHelpDlg second;
    EXPECT_EQ(entries(second.list()), once);
    EXPECT_EQ(once, helpLines());
    EXPECT_EQ(first.windowTitle(), QStringLiteral("Help"));
    EXPECT_FALSE(first.list()->isSortingEnabled());
    for (const QString& h : kHeadings)
        EXPECT_EQ(once.count(h), 1) << h.toStdString();
}

TEST(HelpDialog, HeadingsComeInOrderAfterSeparators) {
    const QStringList lines = helpLines();
    qsizetype previous = -1;
    for (const QString& h : kHeadings) {
        const qsizetype at = lines.indexOf(h);
        ASSERT_GT(at, previous) << h.toStdString();
        if (at > 0) {
            EXPECT_TRUE(lines[at - 1].isEmpty()) << h.toStdString();
        }
        EXPECT_FALSE(section(lines, h).join(QString()).isEmpty()) << h.toStdString();
        previous = at;
    }
    EXPECT_EQ(lines.first(), QStringLiteral("Help Contents"));
    EXPECT_GT(lines.count(QString()), kHeadings.size()); // paragraphs are separated too
}

TEST(HelpDialog, EntriesArePreWrappedToTheListWidth) {
    int wide = 0;
    for (const QString& line : helpLines()) {
        if (line.size() > 40) ++wide;
        if (line.trimmed().isEmpty()) {
            EXPECT_TRUE(line.isEmpty()) << "a separator holds blanks";
        }
        EXPECT_FALSE(line.endsWith(' ')) << line.toStdString();
    }
    EXPECT_LE(wide, 2);
}

TEST(HelpDialog, DescribesThisProgramsStatusLineAndColours) {
    const QString status = section(helpLines(), "Status Bar (Bottom)").join(' ');
    for (const char* word : {"ZOOM", "SCANS", "POINTS"})
        EXPECT_TRUE(status.contains(QLatin1String(word))) << word;
    const QString colours = section(helpLines(), "Color Codes").join(' ');
    qsizetype at = -1;
    for (const char* c : {"red", "yellow", "green", "cyan", "white"}) {
        const qsizetype next = colours.indexOf(QLatin1String(c));
        EXPECT_GT(next, at) << c;
        at = next;
    }
}

// The list's scroll bars are always there, and disabled while the text fits that way.
TEST(HelpDialog, ScrollBarsAreShownAndDisabledWhenNotNeeded) {
    CHelpDlg dlg;
    dlg.show();
    QApplication::processEvents();
    QScrollBar* v = dlg.list()->verticalScrollBar();
    QScrollBar* h = dlg.list()->horizontalScrollBar();
    EXPECT_TRUE(v->isVisible());
    EXPECT_TRUE(h->isVisible());
    EXPECT_TRUE(v->isEnabled()) << "the guide is longer than the list";

    struct Case {
        QStringList lines;
        QSize size;
        bool vertical, horizontal; // enabled
    };
    const Case cases[] = {
        {{"Help Contents"}, {240, 300}, false, false},
        {{QString(200, 'W')}, {240, 300}, false, true},
        {helpLines(), {240, 300}, true, h->maximum() > 0},
        {helpLines(), {1200, 5000}, false, false},
    };
    for (const Case& c : cases) {
        dlg.list()->clear();
        dlg.list()->addItems(c.lines);
        dlg.resize(c.size);
        QApplication::processEvents();
        EXPECT_TRUE(v->isVisible());
        EXPECT_TRUE(h->isVisible());
        EXPECT_EQ(v->isEnabled(), c.vertical) << c.lines.size() << " lines at " << c.size.width();
        EXPECT_EQ(h->isEnabled(), c.horizontal) << c.lines.size() << " lines at " << c.size.width();
    }
}

TEST(HelpDialog, CommandRunsModallyAgainAndAgain) {
    for (int run = 0; run < 2; ++run) {
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = dynamic_cast<CHelpDlg*>(w); d && d->isVisible()) {
                    EXPECT_EQ(entries(d->list()), helpLines());
                    d->reject();
                }
            }
        });
        runHelpCommand(nullptr);
    }
}

TEST(AboutDialog, ShowsNameVersionIconAndNotice) {
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About"));
    QStringList texts;
    bool icon = false;
    for (const QLabel* label : dlg.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) texts << label->text();
        if (!label->pixmap().isNull()) icon = true;
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("Kivo Walkmere")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Version 4.71 Build 2")));
    EXPECT_EQ(texts.size(), 4); // name, version and two notice lines
    EXPECT_TRUE(icon);
}

TEST(AboutDialog, CommandRunsModally) {
    bool seen = false;
    QTimer::singleShot(0, [&seen] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = dynamic_cast<CAboutDlg*>(w); d && d->isVisible()) {
                seen = true;
                d->accept();
            }
        }
    });
    runAboutCommand(nullptr);
    EXPECT_TRUE(seen);
}

} // namespace
} // namespace walkmere
