// Who sees whom and who hears whom, checked against the plain rule: a bot knows every visible person of its world
// within the hearing radius (everyone in global mode), and hears every line said within it. Bots here are fake
// links on the universe itself, so thousands of steps run in a moment.

#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/ResultCodes.h"
#include "server/Store.h"
#include "server/Universe.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <random>
#include <set>

namespace {

constexpr int kRadius = 1000;

class FakeLink : public ClientLink {
public:
    void Send(const std::string &frames) override {
        std::size_t at = 0;
        while (at < frames.size()) {
            std::size_t size = 0;
            const auto *data = reinterpret_cast<const std::uint8_t *>(frames.data()) + at;
            ASSERT_EQ(CutFrame(data, frames.size() - at, size), CutResult::Frame);
            FrameReader r(data, size);
            at += size;
            if (r.Header().type == static_cast<std::uint16_t>(MessageType::Reply)) {
                lastCode = r.Header().code;
                if (std::int32_t mine = 0; r.FindInt(kFieldMySession, mine))
                    session = mine;
                continue;
            }
            std::int32_t who = 0;
            switch (r.Header().code) {
            case kEventAvatarAdd:
                r.FindInt(kAttrAvatarSession, who);
                EXPECT_TRUE(known.insert(who).second) << "added twice: " << who;
                added.push_back(who);
                break;
            case kEventAvatarChange:
                r.FindInt(kAttrAvatarSession, who);
                EXPECT_TRUE(known.count(who)) << "changed before added: " << who;
                break;
            case kEventAvatarDelete:
                r.FindInt(kAttrAvatarSession, who);
                EXPECT_TRUE(known.erase(who)) << "deleted unknown: " << who;
                break;
            case kEventChat:
                r.FindInt(kAttrChatSession, who);
                heard.push_back(who);
                break;
            default:
                break;
            }
        }
    }
    void Close(int) override {}
    std::uint32_t Address() const override { return 0x0100007f; }

    int session = 0;
    int lastCode = -1;
    std::set<int> known;
    std::vector<int> added;
    std::vector<int> heard;
};

bool InRange(const PersonInfo &a, const PersonInfo &b) {
    const std::int64_t dx = std::int64_t{a.x} - b.x, dz = std::int64_t{a.z} - b.z;
    if (std::max(std::abs(dx), std::abs(dz)) > kRadius)
        return false;
    return dx * dx + dz * dz <= std::int64_t{kRadius} * kRadius;
}

class VisibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        options_.hearingRadius = kRadius;
        options_.passwordIterations = 1;
        std::string error;
        ASSERT_TRUE(store_.Open("", error)) << error;
        universe_ = std::make_unique<Universe>(store_, options_);
        ASSERT_TRUE(universe_->Load(error)) << error;
        for (const char *w : {"alpha", "beta"}) {
            ASSERT_EQ(universe_->AddWorld(w, kBuildGlobalMode), 0);
            ASSERT_TRUE(universe_->SetWorld(w, "caretakers", "1"));
        }
    }

    void Request(FakeLink &link, MessageType type, const std::function<void(FrameWriter &)> &fill) {
        std::string frame;
        {
            FrameWriter w(frame, static_cast<std::uint16_t>(type), ++requestId_, 0);
            fill(w);
            ASSERT_TRUE(w.Finish());
        }
        universe_->Handle(&link, FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size()));
        ASSERT_EQ(link.lastCode, 0) << "request " << static_cast<int>(type);
    }

    // A bot logged in, in `world` at (x, z), visible to others. Citizen 1 may ask for global mode.
    FakeLink &Bot(const std::string &world, int x, int z, bool global = false) {
        const int citizen = global ? 1 : nextCitizen_++;
        if (!citizens_.count(citizen)) {
            EXPECT_TRUE(universe_->AddCitizen(citizen, "C" + std::to_string(citizen), "pw"));
            citizens_.insert(citizen);
        }
        auto link = std::make_unique<FakeLink>();
        universe_->Attach(link.get(), 100);
        Request(*link, MessageType::Login, [&](FrameWriter &w) {
            w.Int(kAttrLoginCitizen, citizen).String(kAttrLoginPassword, "pw").String(kAttrLoginName, "b");
        });
        Enter(*link, world, global);
        MoveBot(*link, x, z);
        bots_.push_back(std::move(link));
        return *bots_.back();
    }
    // Entering or leaving, a client forgets the people it knew, as the server no longer reports them.
    void Enter(FakeLink &b, const std::string &world, bool global = false) {
        b.known.clear();
        Request(b, MessageType::Enter,
                [&](FrameWriter &w) { w.String(kFieldWorld, world).Bool(kAttrEnterGlobal, global); });
    }
    void MoveBot(FakeLink &b, int x, int z) {
        Request(b, MessageType::StateChange, [&](FrameWriter &w) { w.Int(kAttrMyX, x).Int(kAttrMyZ, z); });
    }
    void SayBot(FakeLink &b, const std::string &text) {
        Request(b, MessageType::Say, [&](FrameWriter &w) { w.String(kFieldText, text); });
    }
    void LeaveBot(FakeLink &b) {
        Request(b, MessageType::Exit, [](FrameWriter &) {});
    }
    int Person(const std::string &world, int x, int z) {
        PersonSpec spec;
        spec.name = "P";
        spec.x = x;
        spec.z = z;
        return universe_->AddPerson(world, spec);
    }

    void DropBots() {
        for (const auto &b : bots_)
            universe_->Detach(b.get());
        bots_.clear();
    }
    void TearDown() override { DropBots(); }

    std::map<int, PersonInfo> Everyone() {
        std::map<int, PersonInfo> all;
        for (const char *w : {"alpha", "beta"})
            for (const PersonInfo &p : universe_->PeopleIn(w))
                all[p.session] = p;
        return all;
    }

    // Every bot knows exactly the people the plain rule gives it.
    void ExpectViewsMatch() {
        const auto all = Everyone();
        for (const auto &b : bots_) {
            std::set<int> expected;
            const auto me = all.find(b->session);
            if (me != all.end())
                for (const auto &[id, p] : all)
                    if (id != b->session && p.world == me->second.world &&
                        (me->second.global || InRange(me->second, p)))
                        expected.insert(id);
            EXPECT_EQ(b->known, expected) << "bot " << b->session;
        }
    }

    // Says a line and checks who heard it against the plain rule.
    void ExpectHeardAsThePlainRuleSays(int speaker, const std::function<void()> &say) {
        for (const auto &b : bots_)
            b->heard.clear();
        say();
        const auto all = Everyone();
        const PersonInfo &s = all.at(speaker);
        for (const auto &b : bots_) {
            const auto me = all.find(b->session);
            const bool hears = me != all.end() && b->session != speaker && me->second.world == s.world &&
                               (me->second.global || InRange(me->second, s));
            EXPECT_EQ(b->heard, hears ? std::vector<int>{speaker} : std::vector<int>{})
                << "bot " << b->session << " hearing " << speaker;
        }
    }

    ServerOptions options_;
    Store store_;
    std::unique_ptr<Universe> universe_;
    std::vector<std::unique_ptr<FakeLink>> bots_;
    std::set<int> citizens_;
    int nextCitizen_ = 2;
    std::uint32_t requestId_ = 0;
};

// Pairs at, just inside and just beyond the radius, on both sides of cell edges and at the ends of the coordinates.
TEST_F(VisibilityTest, ThePlainRuleHoldsAtEveryBoundary) {
    struct Case {
        int x1, z1, x2, z2;
        bool sees;
    };
    const Case cases[] = {
        {0, 0, kRadius, 0, true},
        {0, 0, kRadius + 1, 0, false},
        {0, 0, 0, -kRadius, true},
        {0, 0, 0, -kRadius - 1, false},
        {0, 0, 600, 800, true},
        {0, 0, 601, 800, false},
        {0, 0, 707, 707, true},
        {0, 0, 708, 708, false},
        {-1, 0, kRadius - 1, 0, true},
        {-1, 0, kRadius, 0, false},
        {-kRadius, 0, 0, 0, true},
        {-kRadius - 1, 0, 0, 0, false},
        {-1, -1, -kRadius - 1, -1, true},
        {1999, 1999, 999, 999, false},
        {1999, 1999, 1292, 1292, true},
        {2 * kRadius - 1, 0, 3 * kRadius - 1, 0, true},
        {INT_MIN, INT_MIN, INT_MIN + kRadius, INT_MIN, true},
        {INT_MAX, INT_MAX, INT_MAX - kRadius, INT_MAX, true},
        {INT_MAX, 0, INT_MAX - kRadius - 1, 0, false},
        {INT_MIN, 0, INT_MAX, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x1 << "," << c.z1 << " to " << c.x2 << "," << c.z2);
        DropBots();
        FakeLink &a = Bot("alpha", c.x1, c.z1);
        FakeLink &b = Bot("alpha", c.x2, c.z2);
        EXPECT_EQ(a.known.count(b.session), c.sees ? 1u : 0u);
        EXPECT_EQ(b.known.count(a.session), c.sees ? 1u : 0u);
        ExpectHeardAsThePlainRuleSays(a.session, [&] { SayBot(a, "hello"); });
        LeaveBot(a);
        EXPECT_TRUE(b.known.empty());
    }
}

TEST_F(VisibilityTest, MovesTeleportsWorldChangesAndReturnsKeepTheViewsRight) {
    FakeLink &watcher = Bot("alpha", 0, 0);
    FakeLink &walker = Bot("alpha", 500, 0);
    FakeLink &far = Bot("alpha", 5000, 5000);
    FakeLink &global = Bot("alpha", -90000, 0, true);
    const int person = Person("alpha", 0, 900);
    ExpectViewsMatch();
    // Across cell edges, step by step out of range and back.
    for (int x = 500; x <= 2600; x += 300) {
        MoveBot(walker, x, 0);
        ExpectViewsMatch();
    }
    for (int x = 2600; x >= -2600; x -= 700) {
        ASSERT_TRUE(universe_->Move(person, x, 0, x / 2, 0));
        ExpectViewsMatch();
    }
    // A jump far away and back, as a teleport within the world does.
    MoveBot(watcher, 5000, 5500);
    ExpectViewsMatch();
    MoveBot(watcher, 0, 0);
    ExpectViewsMatch();
    // To another world and back; leaving and entering again.
    Enter(walker, "beta");
    ExpectViewsMatch();
    MoveBot(walker, 0, 0);
    ExpectViewsMatch();
    ASSERT_EQ(universe_->EnterWorld(person, "beta"), 0);
    ExpectViewsMatch();
    Enter(walker, "alpha");
    MoveBot(walker, 10, 10);
    ExpectViewsMatch();
    LeaveBot(far);
    ExpectViewsMatch();
    Enter(far, "alpha");
    MoveBot(far, 20, 20);
    ExpectViewsMatch();
    ASSERT_TRUE(universe_->Leave(person));
    ExpectViewsMatch();
    EXPECT_EQ(global.known.size(), 3u);
}

// Someone entering is told about the people present in the order they came, as the plain walk tells them.
TEST_F(VisibilityTest, ThePeoplePresentArriveInTheOrderTheyCame) {
    std::mt19937 random(7);
    std::vector<int> order;
    for (int i = 0; i < 40; ++i) {
        std::uniform_int_distribution<int> at(-1500, 1500);
        order.push_back(i % 3 ? Bot("alpha", at(random), at(random)).session : Person("alpha", at(random), at(random)));
    }
    FakeLink &late = Bot("alpha", 0, 0);
    std::vector<int> expected;
    for (const PersonInfo &p : universe_->PeopleIn("alpha"))
        if (late.known.count(p.session))
            expected.push_back(p.session);
    EXPECT_EQ(late.added, expected);
}

TEST_F(VisibilityTest, RandomPlacesMovesAndLinesMatchThePlainRule) {
    std::mt19937 random(20);
    std::uniform_int_distribution<int> near(-3 * kRadius, 3 * kRadius);
    std::uniform_int_distribution<int> pick(0, 99);
    std::vector<int> people;
    for (int i = 0; i < 30; ++i)
        Bot(i % 5 ? "alpha" : "beta", near(random), near(random), i == 7);
    for (int i = 0; i < 15; ++i)
        people.push_back(Person(i % 4 ? "alpha" : "beta", near(random), near(random)));
    ExpectViewsMatch();
    for (int step = 0; step < 400; ++step) {
        const int what = pick(random);
        FakeLink &b = *bots_[static_cast<std::size_t>(pick(random)) % bots_.size()];
        const int p = people[static_cast<std::size_t>(pick(random)) % people.size()];
        if (what < 40) {
            // Mostly short steps, some long jumps.
            const int span = what < 30 ? 400 : 6 * kRadius;
            std::uniform_int_distribution<int> d(-span, span);
            MoveBot(b, std::clamp(d(random), -4 * kRadius, 4 * kRadius), d(random));
        } else if (what < 60) {
            universe_->Move(p, near(random), 0, near(random), 0);
        } else if (what < 85) {
            ExpectHeardAsThePlainRuleSays(b.session, [&] { SayBot(b, "line"); });
            ExpectHeardAsThePlainRuleSays(p, [&] { universe_->Say(p, "line"); });
        } else if (what < 95) {
            Enter(b, what % 2 ? "alpha" : "beta");
            MoveBot(b, near(random), near(random));
        } else {
            universe_->EnterWorld(p, what % 2 ? "alpha" : "beta");
        }
        ExpectViewsMatch();
        if (HasFailure())
            FAIL() << "at step " << step;
    }
}

} // namespace
