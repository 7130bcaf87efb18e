#include "chat/PeopleMenu.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace PeopleCommand;

std::vector<int> Offered(const PeopleMenuFacts &facts) {
    const PeopleMenuState state = PeopleMenuFor(facts);
    std::vector<int> offered;
    for (const PeopleMenuItem &item : kPeopleMenuItems) {
        if (state.Enabled(item.command)) {
            offered.push_back(item.command);
        }
    }
    return offered;
}

PeopleMenuFacts Facts(const char *name, int build, bool eject = false, bool caretaker = false,
                      std::optional<int> browserBuild = std::nullopt, bool muted = false, bool global = false) {
    PeopleMenuFacts facts;
    facts.name = name;
    facts.worldBuild = build;
    facts.eject = eject;
    facts.caretaker = caretaker;
    facts.browserBuild = browserBuild;
    facts.muted = muted;
    facts.globalMode = global;
    return facts;
}

TEST(PeopleMenu, ItemsInOrderWithTwoSeparators) {
    std::vector<std::string> shown;
    for (const PeopleMenuItem &item : kPeopleMenuItems) {
        shown.push_back(item.caption);
        if (item.separatorAfter) {
            shown.push_back("-");
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Eject...", "Get Cit Number", "Lookup IP", "Send URL", "Click User",
                                               "Get Version", "Get Home Page", "Teleport User", "-", "Mute", "Unmute",
                                               "-", "Copy Avatar", "Join Avatar", "Face Avatar"}));
}

TEST(PeopleMenu, EnablingTable) {
    // The last three are always offered; each case lists what comes before them.
    const std::vector<int> always = {CopyAvatar, JoinAvatar, FaceAvatar};
    struct Case {
        const char *what;
        PeopleMenuFacts facts;
        std::vector<int> offered;
    };
    const Case cases[] = {
        {"citizen, build 20, no rights", Facts("Alice", 20), {GetCitNumber, GetVersion, Mute}},
        {"citizen, build 21, no rights", Facts("Alice", 21), {GetCitNumber, ClickUser, GetVersion, Mute}},
        {"build 20 with both rights", Facts("Alice", 20, true, true), {Eject, GetCitNumber, GetVersion, Mute}},
        {"build 21, caretaker",
         Facts("Alice", 21, false, true),
         {GetCitNumber, LookupIp, SendUrl, ClickUser, GetVersion, Mute}},
        {"build 21, eject only",
         Facts("Alice", 21, true),
         {Eject, GetCitNumber, LookupIp, ClickUser, GetVersion, Mute}},
        {"build 22, caretaker",
         Facts("Alice", 22, false, true),
         {GetCitNumber, LookupIp, SendUrl, ClickUser, GetVersion, Mute}},
        {"build 23, caretaker",
         Facts("Alice", 23, false, true),
         {GetCitNumber, LookupIp, SendUrl, ClickUser, GetVersion, TeleportUser, Mute}},
        {"build 23, eject only",
         Facts("Alice", 23, true),
         {Eject, GetCitNumber, LookupIp, ClickUser, GetVersion, TeleportUser, Mute}},
        {"build 23, no rights", Facts("Alice", 23), {GetCitNumber, ClickUser, GetVersion, Mute}},
        {"bot, build 16: nothing can be whispered", Facts("[Helper]", 16), {Mute}},
        {"bot, build 17", Facts("[Helper]", 17), {GetVersion, Mute}},
        {"citizen, build 16: the answer is the roster's", Facts("Alice", 16), {GetCitNumber, GetVersion, Mute}},
        {"bot, build 27", Facts("[Helper]", 27), {ClickUser, GetVersion, Mute}},
        {"bot, build 28", Facts("[Helper]", 28), {GetCitNumber, ClickUser, GetVersion, Mute}},
        {"bot in global mode",
         Facts("[Helper]", 40, false, false, std::nullopt, false, true),
         {GetCitNumber, ClickUser, Mute}},
        {"citizen in global mode",
         Facts("Alice", 40, false, false, std::nullopt, false, true),
         {GetCitNumber, ClickUser, GetVersion, Mute}},
        {"visitor, build 40, client 400", Facts("\"Visitor\"", 40, false, false, 400), {ClickUser, GetVersion, Mute}},
        {"citizen, client 360", Facts("Alice", 40, false, false, 360), {GetCitNumber, ClickUser, GetVersion, Mute}},
        {"citizen, client 361",
         Facts("Alice", 40, false, false, 361),
         {GetCitNumber, ClickUser, GetVersion, GetHomePage, Mute}},
        {"bot, client 361", Facts("[Helper]", 40, false, false, 361), {GetCitNumber, ClickUser, GetVersion, Mute}},
        {"citizen not in the roster", Facts("Alice", 40), {GetCitNumber, ClickUser, GetVersion, Mute}},
        {"muted citizen", Facts("Alice", 20, false, false, std::nullopt, true), {GetCitNumber, GetVersion, Unmute}},
    };
    for (const Case &c : cases) {
        std::vector<int> expected = c.offered;
        expected.insert(expected.end(), always.begin(), always.end());
        std::vector<int> inMenuOrder;
        for (const PeopleMenuItem &item : kPeopleMenuItems) {
            if (std::find(expected.begin(), expected.end(), item.command) != expected.end()) {
                inMenuOrder.push_back(item.command);
            }
        }
        EXPECT_EQ(Offered(c.facts), inMenuOrder) << c.what;
    }
    EXPECT_FALSE(PeopleMenuState{}.Enabled(12345)) << "an unknown command is never offered";
}

} // namespace
