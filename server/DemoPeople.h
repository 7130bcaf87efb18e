#pragma once

// The demo's simulated people: they arrive, walk, chat, whisper the bots, now and then ask one "<bot> owner" or
// "<bot> version", click them and leave. Driven by Tick from the server's timer; each tick does a handful of
// cheap actions, so hundreds of people cost little.

#include <map>
#include <random>
#include <string>
#include <vector>

class Universe;

class DemoPeople {
public:
    static constexpr int kTickMilliseconds = 250;
    // A world hears a question for its bots at most once in this many ticks (one to three minutes), so that they
    // stay a small part of its chat however many people it holds.
    static constexpr int kQuestionGapMinTicks = 60 * 1000 / kTickMilliseconds;
    static constexpr int kQuestionGapMaxTicks = 180 * 1000 / kTickMilliseconds;

    DemoPeople(Universe &universe, unsigned seed, int populationPercent = 100);
    void Tick();
    int Count() const { return static_cast<int>(people_.size()); }

private:
    struct Person {
        int session = 0;
        std::string world;
        int x = 0, z = 0, yaw = 0;
        int targetX = 0, targetZ = 0;
        int ticksToAct = 0;
        int ticksToLeave = 0;
        int floods = 0; // bursts of lines still to come: the demo's flood guard gets something to do
    };

    void Arrive(const std::string &world);
    void Act(Person &p);
    void Walk(Person &p);
    int Random(int low, int high); // inclusive
    std::string SomeBot(const std::string &world, int &session);
    bool Ask(Person &p, const char *question);

    Universe &universe_;
    std::mt19937 random_;
    int populationPercent_;
    int serial_ = 1;
    long long tick_ = 0;
    std::map<std::string, long long> nextQuestion_; // per world, the first tick a question may come
    std::vector<Person> people_;
};
