// The window's bot runs the data folder's scripts as the headless one does.

#include "RunningApp.h"
#include "common/AtomicFile.h"

#include <filesystem>

namespace {

class ScriptsWindow : public RunningApp {};

TEST_F(ScriptsWindow, AScriptInTheDataFolderAnswersThroughTheWindowsBot) {
    std::filesystem::create_directories(home_.File("scripts"));
    ASSERT_TRUE(WriteFileAtomically(home_.File("scripts/greet.lua"),
                                    "function on_arrival(e) bot.say('Hello, ' .. e.bare .. '!') end\n")
                    .ok);
    Start();
    PersonSpec alice;
    alice.name = "Alice";
    alice.citizen = 77;
    const int session = server_->AddPerson("Sunset", alice);
    ASSERT_GT(session, 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (const PersonInfo &person : server_->PeopleIn("Sunset")) {
                if (person.name == "[Tester]" && person.lastSaid == "Hello, Alice!") {
                    return true;
                }
            }
            return false;
        },
        5000));
}

} // namespace
