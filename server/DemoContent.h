#pragma once

// What `--demo` puts into an empty universe, and what a ready-made demo login profile needs to know about it.

#include "server/Store.h"
#include "server/UniverseServer.h"

#include <string>

struct DemoCitizen {
    int number;
    const char *name;
    const char *password; // privilege password
    const char *homePage;
};

// Citizen 1 is the universe's first citizen and a caretaker of every demo world; citizen 2 is an ordinary
// citizen with the build right in Town only. The others are the simulated people.
inline constexpr DemoCitizen kDemoCitizens[] = {
    {1, "Founder", "founder", "http://localhost/founder"},
    {2, "Tester", "tester", ""},
    {100, "Alice", "alice", "http://localhost/alice"},
    {101, "Bob", "bob", ""},
    {102, "Carol", "carol", "http://localhost/carol"},
    {103, "Dave", "dave", ""},
    {104, "Erin", "erin", ""},
    {105, "Frank", "frank", "http://localhost/frank"},
    {106, "Grace", "grace", ""},
    {107, "Heidi", "heidi", ""},
    {108, "Ivan", "ivan", ""},
    {109, "Judy", "judy", "http://localhost/judy"},
    {110, "Mallory", "mallory", ""},
    {111, "Oscar", "oscar", ""},
};

// The login a demo profile uses: citizen 1, so that every administration feature can be tried.
constexpr int kDemoLoginCitizen = 1;
constexpr const char *kDemoLoginPassword = "founder";
constexpr const char *kDemoBotName = "Gabbler";
constexpr const char *kDemoStartWorld = "Town";

struct DemoWorld {
    const char *name;
    int build;
    int status; // 1 open, 2 private
    const char *welcome;
};

// Builds on both sides of every threshold the client knows (16/17, 21, 23, 28, 38/39).
inline constexpr DemoWorld kDemoWorlds[] = {
    {"Town", 39, 1, "Welcome to Town, the demo universe's busiest world."},
    {"Atlantis", 38, 1, "Welcome to Atlantis: no global mode here."},
    {"Meadow", 27, 1, "Welcome to Meadow: ejection databases, but no world information."},
    {"Harbor", 22, 1, "Welcome to Harbor: clicks and URLs, but no teleports of others."},
    {"Lagoon", 17, 1, ""},
    {"Sunset", 16, 1, "Welcome to Sunset, an old world without whispers."},
    {"Hideout", 30, 2, "A private world for citizens 1 and 2."},
};

// Fills an empty store with the demo citizens and worlds. False, with the store's error, when a write fails.
bool FillDemoContent(Store &store, int passwordIterations, std::string &error);
