// The Yes/No box as a person answers it: a button, Return, Escape or the close button; the
// open dialog as a person types a name into it.
#include "platform/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "testkit/TempDir.h"

namespace walkmere {
namespace {

// Asks once and, as soon as the box is up, does `act` to it.
YesNoAnswer answer(const std::function<void(QMessageBox&)>& act, QMessageBox::Icon* icon) {
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll.stop();
        *icon = box->icon();
        act(*box);
    });
    poll.start();
    QtPrompter prompter;
    return prompter.askYesNo("Do you wish to keep existing data points?", "Kivo");
}

TEST(QtPrompterYesNo, OnlyAPressedButtonAnswers) {
    struct Case {
        const char* what;
        std::function<void(QMessageBox&)> act;
        YesNoAnswer expected;
    };
    const Case cases[] = {
        {"Yes button", [](QMessageBox& b) { b.button(QMessageBox::Yes)->click(); },
         YesNoAnswer::Yes},
        {"No button", [](QMessageBox& b) { b.button(QMessageBox::No)->click(); }, YesNoAnswer::No},
        {"Return", [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Return); }, YesNoAnswer::Yes},
        {"Escape", [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); },
         YesNoAnswer::Dismissed},
        {"close button", [](QMessageBox& b) { b.close(); }, YesNoAnswer::Dismissed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QMessageBox::Icon icon = QMessageBox::Critical;
        EXPECT_EQ(answer(c.act, &icon), c.expected);
        EXPECT_EQ(icon, QMessageBox::NoIcon) << "a Yes/No box carries no icon";
    }
}

// A bare name typed in the open dialog finds the site file whichever case its extension has,
// the lower case first; a file with the very name typed is that file. Without one the dialog
// says so and stays.
TEST(QtPrompterOpen, ABareNameFindsTheSiteFileInEitherCase) {
    struct Case {
        std::vector<std::string> files;
        std::optional<std::string> chosen;
    };
    const Case cases[] = {
        {{"site.kvs"}, "site.kvs"},
        {{"site.KVS"}, "site.KVS"},
        {{"site.KVS", "site.kvs"}, "site.kvs"},
        {{"site", "site.kvs"}, "site"},
        {{"site.kvs.bak", "site1.kvs"}, std::nullopt},
    };
    for (const Case& c : cases) {
        testkit::TempDir dir;
        for (const std::string& name : c.files)
            std::ofstream(dir.file(name)) << "x";
        bool typed = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                EXPECT_TRUE(box->text().contains(QStringLiteral("File not found")));
                box->accept();
            } else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && typed) {
                dialog->reject(); // the name was not taken
            } else if (dialog && dialog->isVisible()) {
                auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                edit->setText(QStringLiteral("site"));
                typed = true;
                // Outside this tick, so that the poll can still answer a box that Return opens.
                QTimer::singleShot(0, edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); });
            }
        });
        poll.start();
        FileDialogRequest request{"Site Files (*.kvs)|*.kvs|All Files (*.*)|*.*||", "KVS", "SITE1",
                                  dir.path().string(), true};
        const auto chosen = QtPrompter().askOpenFile(request);
        EXPECT_EQ(chosen, c.chosen ? std::optional(dir.file(*c.chosen).string()) : std::nullopt)
            << c.files.back();
    }
}

} // namespace
} // namespace walkmere
