#include "login/LoginDialogLogic.h"

#include "TempDir.h"
#include "common/AtomicFile.h"

#include <deque>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ScriptedView : public LoginView {
public:
    void ShowFields(const LoginFields &f) override { fields = f; }
    void ShowProfileBox(const std::vector<std::string> &names, int selected) override {
        box = names;
        boxSelection = selected;
    }
    void SetFieldsEnabled(bool on) override { enabled = on; }
    bool AskYesNo(const std::string &question) override {
        questions.push_back(question);
        EXPECT_FALSE(answers.empty()) << "unexpected question: " << question;
        if (answers.empty()) {
            return false;
        }
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void ShowError(const std::string &message) override { errors.push_back(message); }
    std::optional<std::string> AskProfileName() override { return newName; }

    LoginFields fields;
    std::vector<std::string> box;
    int boxSelection = -2;
    bool enabled = true;
    std::deque<bool> answers;
    std::vector<std::string> questions;
    std::vector<std::string> errors;
    std::optional<std::string> newName;
};

struct Fixture {
    explicit Fixture(const std::string &content) : path(dir.File("profiles.txt")) {
        if (!content.empty()) {
            EXPECT_TRUE(WriteFileAtomically(path, content).ok);
        }
        logic.Open("gabbler");
    }
    TempDir dir;
    std::string path;
    ScriptedView view;
    LoginDialogLogic logic{view, path};
};

const char *const kTwoProfiles = "Zeta:7:zpw:[Z]:z.example:5:zw:1N:\r\n"
                                 "alpha:1234:secret:[Bot]:uni.example:5670:Sunset:40N 50W 2a 180:\r\n";

struct ModeCase {
    const char *executable;
    int mode;
};

TEST(LoginDialogLogic, ExecutableNameSetsTheUpgradeMode) {
    const ModeCase cases[] = {{"gabbler", 0}, {"Gabbler", 2}, {"GABBLER", 2}, {"gabbler.exe", 1}, {"test_x", 1}};
    for (const auto &c : cases) {
        TempDir dir;
        ScriptedView view;
        LoginDialogLogic logic(view, dir.File("profiles.txt"));
        logic.Open(c.executable);
        EXPECT_EQ(logic.UpgradeMode(), c.mode) << c.executable;
        const std::vector<std::string> expected =
            c.mode == 1 ? std::vector<std::string>{LoginDialogLogic::kMisnamedExecutable} : std::vector<std::string>{};
        EXPECT_EQ(view.errors, expected) << c.executable;
    }
}

TEST(LoginDialogLogic, WithoutProfilesOnlyTheBoxAndAddProfileAreUsable) {
    Fixture f("not a profile\r\n");
    EXPECT_FALSE(f.view.enabled);
    EXPECT_TRUE(f.view.box.empty());
    EXPECT_EQ(f.logic.LoadedIndex(), -1);
    EXPECT_TRUE(f.view.errors.empty()) << "a file without profiles is not an error";
}

TEST(LoginDialogLogic, OpensOnTheFirstProfileOfTheSortedBox) {
    Fixture f(kTwoProfiles);
    EXPECT_TRUE(f.view.enabled);
    EXPECT_EQ(f.view.box, (std::vector<std::string>{"alpha", "Zeta"}));
    EXPECT_EQ(f.view.boxSelection, 0);
    EXPECT_EQ(f.logic.LoadedIndex(), 0);
    EXPECT_EQ(f.view.fields, (LoginFields{"1234", "secret", "[Bot]", "Sunset", "40N 50W 2a 180", "uni.example:5670"}));
    EXPECT_FALSE(f.logic.Changed());
}

TEST(LoginDialogLogic, ChoosingAnotherProfileAsksToSaveTheEditedOne) {
    for (const bool yes : {true, false}) {
        Fixture f(kTwoProfiles);
        LoginFields edited = f.view.fields;
        edited.botName = "[Edited]";
        edited.universe = "  other.example  ";
        f.logic.Edited();
        f.view.answers = {yes};
        f.logic.ChooseProfile(1, edited);
        EXPECT_EQ(f.view.questions, std::vector<std::string>{"Do you wish to save changes to 'alpha'?"});
        EXPECT_EQ(f.logic.LoadedIndex(), 1);
        EXPECT_FALSE(f.logic.Changed());
        EXPECT_EQ(f.view.fields.botName, "[Z]");
        const LoginProfile &alpha = *f.logic.Store().Find("ALPHA");
        EXPECT_EQ(alpha.botName, yes ? "[Edited]" : "[Bot]") << (yes ? "Yes" : "No");
        EXPECT_EQ(alpha.universeHost, yes ? "other.example" : "uni.example");
        EXPECT_EQ(alpha.universePort, yes ? 0 : 5670);
        // Without edits there is no question.
        f.logic.ChooseProfile(0, f.view.fields);
        EXPECT_EQ(f.view.questions.size(), 1u);
    }
}

TEST(LoginDialogLogic, AFieldWithAColonIsNotSaved) {
    struct Case {
        const char *what;
        void (*edit)(LoginFields &);
    };
    const Case cases[] = {{"privilege password", [](LoginFields &f) { f.privilegePassword = "a:b"; }},
                          {"bot name", [](LoginFields &f) { f.botName = "[a:b]"; }},
                          {"world", [](LoginFields &f) { f.world = "w:"; }},
                          {"coordinates", [](LoginFields &f) { f.coordinates = "1N:2W"; }},
                          {"universe", [](LoginFields &f) { f.universe = "ho\nst:5"; }}};
    for (const auto &c : cases) {
        Fixture f(kTwoProfiles);
        LoginFields edited = f.view.fields;
        c.edit(edited);
        f.logic.Edited();
        f.logic.SaveProfile(edited);
        ASSERT_EQ(f.view.errors.size(), 1u) << c.what;
        EXPECT_NE(f.view.errors[0].find(c.what), std::string::npos) << f.view.errors[0];
        EXPECT_TRUE(f.logic.Changed()) << c.what << ": still unsaved";
        EXPECT_EQ(f.logic.Store().Find("alpha")->botName, "[Bot]") << c.what;
    }
}

TEST(LoginDialogLogic, SaveProfileCopiesTheFieldsWithoutWritingTheFile) {
    Fixture f(kTwoProfiles);
    LoginFields edited{"99abc", "new", "[New]", "Home", "1S", ""};
    f.logic.Edited();
    f.logic.SaveProfile(edited);
    EXPECT_FALSE(f.logic.Changed());
    EXPECT_EQ(*f.logic.Store().Find("alpha"),
              (LoginProfile{"alpha", 99, "new", "[New]", kDefaultUniverseHost, 0, "Home", "1S"}));
    EXPECT_EQ(ReadWholeFile(f.path), kTwoProfiles);
}

TEST(LoginDialogLogic, AddProfileLandsInItsAlphabeticalPlace) {
    Fixture f(kTwoProfiles);
    f.view.newName = "Middle";
    f.logic.AddProfile(f.view.fields);
    EXPECT_EQ(f.view.box, (std::vector<std::string>{"alpha", "Middle", "Zeta"}));
    EXPECT_EQ(f.view.boxSelection, 1);
    EXPECT_EQ(f.logic.LoadedIndex(), 1);
    EXPECT_EQ(f.view.fields, (LoginFields{"0", "", "", "", "0n 0e", "localhost:0"}));
    EXPECT_FALSE(f.logic.Changed());
    EXPECT_EQ(f.logic.Store().Profiles().back().name, "Middle");

    struct Refused {
        const char *name;
        const char *error;
    };
    const Refused refused[] = {{"middle", "A profile with that name already exists."},
                               {"Bad:Name", "The profile name cannot contain a colon"}};
    for (const auto &r : refused) {
        f.view.errors.clear();
        f.view.newName = r.name;
        f.logic.AddProfile(f.view.fields);
        ASSERT_EQ(f.view.errors.size(), 1u) << r.name;
        EXPECT_TRUE(f.view.errors[0].starts_with(r.error)) << f.view.errors[0];
        EXPECT_EQ(f.logic.Store().Count(), 3u) << r.name;
    }
    f.view.newName.reset(); // Cancel
    f.logic.AddProfile(f.view.fields);
    EXPECT_EQ(f.logic.Store().Count(), 3u);
}

TEST(LoginDialogLogic, WhileTheDemoRunsANewProfilePointsAtIt) {
    Fixture f(kTwoProfiles);
    f.logic.SetNewProfileUniverse({"127.0.0.1", 40123});
    f.view.newName = "Mine";
    f.logic.AddProfile(f.view.fields);
    EXPECT_EQ(f.view.fields.universe, "127.0.0.1:40123");
    f.logic.CloseBox(f.view.fields);
    ProfileStore saved;
    ASSERT_TRUE(saved.Read(f.path));
    ASSERT_NE(saved.Find("Mine"), nullptr);
    EXPECT_EQ(saved.Find("Mine")->universePort, 40123);
}

TEST(LoginDialogLogic, FirstProfileEnablesTheFields) {
    Fixture f("");
    f.view.newName = "First";
    f.logic.AddProfile(f.view.fields);
    EXPECT_TRUE(f.view.enabled);
    EXPECT_EQ(f.logic.LoadedIndex(), 0);
}

TEST(LoginDialogLogic, LoginAfterNoUsesTheEditsButWritesTheOldProfile) {
    Fixture f(kTwoProfiles);
    LoginFields edited = f.view.fields;
    edited.botName = "[Edited]";
    edited.coordinates = "Elsewhere 1.5S 2E -0.5a 270";
    f.logic.Edited();
    f.view.answers = {false};
    const LoginValues values = f.logic.Login(edited);
    EXPECT_EQ(values,
              (LoginValues{1234, "secret", "[Edited]", "Sunset", -1500, -2000, -500, 2700, "uni.example", 5670, {}}));
    EXPECT_EQ(ReadWholeFile(f.path), "Zeta:7:zpw:[Z]:z.example:5:zw:1N:\r\n"
                                     "alpha:1234:secret:[Bot]:uni.example:5670:Sunset:40N 50W 2a 180:\r\n");
    EXPECT_EQ(f.logic.Store().Count(), 0u) << "the list is emptied on leaving";
}

TEST(LoginDialogLogic, CloseBoxAsksAndWrites) {
    Fixture f(kTwoProfiles + std::string("zeta:1:duplicate:b:h:0:w:c:\r\n"));
    LoginFields edited = f.view.fields;
    edited.world = "Mars";
    f.logic.Edited();
    f.view.answers = {true};
    f.logic.CloseBox(edited);
    EXPECT_EQ(f.view.questions.size(), 1u);
    EXPECT_EQ(ReadWholeFile(f.path), "Zeta:7:zpw:[Z]:z.example:5:zw:1N:\r\n"
                                     "alpha:1234:secret:[Bot]:uni.example:5670:Mars:40N 50W 2a 180:\r\n");
}

TEST(LoginDialogLogic, AnUnreadableFileIsNotWrittenOver) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser can read any file";
    }
    TempDir dir;
    const std::string path = dir.File("profiles.txt");
    ASSERT_TRUE(WriteFileAtomically(path, kTwoProfiles, true).ok);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    ScriptedView view;
    LoginDialogLogic logic(view, path);
    logic.Open("gabbler");
    logic.CloseBox({});
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_NE(view.errors[0].find(path), std::string::npos) << view.errors[0];
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(ReadWholeFile(path), kTwoProfiles);
}

} // namespace
