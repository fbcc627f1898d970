// The Yes/No box as a person answers it: a button, Return, Escape or the close button.
#include "platform/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

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

} // namespace
} // namespace walkmere
