#include "server/Store.h"

#include "db/Statement.h"
#include "sdk/Attributes.h"

#include <sqlite3.h>

namespace {

// Values read back from a hand-edited file are clamped to what an attribute can hold.
std::int32_t ToInt32(std::int64_t v) {
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

AttrValue ReadValue(int number, const Statement &s, int column) {
    switch (KindOfAttribute(number)) {
    case AttributeKind::Bool:
        return s.Int(column) != 0;
    case AttributeKind::String:
        return s.Text(column);
    default:
        return ToInt32(s.Int(column));
    }
}

void BindValue(Statement &s, int i, const AttrValue &v) {
    if (const auto *n = std::get_if<std::int32_t>(&v))
        s.Bind(i, *n);
    else if (const auto *b = std::get_if<bool>(&v))
        s.Bind(i, *b ? 1 : 0);
    else
        s.Bind(i, std::get<std::string>(v));
}

EjectionRecord ReadEjection(const Statement &s) {
    EjectionRecord e;
    e.type = static_cast<int>(s.Int(0));
    e.value = ToInt32(s.Int(1));
    e.expiration = s.Int(2);
    e.creation = s.Int(3);
    e.comment = s.Text(4);
    return e;
}

constexpr const char *kSchema = R"(
CREATE TABLE IF NOT EXISTS citizens(
    number INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    password_hash TEXT NOT NULL,
    home_page TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS worlds(
    name TEXT PRIMARY KEY COLLATE NOCASE,
    build INTEGER NOT NULL,
    status INTEGER NOT NULL,
    caretakers TEXT NOT NULL DEFAULT '',
    max_users INTEGER NOT NULL,
    size INTEGER NOT NULL,
    expiration INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS world_attributes(
    world TEXT NOT NULL COLLATE NOCASE REFERENCES worlds(name) ON DELETE CASCADE,
    number INTEGER NOT NULL,
    value,
    PRIMARY KEY(world, number));
CREATE TABLE IF NOT EXISTS universe_attributes(
    number INTEGER PRIMARY KEY,
    value);
CREATE TABLE IF NOT EXISTS world_ejections(
    world TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    value INTEGER NOT NULL,
    sort_key INTEGER NOT NULL,
    expiration INTEGER NOT NULL,
    creation INTEGER NOT NULL,
    comment TEXT NOT NULL DEFAULT '',
    PRIMARY KEY(world, type, value));
CREATE INDEX IF NOT EXISTS world_ejections_order ON world_ejections(world, type, sort_key);
CREATE TABLE IF NOT EXISTS universe_ejections(
    address INTEGER PRIMARY KEY,
    sort_key INTEGER NOT NULL,
    expiration INTEGER NOT NULL,
    creation INTEGER NOT NULL,
    comment TEXT NOT NULL DEFAULT '');
CREATE INDEX IF NOT EXISTS universe_ejections_order ON universe_ejections(sort_key);
CREATE TABLE IF NOT EXISTS objects(
    number INTEGER PRIMARY KEY AUTOINCREMENT,
    world TEXT NOT NULL COLLATE NOCASE,
    x INTEGER NOT NULL, y INTEGER NOT NULL, z INTEGER NOT NULL, yaw INTEGER NOT NULL,
    model TEXT NOT NULL, description TEXT NOT NULL, action TEXT NOT NULL,
    owner INTEGER NOT NULL,
    timestamp INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS objects_world ON objects(world);
)";

} // namespace

Store::~Store() { Close(); }

bool Store::Fail(const char *what) {
    db_.Fail(what);
    error_ = db_.LastError();
    return false;
}

bool Store::Exec(const char *sql) {
    if (!db_.Exec(sql)) {
        error_ = db_.LastError();
        return false;
    }
    return true;
}

bool Store::Open(const std::string &path, std::string &error) {
    Close();
    const std::string name = path.empty() ? ":memory:" : path;
    if (db_.Open(path) != SQLITE_OK) {
        error = db_.LastError();
        Close();
        return false;
    }
    int version = -1;
    {
        Statement s(db_, "PRAGMA user_version");
        if (s.Step() == SQLITE_ROW)
            version = static_cast<int>(s.Int(0));
    }
    if (version < 0) {
        error = name + " is not a universe store: " + sqlite3_errmsg(db_.Handle());
        Close();
        return false;
    }
    if (version > kSchemaVersion) {
        error = name + " was written by a newer server (schema " + std::to_string(version) + ")";
        Close();
        return false;
    }
    // WAL keeps readers and the writer apart and survives a crash at any point; synchronous=NORMAL is durable
    // across process crashes, which is what a confirmed change needs here.
    if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;") || !Exec(kSchema) ||
        !Exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str())) {
        error = name + ": " + error_;
        Close();
        return false;
    }
    return true;
}

void Store::Close() { db_.Close(); }

bool Store::IsEmpty() {
    Statement s(db_, "SELECT (SELECT COUNT(*) FROM citizens) + (SELECT COUNT(*) FROM worlds)");
    return s.Step() == SQLITE_ROW && s.Int(0) == 0;
}

bool Store::AddCitizen(const CitizenRecord &c) {
    Statement s(db_, "INSERT INTO citizens(number, name, password_hash, home_page) VALUES(?, ?, ?, ?)");
    s.Bind(1, c.number).Bind(2, c.name).Bind(3, c.passwordHash).Bind(4, c.homePage);
    return s.Run() || Fail("adding a citizen");
}

bool Store::UpdateCitizen(const CitizenRecord &c) {
    Statement s(db_, "UPDATE citizens SET name = ?, password_hash = ?, home_page = ? WHERE number = ?");
    s.Bind(1, c.name).Bind(2, c.passwordHash).Bind(3, c.homePage).Bind(4, c.number);
    return (s.Run() && db_.Changes() == 1) || Fail("changing a citizen");
}

namespace {
CitizenRecord ReadCitizen(const Statement &s) {
    CitizenRecord c;
    c.number = ToInt32(s.Int(0));
    c.name = s.Text(1);
    c.passwordHash = s.Text(2);
    c.homePage = s.Text(3);
    return c;
}
} // namespace

std::optional<CitizenRecord> Store::CitizenByNumber(int number) {
    Statement s(db_, "SELECT number, name, password_hash, home_page FROM citizens WHERE number = ?");
    s.Bind(1, number);
    if (s.Step() == SQLITE_ROW)
        return ReadCitizen(s);
    return std::nullopt;
}

std::optional<CitizenRecord> Store::CitizenByName(std::string_view name) {
    Statement s(db_, "SELECT number, name, password_hash, home_page FROM citizens WHERE name = ? COLLATE NOCASE");
    s.Bind(1, name);
    if (s.Step() == SQLITE_ROW)
        return ReadCitizen(s);
    return std::nullopt;
}

std::vector<CitizenRecord> Store::Citizens() {
    std::vector<CitizenRecord> out;
    Statement s(db_, "SELECT number, name, password_hash, home_page FROM citizens ORDER BY number");
    while (s.Step() == SQLITE_ROW)
        out.push_back(ReadCitizen(s));
    return out;
}

bool Store::AddWorld(const WorldRecord &w) {
    {
        Statement s(db_, "INSERT INTO worlds(name, build, status, caretakers, max_users, size, expiration) "
                         "VALUES(?, ?, ?, ?, ?, ?, ?)");
        s.Bind(1, w.name).Bind(2, w.build).Bind(3, w.status).Bind(4, w.caretakers).Bind(5, w.maxUsers);
        s.Bind(6, w.size).Bind(7, w.expiration);
        if (!s.Run())
            return Fail("adding a world");
    }
    return SaveWorld(w);
}

bool Store::SaveWorld(const WorldRecord &w) {
    if (!Exec("BEGIN IMMEDIATE"))
        return false;
    bool ok = true;
    {
        Statement s(db_, "UPDATE worlds SET build = ?, status = ?, caretakers = ?, max_users = ?, size = ?, "
                         "expiration = ? WHERE name = ?");
        s.Bind(1, w.build).Bind(2, w.status).Bind(3, w.caretakers).Bind(4, w.maxUsers).Bind(5, w.size);
        s.Bind(6, w.expiration).Bind(7, w.name);
        ok = s.Run() && db_.Changes() == 1;
    }
    for (const auto &[number, value] : w.attributes) {
        if (!ok)
            break;
        Statement s(db_, "INSERT OR REPLACE INTO world_attributes(world, number, value) VALUES(?, ?, ?)");
        s.Bind(1, w.name).Bind(2, number);
        BindValue(s, 3, value);
        ok = s.Run();
    }
    if (!ok) {
        Fail("saving a world");
        Exec("ROLLBACK");
        return false;
    }
    return Exec("COMMIT");
}

bool Store::DeleteWorld(std::string_view name) {
    Statement s(db_, "DELETE FROM worlds WHERE name = ?");
    s.Bind(1, name);
    return (s.Run() && db_.Changes() == 1) || Fail("deleting a world");
}

std::vector<WorldRecord> Store::Worlds() {
    std::vector<WorldRecord> out;
    {
        Statement s(db_, "SELECT name, build, status, caretakers, max_users, size, expiration FROM worlds "
                         "ORDER BY name COLLATE NOCASE");
        while (s.Step() == SQLITE_ROW) {
            WorldRecord w;
            w.name = s.Text(0);
            w.build = ToInt32(s.Int(1));
            w.status = ToInt32(s.Int(2));
            w.caretakers = s.Text(3);
            w.maxUsers = ToInt32(s.Int(4));
            w.size = ToInt32(s.Int(5));
            w.expiration = s.Int(6);
            out.push_back(std::move(w));
        }
    }
    for (WorldRecord &w : out) {
        Statement s(db_, "SELECT number, value FROM world_attributes WHERE world = ?");
        s.Bind(1, w.name);
        while (s.Step() == SQLITE_ROW) {
            const int number = static_cast<int>(s.Int(0));
            if (KindOfAttribute(number) != AttributeKind::None)
                w.attributes[number] = ReadValue(number, s, 1);
        }
    }
    return out;
}

AttrMap Store::UniverseAttributes() {
    AttrMap out;
    Statement s(db_, "SELECT number, value FROM universe_attributes");
    while (s.Step() == SQLITE_ROW) {
        const int number = static_cast<int>(s.Int(0));
        if (KindOfAttribute(number) != AttributeKind::None)
            out[number] = ReadValue(number, s, 1);
    }
    return out;
}

bool Store::SaveUniverseAttributes(const AttrMap &attributes) {
    if (!Exec("BEGIN IMMEDIATE"))
        return false;
    for (const auto &[number, value] : attributes) {
        Statement s(db_, "INSERT OR REPLACE INTO universe_attributes(number, value) VALUES(?, ?)");
        s.Bind(1, number);
        BindValue(s, 2, value);
        if (!s.Run()) {
            Fail("saving universe attributes");
            Exec("ROLLBACK");
            return false;
        }
    }
    return Exec("COMMIT");
}

std::int64_t Store::SortKey(int type, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    if (type != 0)
        return u;
    // The value holds the address bytes in network order in memory; on this little-endian format the first
    // octet is the low byte. Swap so that the walk follows the dotted form.
    return ((u & 0xff) << 24) | ((u & 0xff00) << 8) | ((u >> 8) & 0xff00) | (u >> 24);
}

bool Store::PutWorldEjection(std::string_view world, const EjectionRecord &e) {
    Statement s(db_, "INSERT OR REPLACE INTO world_ejections(world, type, value, sort_key, expiration, creation, "
                     "comment) VALUES(?, ?, ?, ?, ?, ?, ?)");
    s.Bind(1, world).Bind(2, e.type).Bind(3, e.value).Bind(4, SortKey(e.type, e.value)).Bind(5, e.expiration);
    s.Bind(6, e.creation).Bind(7, e.comment);
    return s.Run() || Fail("adding a world ejection");
}

bool Store::DeleteWorldEjection(std::string_view world, int type, std::int32_t value) {
    Statement s(db_, "DELETE FROM world_ejections WHERE world = ? AND type = ? AND value = ?");
    s.Bind(1, world).Bind(2, type).Bind(3, value);
    return s.Run() && db_.Changes() == 1;
}

std::optional<EjectionRecord> Store::FindWorldEjection(std::string_view world, int type, std::int32_t value) {
    Statement s(db_, "SELECT type, value, expiration, creation, comment FROM world_ejections "
                     "WHERE world = ? AND type = ? AND value = ?");
    s.Bind(1, world).Bind(2, type).Bind(3, value);
    if (s.Step() == SQLITE_ROW)
        return ReadEjection(s);
    return std::nullopt;
}

std::optional<EjectionRecord> Store::StepWorldEjection(std::string_view world, int type, std::int32_t value,
                                                       bool forward) {
    Statement s(db_, forward ? "SELECT type, value, expiration, creation, comment FROM world_ejections "
                               "WHERE world = ? AND type = ? AND sort_key > ? ORDER BY sort_key ASC LIMIT 1"
                             : "SELECT type, value, expiration, creation, comment FROM world_ejections "
                               "WHERE world = ? AND type = ? AND sort_key < ? ORDER BY sort_key DESC LIMIT 1");
    s.Bind(1, world).Bind(2, type).Bind(3, SortKey(type, value));
    if (s.Step() == SQLITE_ROW)
        return ReadEjection(s);
    return std::nullopt;
}

std::vector<EjectionRecord> Store::WorldEjections(std::string_view world) {
    Statement s(db_, "SELECT type, value, expiration, creation, comment FROM world_ejections WHERE world = ? "
                     "ORDER BY type, sort_key");
    s.Bind(1, world);
    std::vector<EjectionRecord> out;
    while (s.Step() == SQLITE_ROW)
        out.push_back(ReadEjection(s));
    return out;
}

bool Store::PutUniverseEjection(const EjectionRecord &e) {
    Statement s(db_, "INSERT OR REPLACE INTO universe_ejections(address, sort_key, expiration, creation, comment) "
                     "VALUES(?, ?, ?, ?, ?)");
    s.Bind(1, e.value).Bind(2, SortKey(0, e.value)).Bind(3, e.expiration).Bind(4, e.creation).Bind(5, e.comment);
    return s.Run() || Fail("adding a universe ejection");
}

bool Store::DeleteUniverseEjection(std::int32_t address) {
    Statement s(db_, "DELETE FROM universe_ejections WHERE address = ?");
    s.Bind(1, address);
    return s.Run() && db_.Changes() == 1;
}

std::optional<EjectionRecord> Store::FindUniverseEjection(std::int32_t address) {
    Statement s(db_, "SELECT 0, address, expiration, creation, comment FROM universe_ejections WHERE address = ?");
    s.Bind(1, address);
    if (s.Step() == SQLITE_ROW)
        return ReadEjection(s);
    return std::nullopt;
}

std::optional<EjectionRecord> Store::StepUniverseEjection(std::int32_t address, bool forward) {
    Statement s(db_, forward ? "SELECT 0, address, expiration, creation, comment FROM universe_ejections "
                               "WHERE sort_key > ? ORDER BY sort_key ASC LIMIT 1"
                             : "SELECT 0, address, expiration, creation, comment FROM universe_ejections "
                               "WHERE sort_key < ? ORDER BY sort_key DESC LIMIT 1");
    s.Bind(1, SortKey(0, address));
    if (s.Step() == SQLITE_ROW)
        return ReadEjection(s);
    return std::nullopt;
}

std::vector<EjectionRecord> Store::UniverseEjections() {
    Statement s(db_, "SELECT 0, address, expiration, creation, comment FROM universe_ejections ORDER BY sort_key");
    std::vector<EjectionRecord> out;
    while (s.Step() == SQLITE_ROW)
        out.push_back(ReadEjection(s));
    return out;
}

std::int64_t Store::AddObject(const ObjectRecord &o) {
    Statement s(db_, "INSERT INTO objects(world, x, y, z, yaw, model, description, action, owner, timestamp) "
                     "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    s.Bind(1, o.world).Bind(2, o.x).Bind(3, o.y).Bind(4, o.z).Bind(5, o.yaw).Bind(6, o.model).Bind(7, o.description);
    s.Bind(8, o.action).Bind(9, o.owner).Bind(10, o.timestamp);
    if (!s.Run()) {
        Fail("adding an object");
        return 0;
    }
    return db_.LastInsertRowid();
}

std::optional<ObjectRecord> Store::ObjectByNumber(std::int64_t number) {
    Statement s(db_, "SELECT number, world, x, y, z, yaw, model, description, action, owner, timestamp FROM objects "
                     "WHERE number = ?");
    s.Bind(1, number);
    if (s.Step() != SQLITE_ROW)
        return std::nullopt;
    ObjectRecord o;
    o.number = s.Int(0);
    o.world = s.Text(1);
    o.x = ToInt32(s.Int(2));
    o.y = ToInt32(s.Int(3));
    o.z = ToInt32(s.Int(4));
    o.yaw = ToInt32(s.Int(5));
    o.model = s.Text(6);
    o.description = s.Text(7);
    o.action = s.Text(8);
    o.owner = ToInt32(s.Int(9));
    o.timestamp = s.Int(10);
    return o;
}

int Store::CountObjects(std::string_view world) {
    Statement s(db_, "SELECT COUNT(*) FROM objects WHERE world = ?");
    s.Bind(1, world);
    return s.Step() == SQLITE_ROW ? ToInt32(s.Int(0)) : 0;
}
