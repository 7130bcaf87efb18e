#pragma once

// The demo's simulated people: they arrive, walk, chat, whisper the bots, ask them "<bot> owner" and
// "<bot> version", click them and leave. Driven by Tick from the server's timer; each tick does a handful of
// cheap actions, so hundreds of people cost little.

#include <random>
#include <string>
#include <vector>

class Universe;

class DemoPeople {
public:
    static constexpr int kTickMilliseconds = 250;

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
    };

    void Arrive(const std::string &world);
    void Act(Person &p);
    void Walk(Person &p);
    int Random(int low, int high); // inclusive
    std::string SomeBot(const std::string &world, int &session);

    Universe &universe_;
    std::mt19937 random_;
    int populationPercent_;
    int serial_ = 1;
    std::vector<Person> people_;
};
