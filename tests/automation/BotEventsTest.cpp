// What automation hears from the bot's handlers, and what it can do through the bot, against a real universe.

#include "RunningBot.h"
#include "app/SessionActions.h"

#include <algorithm>
#include <vector>

namespace {

class BotEventsTest : public RunningBot {
protected:
    void StartListening() {
        Start(
            [this](Bot &bot) { bot.GetAutomation().AddListener([this](const BotEvent &e) { heard_.push_back(e); }); });
    }

    const BotEvent *Heard(BotEventType type) const {
        const auto found =
            std::find_if(heard_.begin(), heard_.end(), [type](const BotEvent &e) { return e.type == type; });
        return found == heard_.end() ? nullptr : &*found;
    }

    bool WaitFor(BotEventType type) {
        return PumpUntil([&] { return Heard(type) != nullptr; });
    }

    std::vector<BotEvent> heard_;
};

TEST_F(BotEventsTest, EachHandlerRaisesItsEventOnce) {
    StartListening();
    ASSERT_TRUE(WaitFor(BotEventType::WorldEntry)) << Pane();
    EXPECT_EQ(Heard(BotEventType::WorldEntry)->world, "Sunset");
    EXPECT_EQ(Heard(BotEventType::WorldEntry)->worldBuild, 39);

    const int alice = Arrive("Alice", 77);
    ASSERT_GT(alice, 0);
    ASSERT_TRUE(WaitFor(BotEventType::Arrival));
    const BotEvent arrival = *Heard(BotEventType::Arrival);
    EXPECT_EQ(arrival.name, "Alice");
    EXPECT_EQ(arrival.session, alice);
    EXPECT_EQ(arrival.citizen, 77);
    EXPECT_EQ(arrival.personClass, PersonClass::Citizen);
    EXPECT_TRUE(arrival.firstVisitToday);

    ASSERT_TRUE(server_->Say(alice, "hello bot"));
    ASSERT_TRUE(WaitFor(BotEventType::Chat));
    EXPECT_EQ(Heard(BotEventType::Chat)->text, "hello bot");
    ASSERT_TRUE(server_->Whisper(alice, BotSession(), "psst"));
    ASSERT_TRUE(WaitFor(BotEventType::Whisper));
    EXPECT_EQ(Heard(BotEventType::Whisper)->text, "psst");
    EXPECT_EQ(Heard(BotEventType::Whisper)->session, alice);
    ASSERT_TRUE(server_->Click(alice, BotSession()));
    ASSERT_TRUE(WaitFor(BotEventType::Click));
    EXPECT_EQ(Heard(BotEventType::Click)->name, "Alice");
    ASSERT_TRUE(server_->SendUrl(alice, BotSession(), "http://example.org/", ""));
    ASSERT_TRUE(WaitFor(BotEventType::Url));
    EXPECT_EQ(Heard(BotEventType::Url)->text, "http://example.org/");
    ASSERT_TRUE(server_->Leave(alice));
    ASSERT_TRUE(WaitFor(BotEventType::Departure));
    EXPECT_EQ(Heard(BotEventType::Departure)->session, alice);

    // Back the same day: not a first visit. A visitor and a bot are told apart by their names.
    heard_.clear();
    ASSERT_GT(Arrive("Alice", 77), 0);
    ASSERT_GT(Arrive("\"Tourist\""), 0);
    ASSERT_GT(Arrive("[Helper]"), 0);
    ASSERT_TRUE(PumpUntil([&] {
        return std::count_if(heard_.begin(), heard_.end(),
                             [](const BotEvent &e) { return e.type == BotEventType::Arrival; }) == 3;
    }));
    EXPECT_FALSE(heard_[0].firstVisitToday);
    EXPECT_EQ(heard_[1].personClass, PersonClass::Visitor);
    EXPECT_EQ(heard_[2].personClass, PersonClass::Bot);
    for (const BotEvent &e : heard_) {
        EXPECT_NE(e.type, BotEventType::Chat) << "no handler raises twice, nothing else was said";
    }

    server_->DropConnections();
    ASSERT_TRUE(WaitFor(BotEventType::ConnectionLost));
    EXPECT_EQ(Heard(BotEventType::ConnectionLost)->reason, 471);
}

TEST_F(BotEventsTest, ActionsGoOutAsTheWindowsCommandsDoAndWithTheirRights) {
    StartListening();
    const int alice = Arrive("Alice", 77);
    ASSERT_TRUE(WaitFor(BotEventType::Arrival));
    BotActions &actions = bot_->GetAutomation().ActionsFor("rule Test");

    EXPECT_TRUE(actions.Say("Welcome!").Ok());
    EXPECT_TRUE(HasLine("[Tester]: Welcome!")) << Pane();
    EXPECT_TRUE(actions.Whisper(alice, "just for you").Ok());
    EXPECT_TRUE(HasLine("[Tester] (to Alice): just for you")) << Pane();
    ASSERT_TRUE(PumpUntil([&] {
        const auto inbox = server_->Inbox(alice);
        return !inbox.empty() && inbox.back().text == "just for you";
    }));
    EXPECT_EQ(actions.Whisper(alice + 1000, "nobody").code, 67);

    // Tester holds no rights in Sunset: what the window would not offer, automation cannot do.
    EXPECT_EQ(actions.Eject(alice, 5).code, kActionNoRight);
    EXPECT_EQ(actions.ConsoleMessage(0, "hear ye").code, kActionNoRight);
    const std::vector<PresentPerson> present = actions.PeoplePresent();
    ASSERT_EQ(present.size(), 1u);
    EXPECT_EQ(present[0].name, "Alice");
    ASSERT_TRUE(actions.FindPerson("alice").has_value());
    EXPECT_EQ(actions.FindPerson("alice")->session, alice);
    EXPECT_FALSE(actions.FindPerson("Bob").has_value());
    EXPECT_EQ(actions.World(), "Sunset");
    EXPECT_EQ(actions.WorldBuild(), 39);
    actions.Notice("a note");
    EXPECT_TRUE(HasLine("a note"));
}

TEST_F(BotEventsTest, WithTheRightsAnEjectionGoesOut) {
    ASSERT_TRUE(server_->SetWorld("Sunset", "caretakers", "1234"));
    StartListening();
    const int bob = Arrive("Bob", 78);
    ASSERT_TRUE(WaitFor(BotEventType::Arrival));
    ASSERT_TRUE(PumpUntil([] { return SdkGetBool(kAttrWorldCaretaker); })) << Pane();
    BotActions &actions = bot_->GetAutomation().ActionsFor("rule Order");
    EXPECT_TRUE(actions.ConsoleMessage(bob, "calm down").Ok());
    const ActionResult ejected = actions.Eject(bob, 5);
    EXPECT_TRUE(ejected.Ok()) << ejected.message;
    ASSERT_TRUE(PumpUntil([&] { return server_->PeopleIn("Sunset").size() == 1; })); // the bot alone
}

} // namespace
