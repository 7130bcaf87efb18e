#include "server/DemoPeople.h"

#include "server/DemoContent.h"
#include "server/Universe.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// How many people each demo world keeps, before the population percentage.
int PopulationOf(const std::string &world) { return world == "Town" ? 12 : world == "Hideout" ? 0 : 4; }

const char *const kLines[] = {
    "Hello everyone!",
    "Nice weather in here today.",
    "Has anyone seen the new building by the fountain?",
    "brb",
    "I like this world.",
    "Who built that tower?",
    "lol",
    "Anyone up for a walk to the hills?",
    "Good evening!",
    "This is my first visit here.",
    "See you all later.",
    "Watch out, I'm flying!",
    // Questions the shipped example scripts answer.
    "!time",
    "!visits",
    // Questions the shipped example rules answer.
    "What are the rules here?",
    "When is the next event?",
};

// Now and then somebody floods the chat, twice in a row: the first burst earns a warning, the second an ejection.
constexpr int kFloodBursts = 2;
constexpr int kFloodBurstLines = 6;

const char *const kWhispers[] = {
    "Hi bot, are you listening?",
    "What does this bot do?",
    "Psst, nice to meet you.",
    "Can you tell me the way to the harbour?",
};

} // namespace

DemoPeople::DemoPeople(Universe &universe, unsigned seed, int populationPercent)
    : universe_(universe), random_(seed), populationPercent_(std::max(0, populationPercent)) {}

int DemoPeople::Random(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

void DemoPeople::Tick() {
    ++tick_;
    for (const DemoWorld &w : kDemoWorlds) {
        const int wanted = PopulationOf(w.name) * populationPercent_ / 100;
        const auto present =
            std::count_if(people_.begin(), people_.end(), [&](const Person &p) { return p.world == w.name; });
        // Arrivals trickle in instead of all coming at the first tick; a large shortfall fills faster.
        if (present < wanted && (Random(0, 7) == 0 || wanted - present > 16))
            Arrive(w.name);
    }
    for (std::size_t i = 0; i < people_.size();) {
        Person &p = people_[i];
        if (--p.ticksToLeave <= 0) {
            universe_.Leave(p.session);
            people_.erase(people_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (--p.ticksToAct <= 0) {
            Act(p);
            p.ticksToAct = Random(4, 12);
        }
        ++i;
    }
}

void DemoPeople::Arrive(const std::string &world) {
    PersonSpec spec;
    const int kind = Random(0, 9);
    // Citizens are the demo citizens from 100 on; never two of the same name at once.
    std::vector<const DemoCitizen *> free;
    for (const DemoCitizen &c : kDemoCitizens)
        if (c.number >= 100 && std::none_of(people_.begin(), people_.end(),
                                            [&](const Person &p) { return universe_.NameOf(p.session) == c.name; }))
            free.push_back(&c);
    if (kind < 7 && !free.empty()) {
        const DemoCitizen &c = *free[static_cast<std::size_t>(Random(0, static_cast<int>(free.size()) - 1))];
        spec.name = c.name;
        spec.citizen = c.number;
        spec.privilege = c.number;
        const int builds[] = {0, 360, 361, 455};
        spec.build = builds[Random(0, 3)];
    } else if (kind < 9) {
        spec.name = "\"Guest" + std::to_string(serial_++) + "\"";
        spec.build = 361;
    } else {
        spec.name = "[Helper" + std::to_string(serial_++) + "]";
        spec.privilege = 100 + Random(0, 11);
    }
    spec.type = Random(0, 20);
    spec.x = Random(-3000, 3000);
    spec.z = Random(-3000, 3000);
    spec.yaw = Random(0, 3599);
    const int session = universe_.AddPerson(world, spec);
    if (session <= 0)
        return;
    Person p;
    p.session = session;
    p.world = world;
    p.x = spec.x;
    p.z = spec.z;
    p.yaw = spec.yaw;
    p.targetX = Random(-6000, 6000);
    p.targetZ = Random(-6000, 6000);
    p.ticksToAct = Random(2, 12);
    p.ticksToLeave = Random(480, 1920); // two to eight minutes
    people_.push_back(p);
}

std::string DemoPeople::SomeBot(const std::string &world, int &session) {
    const std::vector<int> bots = universe_.BotsIn(world);
    if (bots.empty())
        return {};
    session = bots[static_cast<std::size_t>(Random(0, static_cast<int>(bots.size()) - 1))];
    std::string name = universe_.NameOf(session);
    // Others see bots as "[name]"; questions use the bare name.
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    return name;
}

void DemoPeople::Walk(Person &p) {
    const int dx = p.targetX - p.x;
    const int dz = p.targetZ - p.z;
    const double distance = std::sqrt(double(dx) * dx + double(dz) * dz);
    if (distance < 200) {
        p.targetX = Random(-6000, 6000);
        p.targetZ = Random(-6000, 6000);
        return;
    }
    const double step = std::min(distance, double(Random(100, 300)));
    p.x += static_cast<int>(dx / distance * step);
    p.z += static_cast<int>(dz / distance * step);
    // Facing, in tenths of a degree counted from north towards west (x grows westwards).
    double angle = std::atan2(double(dx), double(dz)) * 1800.0 / 3.14159265358979;
    if (angle < 0)
        angle += 3600;
    p.yaw = static_cast<int>(angle) % 3600;
    universe_.Move(p.session, p.x, 0, p.z, p.yaw);
}

void DemoPeople::Act(Person &p) {
    if (p.floods > 0) {
        --p.floods;
        for (int i = 0; i < kFloodBurstLines; ++i)
            universe_.Say(p.session, "Wheee! Look at me!");
        return;
    }
    const int roll = Random(0, 99);
    int bot = 0;
    if (roll == 99 && Random(0, 9) == 0) {
        p.floods = kFloodBursts;
        Walk(p);
    } else if (roll < 70) {
        Walk(p);
    } else if (roll < 82) {
        universe_.Say(p.session, kLines[Random(0, static_cast<int>(std::size(kLines)) - 1)]);
    } else if (roll < 88) {
        if (!SomeBot(p.world, bot).empty())
            universe_.Whisper(p.session, bot, kWhispers[Random(0, static_cast<int>(std::size(kWhispers)) - 1)]);
    } else if (roll < 95) {
        if (!Ask(p, roll < 92 ? "owner" : "version"))
            Walk(p);
    } else if (roll < 97) {
        if (!SomeBot(p.world, bot).empty())
            universe_.Click(p.session, bot);
    } else {
        universe_.ChangeType(p.session, Random(0, 20));
    }
}

bool DemoPeople::Ask(Person &p, const char *question) {
    long long &next = nextQuestion_[p.world];
    int bot = 0;
    const std::string name = tick_ >= next ? SomeBot(p.world, bot) : std::string();
    if (name.empty())
        return false;
    universe_.Say(p.session, name + " " + question);
    next = tick_ + Random(kQuestionGapMinTicks, kQuestionGapMaxTicks);
    return true;
}
