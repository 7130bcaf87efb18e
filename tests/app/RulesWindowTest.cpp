// Options, Rules...: a rule written in the window works at once in the running program, Try only describes, a
// broken field is refused with its message, and the on/off box turns a rule off.

#include "automation/ui/RulesWindow.h"

#include "RunningApp.h"
#include "app/Commands.h"
#include "automation/RuleEngine.h"
#include "automation/RulesFile.h"
#include "chat/ChatPane.h"
#include "controls/LimitedTextEdit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>

#include <fstream>

namespace {

class RulesWindowTest : public RunningApp {
protected:
    RulesWindow &Open() {
        gabbler_->Window().CommandAction(Command::Rules)->trigger();
        RulesWindow *window = gabbler_->OpenRules();
        EXPECT_TRUE(window->isVisible());
        return *window;
    }

    // Adds a rule through the editor as a user fills it in.
    RuleEditor &StartRule(RulesWindow &window, const QString &name, const QString &when) {
        QTest::mouseClick(window.Button("add"), Qt::LeftButton);
        RuleEditor *editor = window.Editor();
        EXPECT_NE(editor, nullptr);
        QTest::keyClicks(editor->Edit(RuleFields::Name), name);
        editor->WhenBox()->setCurrentText(when);
        return *editor;
    }

    bool Said(const std::string &line) {
        return QTest::qWaitFor(
            [&] {
                const ChatLog &log = gabbler_->Chat().Log();
                for (std::size_t i = 0; i < log.LineCount(); ++i) {
                    if (log.Line(i).Text() == line) {
                        return true;
                    }
                }
                return false;
            },
            10000);
    }

    int Arrive(const std::string &name) {
        PersonSpec person;
        person.name = name;
        person.citizen = 77;
        person.privilege = 77;
        return server_->AddPerson("Sunset", person);
    }
};

TEST_F(RulesWindowTest, ARuleWrittenInTheWindowWorksAtOnce) {
    Start();
    RulesWindow &window = Open();
    RuleEditor &editor = StartRule(window, "Hours", "chat");
    QTest::keyClicks(editor.Edit(RuleFields::Words), "opening hours");
    QTest::keyClicks(editor.ActionsEdit(), "say We open at nine, {name}.");
    QTest::mouseClick(editor.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_EQ(window.Editor(), nullptr);
    ASSERT_EQ(window.List()->count(), 1);
    EXPECT_EQ(window.List()->item(0)->text(),
              "Hours: when chat with \"opening hours\" then say \"We open at nine, {name}.\"");
    EXPECT_EQ(window.windowTitle(), "Rules *");
    QTest::mouseClick(window.Button("save"), Qt::LeftButton);
    EXPECT_EQ(window.windowTitle(), "Rules");

    ASSERT_EQ(LoadRules(home_.File(kRulesFileName)).rules.size(), 1u);
    ASSERT_EQ(gabbler_->GetBot().Rules().Rules().size(), 1u);
    const int alice = Arrive("Alice");
    ASSERT_GT(alice, 0);
    ASSERT_TRUE(server_->Say(alice, "What are your opening hours?"));
    EXPECT_TRUE(Said("[Tester]: We open at nine, Alice."));
}

TEST_F(RulesWindowTest, TryDescribesWithoutDoing) {
    Start();
    RulesWindow &window = Open();
    RuleEditor &editor = StartRule(window, "Hello", "chat");
    QTest::keyClicks(editor.Edit(RuleFields::Words), "hello");
    QTest::keyClicks(editor.ActionsEdit(), "say Hi, {name}!");
    QTest::mouseClick(editor.TryButton(), Qt::LeftButton);
    EXPECT_TRUE(editor.TryResult()->text().contains("Hi, Alice!")) << editor.TryResult()->text().toStdString();
    editor.SampleText()->setText(QStringLiteral("goodbye"));
    QTest::mouseClick(editor.TryButton(), Qt::LeftButton);
    EXPECT_EQ(editor.TryResult()->text(), "Nothing: the line does not match.");
    // Only described: nothing said, nothing added.
    QTest::keyClick(&editor, Qt::Key_Escape);
    EXPECT_EQ(window.List()->count(), 0);
    const ChatLog &log = gabbler_->Chat().Log();
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        EXPECT_FALSE(log.Line(i).Text().starts_with("[Tester]: Hi")) << log.Line(i).Text();
    }
}

TEST_F(RulesWindowTest, ABrokenFieldIsRefusedWithItsMessage) {
    Start();
    RulesWindow &window = Open();
    RuleEditor &editor = StartRule(window, "Announce", "every");
    QTest::keyClicks(editor.Edit(RuleFields::WhenArgument), "soon");
    QTest::keyClicks(editor.ActionsEdit(), "say Hello!");
    QTest::keyClick(editor.Edit(RuleFields::WhenArgument), Qt::Key_Return);
    ASSERT_EQ(window.Editor(), &editor);
    EXPECT_TRUE(editor.isVisible());
    EXPECT_TRUE(editor.Problem(RuleFields::WhenArgument)->isVisibleTo(&editor));
    EXPECT_EQ(editor.Problem(RuleFields::WhenArgument)->text(), "\"every\" is followed by a number of minutes.");
    EXPECT_EQ(editor.focusWidget(), editor.Edit(RuleFields::WhenArgument));
    editor.Edit(RuleFields::WhenArgument)->setText(QStringLiteral("30"));
    QTest::keyClick(editor.Edit(RuleFields::WhenArgument), Qt::Key_Return);
    EXPECT_EQ(window.Editor(), nullptr);
    EXPECT_EQ(window.List()->count(), 1);
}

TEST_F(RulesWindowTest, TheOnOffBoxTurnsARuleOff) {
    std::ofstream(home_.File(kRulesFileName)) << "[Hours]\nwhen = chat\nwords = hours\nthen = say Nine to five.\n";
    Start();
    RulesWindow &window = Open();
    ASSERT_EQ(window.List()->count(), 1);
    ASSERT_EQ(window.List()->item(0)->checkState(), Qt::Checked);
    window.List()->item(0)->setCheckState(Qt::Unchecked);
    ASSERT_TRUE(window.Save());
    EXPECT_FALSE(LoadRules(home_.File(kRulesFileName)).rules.at(0).enabled);
    EXPECT_FALSE(gabbler_->GetBot().Rules().Rules().at(0).enabled);

    // Keyboard: Delete removes the current rule.
    window.List()->setFocus();
    QTest::keyClick(window.List(), Qt::Key_Delete);
    EXPECT_EQ(window.List()->count(), 0);
}

TEST_F(RulesWindowTest, AFileChangedByHandMeanwhileIsOfferedForReloading) {
    Start();
    RulesWindow &window = Open();
    RuleEditor &editor = StartRule(window, "Hello", "click");
    QTest::keyClicks(editor.ActionsEdit(), "say Hi, {name}!");
    editor.accept();
    std::ofstream(home_.File(kRulesFileName)) << "[Hours]\nwhen = chat\nthen = say Nine to five.\n";
    EXPECT_FALSE(window.Save());
    EXPECT_TRUE(window.Banner()->text().contains("was changed outside this window"));
    EXPECT_EQ(LoadRules(home_.File(kRulesFileName)).rules.at(0).name, "Hours");
    window.Reload();
    ASSERT_EQ(window.List()->count(), 1);
    EXPECT_TRUE(window.List()->item(0)->text().startsWith("Hours:"));
}

} // namespace
