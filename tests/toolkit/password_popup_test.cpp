// The key prompt: what is typed is not shown, and what was typed comes back only when confirmed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "files.h"

namespace {

// Answers the prompt once it is open: types `text`, then confirms or cancels it.
void AnswerPrompt(const QString& text, bool confirm, QLineEdit::EchoMode* echo) {
    QTimer::singleShot(50, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QInputDialog*>(w);
            if (!dialog || !dialog->isVisible()) continue;
            auto* field = dialog->findChild<QLineEdit*>();
            if (!field) continue;
            *echo = field->echoMode();
            QTest::keyClicks(field, text);
            if (confirm)
                dialog->accept();
            else
                dialog->reject();
            return;
        }
    });
}

TEST(PasswordPopup, HidesWhatIsTypedAndGivesItOnlyWhenConfirmed) {
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    std::string text = "untouched";
    AnswerPrompt("line-42-key", true, &echo);
    EXPECT_EQ(PasswordPopup("Unlock", "Maintenance key:", &text), 1);
    EXPECT_EQ(echo, QLineEdit::Password);
    EXPECT_EQ(text, "line-42-key");

    text = "untouched";
    AnswerPrompt("typed-then-cancelled", false, &echo);
    EXPECT_EQ(PasswordPopup("Unlock", "Maintenance key:", &text), 0);
    EXPECT_EQ(text, "untouched");
}

}  // namespace
