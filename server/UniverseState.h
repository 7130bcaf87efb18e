#pragma once

// What the universe keeps about worlds, sessions and connections; shared by the files that hold its request
// handlers.

#include "common/UnicodeCase.h"
#include "server/SessionSet.h"
#include "server/SpatialGrid.h"
#include "server/Universe.h"
#include "server/WorldAttributes.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

// Store values wider than an attribute go on the wire clamped, never wrapped.
inline std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

inline bool TextLength(std::string_view text, std::size_t limit) { return text.size() <= limit; }

inline bool ParseInt(std::string_view text, std::int64_t &value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// World names match in any letter case of any script, as the client's lists match them.
inline bool SameName(std::string_view a, std::string_view b) { return SameUnicodeName(a, b); }

struct Universe::World {
    explicit World(int hearingRadius) : grid(hearingRadius) {}
    WorldRecord record;
    std::vector<Session *> members;   // everyone in the world, in the order they came
    std::vector<Session *> observers; // of them, the connected bots, who receive events
    std::vector<Session *> globals;   // of those, the ones in global mode, who see and hear the whole world
    SpatialGrid<Session> grid;        // everyone by where they stand, in cells as wide as the hearing radius
    std::uint64_t joins = 0;
    int objectCount = 0;
};

struct Universe::Session {
    int id = 0;
    std::string name; // as shown to others
    int citizen = 0;
    int privilege = 0;
    int build = 0;
    std::uint32_t address = 0;
    std::uint32_t computerId = 0; // 0 none: an older client, or a machine without an id
    Client *client = nullptr;     // null for a simulated person
    World *world = nullptr;
    std::uint64_t joinOrder = 0; // orders the members of a world as they came
    GridCell gridCell;           // where the world's grid holds this session
    std::size_t gridSlot = 0;
    int x = 0, y = 0, z = 0, yaw = 0, type = 0;
    bool visible = false; // others see a bot only after its first state change
    bool global = false;
    WorldRights rights;
    SessionSet known; // sessions this observer has been told about
    std::string lastSaid;
    std::deque<InboxEntry> inbox;
};

struct Universe::Client {
    ClientLink *link = nullptr;
    int sdkBuild = 0;
    int session = 0;
    std::size_t worldListCursor = 0;
    // While a request of this client is handled, events for it wait here, so that they follow the reply.
    bool hold = false;
    std::string held;
};

struct Universe::Reply {
    std::vector<std::pair<int, AttrValue>> attributes;
    void Int(int n, std::int32_t v) { attributes.emplace_back(n, v); }
    void Bool(int n, bool v) { attributes.emplace_back(n, v); }
    void String(int n, std::string v) { attributes.emplace_back(n, std::move(v)); }
};
