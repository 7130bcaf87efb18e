#include "sdk/CallbackRequest.h"

#include "sdk/Sdk.h"

int RequestWithCallback(const CallbackInstaller &install, int callback, const CallbackHandlerFn &handler,
                        const std::function<int()> &request, const CallbackHandlerFn &refused) {
    install(callback, handler);
    const int result = request();
    if (result != 0) {
        if (const CallbackHandlerFn &told = refused ? refused : handler) {
            told(result);
        }
    }
    return result;
}

int SdkRequestWithCallback(int callback, const CallbackHandlerFn &handler, const std::function<int()> &request,
                           const CallbackHandlerFn &refused) {
    return RequestWithCallback(
        [](int number, CallbackHandlerFn h) { return SdkSetCallbackHandler(number, std::move(h)); }, callback, handler,
        request, refused);
}
