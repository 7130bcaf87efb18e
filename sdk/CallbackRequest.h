#pragma once

#include <functional>

// Requests whose answer comes through a callback handler: world entry, the world list, citizen and address
// look-ups, the ejection databases, object building. The SDK answers such a request through its handler only when
// it could send it; a request it refuses at once (no connection while it reconnects, a text too long) gets the
// refusal as its return value, and the handler never runs. So every such request is made here: the handler is
// installed, the request made, and a refusal is handed to the handler at once as the request's result. The
// request's own handler then says what happened, with its reason, exactly as for an answer that came later.

using CallbackHandlerFn = std::function<void(int result)>;
// Installs or, with an empty handler, removes the handler of a callback number (SdkSetCallbackHandler's shape).
using CallbackInstaller = std::function<int(int callback, CallbackHandlerFn handler)>;

// Returns the request's result: 0 when the answer is to come through the handler. A caller that pairs each answer
// with the request it made (a queue of requests in flight) gives refused, which then hears the refusal instead of
// the handler.
int RequestWithCallback(const CallbackInstaller &install, int callback, const CallbackHandlerFn &handler,
                        const std::function<int()> &request, const CallbackHandlerFn &refused = {});

// The same through the SDK's own handler table.
int SdkRequestWithCallback(int callback, const CallbackHandlerFn &handler, const std::function<int()> &request,
                           const CallbackHandlerFn &refused = {});
