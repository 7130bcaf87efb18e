// The typing limit of one-line and multi-line fields: typed, pasted and program-set text in characters and UTF-8
// bytes, with Cyrillic, CJK and emoji.

#include "controls/InputLimit.h"

#include "QtApp.h"
#include "controls/LimitedTextEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpressionValidator>
#include <QTest>

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kCyrillic = QStringLiteral("Привет");           // 6 characters, 12 bytes
const QString kCjk = QStringLiteral("世界");                  // 2 characters, 6 bytes
const QString kEmoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // 1 character, 4 bytes, 2 UTF-16 units

TEST(TextLimit, SizesCountCharactersOrUtf8Bytes) {
    const struct {
        QString text;
        int characters;
        int bytes;
    } cases[] = {
        {QString(), 0, 0},  {QStringLiteral("abc"), 3, 3},
        {kCyrillic, 6, 12}, {kCjk, 2, 6},
        {kEmoji, 1, 4},     {kEmoji + kEmoji + QStringLiteral("a"), 3, 9},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(TextSize(c.text, LimitUnit::Characters), c.characters) << c.text.toStdString();
        EXPECT_EQ(TextSize(c.text, LimitUnit::Utf8Bytes), c.bytes) << c.text.toStdString();
    }
    EXPECT_TRUE(RefusedInputMessage(QStringLiteral("World"), {8, LimitUnit::Characters}).contains("World"));
    EXPECT_TRUE(RefusedInputMessage(QStringLiteral("Say"), {255, LimitUnit::Utf8Bytes}).contains("255 bytes"));
}

// A one-line or a multi-line field behind the same few operations.
struct Field {
    std::unique_ptr<QWidget> widget;
    InputLimit *limit = nullptr;
    std::function<QString()> text;
    std::function<void(const QString &)> setByProgram;
    std::function<void()> moveToEnd;
};

Field LineField(TextLimit limit) {
    Field f;
    auto *edit = new QLineEdit;
    f.widget.reset(edit);
    f.limit = InputLimit::Attach(edit, limit, QStringLiteral("Name"));
    f.text = [edit] { return edit->text(); };
    f.setByProgram = [edit](const QString &t) { edit->setText(t); };
    f.moveToEnd = [edit] { edit->end(false); };
    return f;
}

Field MultiLineField(TextLimit limit) {
    Field f;
    auto *edit = new LimitedTextEdit(limit, QStringLiteral("Name"));
    f.widget.reset(edit);
    f.limit = edit->Limit();
    f.text = [edit] { return edit->toPlainText(); };
    f.setByProgram = [edit](const QString &t) { edit->setPlainText(t); };
    f.moveToEnd = [edit] { edit->moveCursor(QTextCursor::End); };
    return f;
}

void Paste(QWidget *widget, const QString &text) {
    QApplication::clipboard()->setText(text);
    QTest::keyClick(widget, Qt::Key_V, Qt::ControlModifier);
}

void Type(QWidget *widget, const QString &text) {
    // One key event per character, as a keyboard or an input method's single characters arrive.
    for (uint c : text.toUcs4()) {
        const QString one = QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &release);
    }
}

TEST(InputLimit, TypingStopsPastesAreRefusedWholeProgramTextIsKept) {
    const TextLimit chars8{8, LimitUnit::Characters};
    const TextLimit bytes12{12, LimitUnit::Utf8Bytes};
    const struct {
        const char *name;
        TextLimit limit;
        QString programText; // set before the user acts
        QString typed;
        QString pasted;
        QString expected;
        bool refusedWithMessage;
    } cases[] = {
        {"typing stops at 8 characters", chars8, {}, QStringLiteral("abcdefghij"), {}, "abcdefgh", false},
        {"emoji count as one character", chars8, {}, kEmoji.repeated(9), {}, kEmoji.repeated(8), false},
        {"a paste that fits is taken", chars8, QStringLiteral("ab"), {}, kCjk, "ab" + kCjk, false},
        {"a paste over the limit is refused whole", chars8, QStringLiteral("abcde"), {}, "1234", "abcde", true},
        {"program text over the limit is kept",
         chars8,
         QStringLiteral("LongWorldName"),
         {},
         {},
         "LongWorldName",
         false},
        {"and cannot grow by typing",
         chars8,
         QStringLiteral("LongWorldName"),
         QStringLiteral("x"),
         {},
         "LongWorldName",
         false},
        {"bytes: Cyrillic stops at 6 letters", bytes12, {}, kCyrillic + QStringLiteral("й"), {}, kCyrillic, false},
        {"bytes: an emoji that does not fit whole is not split",
         bytes12,
         kCjk + QStringLiteral("abc"),
         kEmoji,
         {},
         kCjk + "abc",
         false},
        {"bytes: an emoji that fits whole is taken",
         bytes12,
         kCjk + QStringLiteral("ab"),
         kEmoji + "c",
         {},
         kCjk + "ab" + kEmoji,
         false},
        {"bytes: a Cyrillic paste over 12 bytes is refused whole", bytes12, {}, {}, kCyrillic + "a", QString(), true},
        {"bytes: CJK paste of exactly 12 bytes is taken", bytes12, {}, {}, kCjk + kCjk, kCjk + kCjk, false},
    };
    for (const auto make : {&LineField, &MultiLineField}) {
        for (const auto &c : cases) {
            Field field = make(c.limit);
            const std::string name = std::string(c.name) + (make == &LineField ? " (line)" : " (multi-line)");
            QStringList messages;
            QObject::connect(field.limit, &InputLimit::Refused, [&](const QString &m) { messages << m; });
            field.limit->SetShowsMessage(false);
            field.widget->show();
            field.setByProgram(c.programText);
            field.moveToEnd();
            Type(field.widget.get(), c.typed);
            if (!c.pasted.isEmpty()) {
                Paste(field.widget.get(), c.pasted);
            }
            EXPECT_EQ(field.text(), c.expected) << name;
            EXPECT_EQ(messages.size(), c.refusedWithMessage ? 1 : 0) << name;
            if (!messages.isEmpty()) {
                EXPECT_TRUE(messages[0].contains("Name")) << name;
            }
        }
    }
}

TEST(InputLimit, ProgramTextMayBeShortenedAndEditedWithinItsLength) {
    for (const auto make : {&LineField, &MultiLineField}) {
        Field field = make({8, LimitUnit::Characters});
        field.widget->show();
        field.setByProgram(QStringLiteral("LongWorldName"));
        field.moveToEnd();
        QTest::keyClick(field.widget.get(), Qt::Key_Backspace);
        EXPECT_EQ(field.text(), "LongWorldNam");
        Type(field.widget.get(), QStringLiteral("ez"));
        EXPECT_EQ(field.text(), "LongWorldName") << "retyped up to the length the program's text had";
        field.setByProgram(QStringLiteral("abc"));
        field.moveToEnd();
        Type(field.widget.get(), QStringLiteral("defghijk"));
        EXPECT_EQ(field.text(), "abcdefgh") << "a shorter program text gives back the limit";
    }
}

TEST(InputLimit, KeepsTheEditsOwnValidatorAndLiftsItsMaxLength) {
    QLineEdit edit;
    edit.setMaxLength(4);
    edit.setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), &edit));
    InputLimit::Attach(&edit, {11, LimitUnit::Characters}, QStringLiteral("Citizen"));
    EXPECT_EQ(InputLimit::Of(&edit)->FieldName(), "Citizen");
    edit.show();
    Type(&edit, QStringLiteral("12a3"));
    EXPECT_EQ(edit.text(), "123");
    edit.setText(QStringLiteral("123456789012345"));
    EXPECT_EQ(edit.text(), "123456789012345") << "the program's text is not cut";
    EXPECT_TRUE(edit.hasAcceptableInput()) << "so Enter still works in the field";
    edit.setText(QString());
    Paste(&edit, QStringLiteral("123456789012"));
    EXPECT_EQ(edit.text(), "") << "a number is never cut into another one";
}

TEST(InputLimit, RefusalOpensOneMessageBoxNamingTheField) {
    QWidget window;
    window.setWindowTitle(QStringLiteral("World Rights"));
    auto *edit = new QLineEdit(&window);
    InputLimit::Attach(edit, {5, LimitUnit::Characters}, QStringLiteral("Eject"));
    window.show();
    Paste(edit, QStringLiteral("123456"));
    Paste(edit, QStringLiteral("1234567"));
    // QTRY_VERIFY only returns on a time-out under GoogleTest; the wait must fail the test itself.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.findChild<QMessageBox *>(QStringLiteral("refusedInput")) != nullptr; }));
    QCoreApplication::processEvents();
    const auto boxes = window.findChildren<QMessageBox *>(QStringLiteral("refusedInput"));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->windowTitle(), "World Rights");
    EXPECT_TRUE(boxes[0]->text().contains("Eject")) << boxes[0]->text().toStdString();
    EXPECT_TRUE(boxes[0]->text().contains("5 characters")) << boxes[0]->text().toStdString();
    boxes[0]->close();
    EXPECT_EQ(edit->text(), "");
}

TEST(InputLimit, InputMethodTextIsRefusedWhole) {
    LimitedTextEdit edit({4, LimitUnit::Utf8Bytes}, QStringLiteral("Comment"));
    edit.Limit()->SetShowsMessage(false);
    int refused = 0;
    QObject::connect(edit.Limit(), &InputLimit::Refused, [&] { ++refused; });
    edit.show();
    QInputMethodEvent commit;
    commit.setCommitString(kCyrillic);
    QApplication::sendEvent(&edit, &commit);
    EXPECT_EQ(edit.toPlainText(), "");
    QInputMethodEvent fits;
    fits.setCommitString(kCyrillic.left(2));
    QApplication::sendEvent(&edit, &fits);
    EXPECT_EQ(edit.toPlainText(), kCyrillic.left(2));
    EXPECT_EQ(refused, 1);
}

} // namespace
