// A small bot on the SDK: logs in, enters a world, prints what it hears for a while and leaves. With --welcome it
// also changes the world's welcome message, which needs a caretaker.
//
//     listen-bot --port 5870 --citizen 1 --password founder --world Town --seconds 10 [--welcome "Hi!"]

#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"
#include "sdk/Sdk.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Options {
    std::string host = "127.0.0.1";
    int port = 0;
    int citizen = 1;
    std::string password = "founder";
    std::string name = "Listener";
    std::string world = "Town";
    int seconds = 10;
    bool changeWelcome = false;
    std::string welcome;
};

bool Parse(int argc, char **argv, Options &o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            return false;
        const std::string v = argv[++i];
        if (a == "--host")
            o.host = v;
        else if (a == "--port")
            o.port = std::atoi(v.c_str());
        else if (a == "--citizen")
            o.citizen = std::atoi(v.c_str());
        else if (a == "--password")
            o.password = v;
        else if (a == "--name")
            o.name = v;
        else if (a == "--world")
            o.world = v;
        else if (a == "--seconds")
            o.seconds = std::atoi(v.c_str());
        else if (a == "--welcome") {
            o.changeWelcome = true;
            o.welcome = v;
        } else
            return false;
    }
    return true;
}

void Say(const char *what, const std::string &text) { std::printf("%-10s %s\n", what, text.c_str()); }

std::string Name() { return SdkGetString(kAttrAvatarName); }

void InstallHandlers() {
    SdkSetEventHandler(kEventAvatarAdd, [] { Say("arrived", Name()); });
    SdkSetEventHandler(kEventAvatarDelete, [] { Say("left", Name()); });
    SdkSetEventHandler(kEventChat, [] {
        const char *kinds[] = {"said", "SAID", "whispered"};
        const int type = SdkGetInt(kAttrChatType);
        Say(type >= 0 && type <= 2 ? kinds[type] : "chat", Name() + ": " + SdkGetString(kAttrChatMessage));
    });
    SdkSetEventHandler(kEventConsoleMessage, [] { Say("console", SdkGetString(kAttrConsoleMessage)); });
    SdkSetEventHandler(kEventAvatarClick, [] { Say("clicked", Name() + " clicked someone"); });
    SdkSetEventHandler(kEventUrl, [] { Say("url", Name() + " sent " + SdkGetString(kAttrUrl)); });
    SdkSetEventHandler(kEventWorldAttributes, [] {
        Say("world", SdkGetString(kAttrWorldName) + ": " + SdkGetString(kAttrWorldWelcomeMessage));
    });
    SdkSetEventHandler(kEventWorldDisconnect,
                       [] { Say("lost", "disconnected (" + ReasonText(SdkGetInt(kAttrDisconnectReason)) + ")"); });
}

int Fail(const char *step, int code) {
    std::fprintf(stderr, "listen-bot: %s failed: %s (%d)\n", step, ReasonText(code).c_str(), code);
    SdkTerm();
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: listen-bot [--host H] [--port P] [--citizen N] [--password PW] [--name BOT] "
                             "[--world W] [--seconds S] [--welcome TEXT]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    if (const int r = SdkInit(kSdkBuild))
        return Fail("SdkInit", r);
    InstallHandlers();
    if (const int r = SdkCreate(o.host, o.port, 0))
        return Fail("SdkCreate", r);
    SdkSetInt(kAttrLoginCitizen, o.citizen);
    SdkSetString(kAttrLoginPassword, o.password);
    SdkSetString(kAttrLoginName, o.name);
    SdkSetString(kAttrApplication, "listen-bot");
    if (const int r = SdkLogin())
        return Fail("SdkLogin", r);
    if (const int r = SdkEnter(o.world))
        return Fail("SdkEnter", r);
    Say("entered", SdkGetString(kAttrWorldName) + ", world build " + std::to_string(SdkGetInt(kAttrWorldBuildNumber)) +
                       (SdkGetBool(kAttrWorldCaretaker) ? ", caretaker" : ""));
    if (const int r = SdkStateChange())
        return Fail("SdkStateChange", r);

    if (o.changeWelcome) {
        SdkSetString(kAttrWorldWelcomeMessage, o.welcome);
        const int r = SdkWorldAttributesChange();
        Say("changed", r == 0 ? "welcome message set" : "refused: " + ReasonText(r));
    }

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(o.seconds);
    while (std::chrono::steady_clock::now() < end)
        SdkWait(100);
    SdkExit();
    SdkTerm();
    return 0;
}
