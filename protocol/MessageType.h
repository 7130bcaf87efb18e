#pragma once

#include <cstdint>

// Every message type of the wire format, in one append-only list: never renumber or reuse a value, so that peers of
// different ages still understand each other's handshake.
enum class MessageType : std::uint16_t {
    // Framing and session control.
    Hello = 1,      // client -> server, first frame; code = protocol version
    HelloReply = 2, // server -> client; code 0 or 454, fields kFieldIdleTimeoutMs, kFieldServerName
    Reply = 3,      // server -> client; id = the request's id, code = result, attributes of the answer
    Event = 4,      // server -> client; id 0, code = event number, attributes of the event
    Close = 5,      // either way, last frame before closing; code = reason
    Ping = 6,       // client -> server, keeps an idle connection alive; answered by Pong only when both asked
    Pong = 7,       // server -> client, id = the Ping's id; sent only to a client whose Hello set kFieldHeartbeat

    // Requests, client -> server; each answered by one Reply with the same id.
    Login = 16,
    Enter = 17,
    Exit = 18,
    StateChange = 19,
    Say = 20,
    Whisper = 21,
    ConsoleMessage = 22,
    WorldList = 23,
    CitizenByNumber = 24,
    CitizenByName = 25,
    AvatarClick = 26,
    UrlSend = 27,
    AddressRequest = 28,
    Teleport = 29,
    WorldEject = 30,
    WorldAttributesChange = 31,
    UniverseAttributesChange = 32,
    WorldEjectionAdd = 33,
    WorldEjectionDelete = 34,
    WorldEjectionLookup = 35,
    WorldEjectionNext = 36,
    WorldEjectionPrevious = 37,
    UniverseEjectionAdd = 38,
    UniverseEjectionDelete = 39,
    UniverseEjectionLookup = 40,
    UniverseEjectionNext = 41,
    UniverseEjectionPrevious = 42,
    ObjectAdd = 43,
    ObjectLoad = 44,
};

constexpr std::uint16_t kFirstRequestType = 16;
constexpr std::uint16_t kLastRequestType = 44;

constexpr bool IsRequestType(std::uint16_t type) { return type >= kFirstRequestType && type <= kLastRequestType; }

// Version of the frame contents. The frame layout itself never changes, so any peer can read a Hello and answer
// 454 "version mismatch".
constexpr std::int32_t kProtocolVersion = 1;

// Fields that are not SDK attributes: operation arguments and server information. They live above the SDK's
// attribute numbers so both can share one frame.
constexpr std::uint16_t kFieldSession = 1000;       // I the session an operation is about
constexpr std::uint16_t kFieldText = 1001;          // S say or whisper text
constexpr std::uint16_t kFieldWorld = 1002;         // S world to enter
constexpr std::uint16_t kFieldNumber = 1003;        // I citizen number to look up, address to delete
constexpr std::uint16_t kFieldName = 1004;          // S citizen name to look up
constexpr std::uint16_t kFieldUrl = 1005;           // S URL to send
constexpr std::uint16_t kFieldTarget = 1006;        // S URL target frame
constexpr std::uint16_t kFieldIdleTimeoutMs = 1010; // I the server closes connections silent for this long
constexpr std::uint16_t kFieldServerName = 1011;    // S the server's name and version, for logs
constexpr std::uint16_t kFieldMySession = 1012;     // I the bot's own session (login reply)
// I 1 in a Hello: this client wants its Pings answered. 1 in the HelloReply: this server answers them, so the
// client may take a long silence for a dead line. A peer that predates it ignores the field, and then neither side
// sends or expects a Pong, so old and new peers still talk with the same protocol version.
constexpr std::uint16_t kFieldHeartbeat = 1013;
// I in a Login: a number that tells this machine and user from others (see sdk/ComputerId.h), which computer-id
// ejections match. A peer that predates it sends none, and the server then takes the login for one without an id.
constexpr std::uint16_t kFieldComputerId = 1014;
// I in a Login to a headless bot: the window last attached to it then (seconds since 1970), and wants to see the
// lines the bot showed since. A universe ignores it.
constexpr std::uint16_t kFieldSince = 1015;
