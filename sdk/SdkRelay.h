#pragma once

// Two additions of our own to the SDK, for a bot that serves other clients on its connection (a window attached to
// a headless bot): sending a request frame as a client made it and getting its answer back, and seeing every event
// the SDK delivers. Neither changes what the bot's own handlers see. Same thread rules as sdk/Sdk.h.

#include <cstddef>
#include <cstdint>
#include <functional>

// Called with a whole frame (see protocol/Frame.h) inside SdkWait, on the calling thread.
using SdkFrameHandler = std::function<void(const std::uint8_t *frame, std::size_t size)>;

// Every event frame SdkWait delivers, just before the event's handler runs (its attributes already applied), the
// SDK's own events included (13 with 471 when the connection is lost). An empty tap removes the one installed.
int SdkSetEventTap(SdkFrameHandler tap);

// Sends a request frame (any request type except Login) on the current connection in place of its own id, and
// hands the answer to `done` inside a later SdkWait: the Reply frame as the server sent it, its id the SDK's. The
// answer's attributes are not applied to the store. Returns 0 once sent; 439 while the connection is being
// restored, 505 for a frame that is not a valid request, 446 when the output is full. A request still unanswered
// when the connection drops is answered with a Reply carrying 471; one whose instance is destroyed, never.
int SdkRelayRequest(const std::uint8_t *frame, std::size_t size, SdkFrameHandler done);
