#pragma once

// The universe server as a library: `gabbler-universe` runs one, and so do `gabbler --demo` and the tests, each on
// a background thread of their own process.
//
//     UniverseServer server(options);
//     if (!server.Start()) ... server.LastError() ...
//     int port = server.Port();          // the port actually bound (options.port 0 picks a free one)
//     ...
//     server.Stop();                     // closes every connection, waits for the thread, closes the store
//
// Start after Stop works again, on the same port and data folder: nothing confirmed is lost. With port 0 the first
// Start picks a free port and the later ones bind that same port again.
//
// The control functions below are for tests and for the demo: they act on the running server as a person in a
// world would, and they return only after the server has done it, so the events a bot should see are already on
// their way to it when the call returns. Call them from any thread except the server's own (never from inside a
// server callback); on a stopped server they do nothing and return 0, false or empty.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct ServerOptions {
    std::string host = "127.0.0.1";  // address to listen on
    int port = 5870;                 // 0 picks a free port
    std::string dataFolder;          // holds universe.db; empty keeps the store in memory (lost at Stop)
    bool demo = false;               // fill an empty store with the demo content and run the demo's people
    bool demoPeople = true;          // with demo: run the simulated people's scheduler
    unsigned demoSeed = 1;           // the simulated people's choices are repeatable for one seed
    int demoPopulationPercent = 100; // with demo: how many simulated people; 100 gives about thirty

    std::size_t maxConnections = 1000;             // further connections are closed at once
    std::size_t maxOutputBytes = 8 * 1024 * 1024;  // a reader slower than this backlog is disconnected
    std::chrono::milliseconds idleTimeout{120000}; // a connection silent this long is closed
    std::chrono::milliseconds helloTimeout{10000}; // the first frame must come within this
    int hearingRadius = 20000;                     // centimetres; chat and avatars beyond it are not seen
    std::size_t worldListBatch = 50;               // worlds per SdkWorldList answer
    int passwordIterations = 4096;                 // key stretching of new privilege passwords
    std::function<void(const std::string &)> log;  // one line per notable thing; none by default
};

// A simulated person as the server reports it.
struct PersonInfo {
    int session = 0;
    std::string name;  // as others see it: citizen name, "\"tourist\"" or "[bot]"
    std::string world; // empty when in no world
    int x = 0, y = 0, z = 0, yaw = 0, type = 0;
    int citizen = 0, privilege = 0, build = 0;
    std::uint32_t computerId = 0; // 0 none
    bool simulated = false;       // false for a bot connected through the SDK
    bool global = false;          // in global mode
    std::string lastSaid;         // the last text it said in public
};

// Something the server delivered to a simulated person.
struct InboxEntry {
    enum class Kind { Whisper, Console, Click, Url, Teleport, Eject } kind = Kind::Whisper;
    int fromSession = 0;
    std::string fromName;
    std::string text; // whisper or console text, URL, teleport target world
};

// Who a simulated person is when it arrives.
struct PersonSpec {
    std::string name;             // shown as given: "Alice", "\"Visitor\"" or "[Helper]"
    int citizen = 0;              // 0 for a tourist
    int privilege = 0;            // 0 for none; usually the citizen number
    int build = 0;                // browser build the world reports, 0 unknown
    int type = 0;                 // avatar model
    std::uint32_t address = 0;    // IPv4 in network byte order; 0 gives one of 10.x.y.z of its own
    std::uint32_t computerId = 0; // what a computer-id ejection matches; 0 none
    int x = 0, y = 0, z = 0, yaw = 0;
};

class UniverseServer {
public:
    explicit UniverseServer(ServerOptions options);
    ~UniverseServer(); // stops
    UniverseServer(const UniverseServer &) = delete;
    UniverseServer &operator=(const UniverseServer &) = delete;

    bool Start(); // false when the store or the listening socket fails; see LastError
    void Stop();  // harmless when repeated
    bool Running() const;
    int Port() const; // 0 when not running
    std::string LastError() const;

    // ---- Control: people ----------------------------------------------------------------------------------------
    // A simulated person enters `world`. Returns its session, or the refusal as a negative reason code (-27 no
    // such world, -465 full, -466 ejected, -467 not welcome, -84 a tourist while the universe allows none).
    int AddPerson(const std::string &world, const PersonSpec &person);
    bool Say(int session, const std::string &text); // public chat, heard within the radius
    bool Whisper(int session, int toSession, const std::string &text);
    bool Move(int session, int x, int y, int z, int yaw);
    bool ChangeType(int session, int type);
    bool Click(int session, int clickedSession);
    bool SendUrl(int session, int toSession, const std::string &url, const std::string &target);
    bool AskOwner(int session, const std::string &botName);   // says "<botName> owner"
    bool AskVersion(int session, const std::string &botName); // says "<botName> version"
    int EnterWorld(int session, const std::string &world);    // moves a simulated person; 0 or a reason code
    bool Leave(int session);                                  // leaves the world and the universe

    // ---- Control: reading what the server knows ---------------------------------------------------------------
    std::vector<PersonInfo> PeopleIn(const std::string &world);
    bool Person(int session, PersonInfo &info);
    std::vector<InboxEntry> Inbox(int session); // oldest first, the last 64 at most
    int ConnectionCount();

    // ---- Control: the universe ------------------------------------------------------------------------------------
    // Sets a world attribute by its SDK number as text ("1" / "0" for booleans), or the server-only fields
    // "caretakers", "build", "status", "max_users", "size", "expiration". Bots in the world get event 11.
    bool SetWorld(const std::string &world, const std::string &field, const std::string &value);
    // False when the name is taken or refused: empty, not valid UTF-8, holding control characters, or longer than
    // kMaxWorldNameLength (8) characters.
    bool AddWorld(const std::string &world, int build);
    bool AddCitizen(int number, const std::string &name, const std::string &password, const std::string &homePage = {});
    void AdvanceClock(std::chrono::seconds by); // the server's clock, for ejection expiry
    std::int64_t Now();                         // the server's clock, seconds since 1970
    // Drops every client connection at once (as a network failure would), keeping the server running.
    void DropConnections();

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};
