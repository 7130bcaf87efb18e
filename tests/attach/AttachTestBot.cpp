// A small headless bot for the attach tests, in a process of its own (the SDK holds one bot per process, and the
// test process holds the window): it logs in to the universe, enters a world, listens for windows and serves them
// with the attach hub. It remembers what it heard, as its backlog, and tells the test on standard output what its
// windows made it say ("own: TEXT"). It ends when its standard input closes.
//
//     attach_test_bot UNIVERSE_PORT WORLD PASSWORD_FILE [LISTEN_HOST]
//
// The first line it prints is "port N" (the port it listens on) or "error: WHY".

#include "attach/AttachAddress.h"
#include "attach/AttachHub.h"
#include "attach/AttachListener.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool InputClosed() {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    char c = 0;
    return ::read(STDIN_FILENO, &c, 1) <= 0;
}

int Fail(const std::string &why) {
    std::printf("error: %s\n", why.c_str());
    std::fflush(stdout);
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 4)
        return Fail("usage: attach_test_bot UNIVERSE_PORT WORLD PASSWORD_FILE [LISTEN_HOST]");
    const int universePort = std::atoi(argv[1]);
    const std::string world = argv[2];
    std::string password;
    std::getline(std::ifstream(argv[3]), password);
    const std::string listenHost = argc > 4 ? argv[4] : "127.0.0.1";
    std::string error;
    if (!CheckAttachListen(listenHost, false, error))
        return Fail(error);

    SdkInit(kSdkBuild);
    AttachListenerOptions listenOptions;
    listenOptions.host = listenHost;
    AttachListener listener(listenOptions);
    if (!listener.Start(error))
        return Fail(error);

    std::vector<PaneLine> heard;
    AttachHubOptions options;
    options.password = password;
    options.firstFailureDelay = std::chrono::milliseconds(200);
    options.log = [](const std::string &line) { std::fprintf(stderr, "attach: %s\n", line.c_str()); };
    options.ownLine = [](const PaneLine &line) {
        std::printf("own: %s\n", line.text.c_str());
        std::fflush(stdout);
    };
    options.enterWorld = [](const std::string &to) {
        const int r = SdkEnter(to);
        if (r == 0)
            SdkStateChange();
        return r;
    };
    options.backlog = [&heard](std::int64_t since) {
        std::vector<PaneLine> lines;
        for (const PaneLine &line : heard)
            if (line.time >= since)
                lines.push_back(line);
        return lines;
    };
    AttachHub hub(listener, options);

    SdkSetEventHandler(kEventChat, [&heard] {
        PaneLine line;
        line.text = SdkGetString(kAttrAvatarName) + ": " + SdkGetString(kAttrChatMessage);
        line.time = std::time(nullptr);
        line.timed = true;
        line.speaker = SdkGetString(kAttrAvatarName);
        heard.push_back(line);
    });
    if (const int r = SdkCreate("127.0.0.1", universePort, 0); r != 0)
        return Fail("create " + std::to_string(r));
    SdkSetInt(kAttrLoginCitizen, 1234);
    SdkSetString(kAttrLoginPassword, password);
    SdkSetString(kAttrLoginName, "Helper");
    SdkSetString(kAttrApplication, "attach test bot");
    if (const int r = SdkLogin(); r != 0)
        return Fail("login " + std::to_string(r));
    if (const int r = SdkEnter(world); r != 0)
        return Fail("enter " + std::to_string(r));
    SdkSetInt(kAttrMyX, 100);
    SdkSetInt(kAttrMyZ, 200);
    SdkStateChange();

    std::printf("port %d\n", listener.Port());
    std::fflush(stdout);
    while (!InputClosed()) {
        SdkWait(10);
        hub.Pump();
    }
    listener.Stop();
    SdkTerm();
    return 0;
}
