#pragma once

// The universe and its worlds: sessions, rights, who sees whom, chat, administration. Everything here runs on the
// server's one thread; connections hand it complete, valid frames and it writes whole frames back.

#include "protocol/Frame.h"
#include "server/Rights.h"
#include "server/Store.h"
#include "server/UniverseServer.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The universe's view of one client connection.
class ClientLink {
public:
    virtual ~ClientLink() = default;
    // Appends complete frames to the connection's output; never calls back into the universe.
    virtual void Send(const std::string &frames) = 0;
    // Sends a Close frame with the reason and closes once it is out; never calls back into the universe.
    virtual void Close(int reason) = 0;
    virtual std::uint32_t Address() const = 0; // IPv4, network byte order
};

class Universe {
public:
    Universe(Store &store, const ServerOptions &options);
    ~Universe();
    Universe(const Universe &) = delete;
    Universe &operator=(const Universe &) = delete;

    bool Load(std::string &error);

    // Connections.
    void Attach(ClientLink *link, int sdkBuild);
    void Detach(ClientLink *link);
    void Handle(ClientLink *link, const FrameReader &request);

    // Simulated people and reading the state; see UniverseServer for what each does.
    int AddPerson(const std::string &world, const PersonSpec &spec);
    bool Say(int session, const std::string &text);
    bool Whisper(int session, int toSession, const std::string &text);
    bool Move(int session, int x, int y, int z, int yaw);
    bool ChangeType(int session, int type);
    bool Click(int session, int clickedSession);
    bool SendUrl(int session, int toSession, const std::string &url, const std::string &target);
    int EnterWorld(int session, const std::string &world);
    bool Leave(int session);
    std::vector<PersonInfo> PeopleIn(const std::string &world) const;
    bool Person(int session, PersonInfo &info) const;
    std::vector<InboxEntry> Inbox(int session) const;
    bool SetWorld(const std::string &world, const std::string &field, const std::string &value);
    int AddWorld(const std::string &world, int build); // 0, or why not (see CheckNewWorldName)
    bool AddCitizen(int number, const std::string &name, const std::string &password, const std::string &homePage = {});
    std::vector<std::string> WorldNames() const;
    std::vector<int> BotsIn(const std::string &world) const; // sessions of connected bots, for the demo
    std::string NameOf(int session) const;

    void AdvanceClock(std::int64_t seconds) { clockOffset_ += seconds; }
    std::int64_t Now() const;

private:
    struct World;
    struct Session;
    struct Client;
    struct Reply;

    // Requests.
    int Login(Client &client, const FrameReader &r, Reply &reply);
    int Enter(Session &s, const FrameReader &r, Reply &reply);
    int StateChange(Session &s, const FrameReader &r);
    int SayRequest(Session &s, const FrameReader &r);
    int WhisperRequest(Session &s, const FrameReader &r);
    int ConsoleRequest(Session &s, const FrameReader &r);
    int WorldList(Client &client, Session &s, Reply &reply);
    int CitizenLookup(const FrameReader &r, bool byNumber, Reply &reply);
    int ClickRequest(Session &s, const FrameReader &r);
    int UrlRequest(Session &s, const FrameReader &r);
    int AddressRequest(Session &s, const FrameReader &r, Reply &reply);
    int TeleportRequest(Session &s, const FrameReader &r);
    int EjectRequest(Session &s, const FrameReader &r);
    int WorldAttributesChange(Session &s, const FrameReader &r);
    int UniverseAttributesChange(Session &s, const FrameReader &r, Reply &reply);
    int WorldEjection(Session &s, std::uint16_t type, const FrameReader &r, Reply &reply);
    int UniverseEjection(Session &s, std::uint16_t type, const FrameReader &r, Reply &reply);
    int ObjectRequest(Session &s, bool load, const FrameReader &r, Reply &reply);

    // Worlds and visibility.
    World *FindWorld(std::string_view name);
    const World *FindWorld(std::string_view name) const;
    Session *FindSession(int session);
    const Session *FindSession(int session) const;
    Session *FindInWorld(const Session &s, int other);
    int CheckEntry(const World &w, const Session &s);
    WorldRights RightsOf(const World &w, const Session &s) const;
    void Join(World &w, Session &s);
    void RemoveFromWorld(Session &s);
    // Tells everyone concerned that s came or moved, and tells s what it now sees; `fresh` when s has just joined.
    void Place(Session &s, bool fresh = false);
    // What an observer is to be told about a subject: an avatar event, or -1 for nothing; updates what it knows.
    int ViewChange(Session &observer, const Session &subject, bool moved);
    void EncodeAvatarEvent(std::string &out, int event, const Session &subject, bool moved) const;
    bool InRange(const Session &a, const Session &b) const;
    void SendEvent(Session &to, const std::string &frame);
    void AppendAvatar(FrameWriter &w, const Session &s, bool full) const;
    void AppendWorldAttributes(FrameWriter &out, const World &w, const Session &s) const;
    void SendWorldAttributes(Session &s);
    void Chat(Session &speaker, const std::string &text, int type);
    void DeliverWhisper(Session &from, Session &to, const std::string &text);
    void Note(Session &s, InboxEntry entry);
    void Disconnect(Session &s, int reason);
    void EndSession(int session);
    bool SaveWorld(World &w);
    bool IsWorldEjected(const World &w, const Session &s);
    bool IsUniverseEjected(std::uint32_t address);
    bool AdministersWorld(const World &w, const Session &s) const;
    void Log(const std::string &line) const;

    Store &store_;
    const ServerOptions &options_;
    std::vector<std::unique_ptr<World>> worlds_;
    std::unordered_map<int, std::unique_ptr<Session>> sessions_;
    std::unordered_map<ClientLink *, std::unique_ptr<Client>> clients_;
    AttrMap universe_;
    int nextSession_ = 1;
    // Scratch kept between calls so that fan-out reuses its buffers instead of allocating.
    std::string avatarFrames_[3];
    std::string ownFrame_;
    std::string chatFrame_;
    std::vector<Session *> nearby_;
    std::int64_t clockOffset_ = 0;
};

// Whether a new world may take this name: 0, or 24 empty, 406 not valid UTF-8 or holding control characters,
// 423 longer than the client lets anyone type (kMaxWorldNameLength). Worlds already in a store keep their names.
int CheckNewWorldName(std::string_view name);
std::size_t WorldNameLength(std::string_view name);

// Defaults every new world and the universe start with.
AttrMap DefaultWorldAttributes(const std::string &name);
AttrMap DefaultUniverseAttributes();
constexpr int kUniverseBuild = 120;
