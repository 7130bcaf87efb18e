#pragma once

// The client SDK: one bot instance per process, a typed attribute store, and the platform's operations as free
// functions. Numbers (attributes, events, callbacks) are in sdk/Attributes.h; result codes are those of
// ReasonText (0 success).
//
// Rules every caller relies on:
// - Use it from one thread. Handlers run only inside SdkWait, on the thread that calls it, in arrival order.
//   Events that arrive during a blocking call are queued for the next SdkWait.
// - Attributes keep what was set until a call or an arriving event overwrites the attributes it carries.
// - A request whose callback number (the comment beside it) has a handler installed returns 0 at once and
//   reports later through that callback; without a handler it blocks until the server answers and returns the
//   result (402 after the request time-out). Requests without a callback number always block.
// - Connection lost: event 13 with 278 = 471, then the SDK reconnects with back-off, logs in again with the
//   stored login attributes and, unless SdkExit was called, enters the same world again (event 0 for the people,
//   then event 11). Requests made while it reconnects fail with 439; callbacks still pending report 471.
//   A server that stops answering (stopped, or gone without closing the line) counts as lost once it has been
//   silent for the heartbeat time-out, if its handshake said that it answers pings.
// - Other codes: 444 SdkInit missing, 445 no instance, 475 SdkWait called from a handler, 448 unknown attribute,
//   449 wrong kind, 450 string too long, 447 bad callback number, 505 bad event number or argument,
//   31 not logged in, 405 not in a world.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

using SdkEventHandler = std::function<void()>;
using SdkCallbackHandler = std::function<void(int result)>;

constexpr int kSdkBuild = 63;         // the only build SdkInit accepts
constexpr int kSdkDefaultPort = 5870; // SdkCreate with port 0 connects here; gabbler-universe's default

// ---- Instance and session ---------------------------------------------------------------------------------------
int SdkInit(int build); // 0, or 454 for another build; repeated calls are harmless
void SdkTerm();         // destroys the instance, the handlers and the attributes; harmless when repeated
int SdkCreate(std::string_view host, int port, int reserved); // resolves (500), connects (429), handshakes (454);
                                                              // replaces an existing instance
int SdkDestroy();                                             // harmless when repeated
int SdkLogin(); // sends 0, 2, 3, 6; 3 no such citizen, 43 wrong password; fills 8..25; event 9 follows
int SdkEnter(std::string_view world); // callback 2; sends 328; 27 no such world, 467 not welcome, 465 full,
                                      // 466 ejected; fills 44..107, the rights and 328
int SdkExit();                        // leaves the world, stays logged in
int SdkStateChange();                 // commits 198, 199, 200, 201, 203
int SdkWait(int milliseconds);        // delivers queued events and callbacks, waiting up to the time given for more
int SdkSession();                     // the bot's own session number, 0 before login

// ---- Attributes -------------------------------------------------------------------------------------------------
int SdkGetInt(int attribute);                            // 0 for unknown numbers and other kinds
bool SdkGetBool(int attribute);                          // false likewise
std::string SdkGetString(int attribute);                 // empty likewise
int SdkSetInt(int attribute, int value);                 // 0, 448, 449
int SdkSetBool(int attribute, bool value);               // 0, 448, 449
int SdkSetString(int attribute, std::string_view value); // 0, 448, 449, 450

// ---- Handlers (an empty handler removes the one installed) -----------------------------------------------------
int SdkSetEventHandler(int event, SdkEventHandler handler);
int SdkSetCallbackHandler(int callback, SdkCallbackHandler handler);

// ---- Chat and people --------------------------------------------------------------------------------------------
int SdkSay(std::string_view text);                  // chat type 0, or 1 for a public speaker; needs 77
int SdkWhisper(int session, std::string_view text); // world build above 16; 67 no such session
int SdkConsoleMessage(int session);                 // sends 329-334 to one session, or 0 = all; caretaker
int SdkWorldList();                                 // callback 9; events 12 in batches, 270 = more to come
int SdkCitizenByNumber(int number);                 // callback 6; fills 29, 30, 43; 3 no such citizen
int SdkCitizenByName(std::string_view name);        // callback 6; likewise, name without regard to case
int SdkAvatarClick(int session);                    // the clicked person gets event 20; world build 21
int SdkUrlSend(int session, std::string_view url, std::string_view target); // event 21 there; caretaker
int SdkAddressRequest(int session); // callback 17; fills 206, 216, 335; caretaker or eject

// ---- Administration ---------------------------------------------------------------------------------------------
int SdkTeleport(int session);      // sends 291-296; world build 23, caretaker or eject
int SdkWorldEject();               // sends 271, 272; eject right; 466 for the person, ejection stored
int SdkWorldAttributesChange();    // sends the writable world attributes 45..107; caretaker; event 11 to all
int SdkUniverseAttributesChange(); // sends 8-12, 21-25; citizen 1 only

int SdkWorldEjectionAdd();      // callback 19; sends 273, 274, 275, 277; caretaker, world build 23
int SdkWorldEjectionDelete();   // callback 19; sends 273, 274
int SdkWorldEjectionLookup();   // callback 18; sends 273, 274; fills 273-277; 66 no such ejection
int SdkWorldEjectionNext();     // callback 18; the record after (273, 274) of the same type
int SdkWorldEjectionPrevious(); // callback 18; the record before it

int SdkUniverseEjectionAdd();               // callback 16; sends 274, 275, 277; citizen 1 only
int SdkUniverseEjectionDelete(int address); // callback 16
int SdkUniverseEjectionLookup();            // callback 15; sends 274; fills 274-277
int SdkUniverseEjectionNext();              // callback 15
int SdkUniverseEjectionPrevious();          // callback 15

int SdkObjectAdd();  // callback 3; sends 232-235, 238-240, 248; build right; fills 248
int SdkObjectLoad(); // callback 3; also 244 owner and 246 timestamp; eminent domain, world build 21

// ---- Tuning, for tests and embedding ----------------------------------------------------------------------------
struct SdkTuning {
    std::chrono::milliseconds requestTimeout{15000};     // a blocking request gives up with 402
    std::chrono::milliseconds connectTimeout{10000};     // SdkCreate gives up with 429
    std::chrono::milliseconds reconnectFirstDelay{1000}; // back-off after a lost connection, doubling ...
    std::chrono::milliseconds reconnectMaxDelay{30000};  // ... up to this; each wait is 50-100 % of the delay,
                                                         // and a connection must hold this long to start afresh
    std::chrono::milliseconds heartbeatTimeout{30000};   // a server that answers pings and sends no frame this
                                                         // long is taken as lost (471); it is pinged after a
                                                         // third of it; 0 turns the heartbeat off
    std::size_t maxDeliveriesPerWait = 20000;            // events and callbacks one SdkWait delivers at most
    std::size_t maxQueuedBytes = 16 * 1024 * 1024;       // undelivered data held before reading stops
    std::uint32_t computerId = 0;                        // sent at login in place of this machine's own
                                                         // (sdk/ComputerId.h) when not 0
    std::int32_t backlogSince = 0;                       // sent at login when not 0: a headless bot then replays
                                                         // the lines it showed since (seconds since 1970)
    // Set: the connections speak TLS and accept the server whose certificate fingerprint (crypto/Fingerprint.h)
    // this accepts; SdkCreate answers 429 for a refused one.
    std::function<bool(const std::string &fingerprint)> tlsCheck;
};
void SdkSetTuning(const SdkTuning &tuning); // takes effect for the next requests and connections
SdkTuning SdkGetTuning();
