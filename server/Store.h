#pragma once

// The universe's persistent state in one SQLite file (universe.db), with a schema version. Every change is written
// through before the server confirms it, so a restart loses nothing that was confirmed. Used from one thread.

#include "db/Database.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

using AttrValue = std::variant<std::int32_t, bool, std::string>;
using AttrMap = std::map<int, AttrValue>;

struct CitizenRecord {
    int number = 0;
    std::string name;
    std::string passwordHash;
    std::string homePage;
};

struct WorldRecord {
    std::string name;
    int build = 63;
    int status = 1;         // 1 open, 2 private, 3 gone
    std::string caretakers; // a rights list: citizen numbers, "*" everyone
    int maxUsers = 100;
    int size = 64; // the world is 20 * size metres square
    std::int64_t expiration = 0;
    AttrMap attributes; // the world attributes by SDK number (45 .. 107, without the computed ones)
};

struct EjectionRecord {
    int type = 0;                // world: 0 address, 1 computer id, 2 citizen; universe: always 0
    std::int32_t value = 0;      // the key
    std::int64_t expiration = 0; // 0 never
    std::int64_t creation = 0;
    std::string comment;
};

struct ObjectRecord {
    std::int64_t number = 0;
    std::string world;
    int x = 0, y = 0, z = 0, yaw = 0;
    std::string model, description, action;
    int owner = 0;
    std::int64_t timestamp = 0;
};

class Store {
public:
    static constexpr int kSchemaVersion = 1;

    Store() = default;
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    // An empty path keeps everything in memory.
    bool Open(const std::string &path, std::string &error);
    void Close();
    bool IsOpen() const { return db_.IsOpen(); }
    const std::string &LastError() const { return error_; }
    bool IsEmpty(); // no citizen and no world

    bool AddCitizen(const CitizenRecord &citizen);
    bool UpdateCitizen(const CitizenRecord &citizen);
    std::optional<CitizenRecord> CitizenByNumber(int number);
    std::optional<CitizenRecord> CitizenByName(std::string_view name); // without regard to ASCII case
    std::vector<CitizenRecord> Citizens();

    bool AddWorld(const WorldRecord &world);
    bool SaveWorld(const WorldRecord &world); // the record and every attribute in it
    bool DeleteWorld(std::string_view name);
    std::vector<WorldRecord> Worlds();

    AttrMap UniverseAttributes();
    bool SaveUniverseAttributes(const AttrMap &attributes);

    bool PutWorldEjection(std::string_view world, const EjectionRecord &ejection);  // adds or replaces
    bool DeleteWorldEjection(std::string_view world, int type, std::int32_t value); // false when none
    std::optional<EjectionRecord> FindWorldEjection(std::string_view world, int type, std::int32_t value);
    // The record of the same type after (forward) or before the key, in key order.
    std::optional<EjectionRecord> StepWorldEjection(std::string_view world, int type, std::int32_t value, bool forward);

    std::vector<EjectionRecord> WorldEjections(std::string_view world); // by type, then in key order

    bool PutUniverseEjection(const EjectionRecord &ejection);
    bool DeleteUniverseEjection(std::int32_t address);
    std::optional<EjectionRecord> FindUniverseEjection(std::int32_t address);
    std::optional<EjectionRecord> StepUniverseEjection(std::int32_t address, bool forward);
    std::vector<EjectionRecord> UniverseEjections(); // in key order

    std::int64_t AddObject(const ObjectRecord &object); // its number, 0 on failure
    std::optional<ObjectRecord> ObjectByNumber(std::int64_t number);
    int CountObjects(std::string_view world);

    // The order Next and Previous walk in: addresses by their dotted form, numbers as unsigned values.
    static std::int64_t SortKey(int type, std::int32_t value);

private:
    bool Exec(const char *sql);
    bool Fail(const char *what);

    Database db_;
    std::string error_;
};
