#include "app/ui/DemoUniverse.h"

#include "common/AtomicFile.h"
#include "common/Decimal.h"
#include "login/ProfileStore.h"
#include "server/DemoContent.h"

namespace {

constexpr const char *kLoopback = "127.0.0.1";

int ReadPort(const std::string &path) {
    const auto text = ReadWholeFile(path);
    const int port = text ? ReadDecimal(*text) : 0;
    return port > 0 && port <= 65535 ? port : 0;
}

} // namespace

LoginProfile DemoLoginProfile(int port) {
    LoginProfile profile;
    profile.name = "Demo";
    profile.citizen = kDemoLoginCitizen;
    profile.privilegePassword = kDemoLoginPassword;
    profile.botName = kDemoBotName;
    profile.universeHost = kLoopback;
    profile.universePort = port;
    profile.world = kDemoStartWorld;
    profile.coordinates = "0n 0e";
    return profile;
}

DemoUniverse StartDemoUniverse(const std::string &demoFolder, ServerOptions options) {
    DemoUniverse demo;
    const std::string portFile = demoFolder + "/demo-port.txt";
    const std::string profiles = demoFolder + "/profiles.txt";
    const int previous = ReadPort(portFile);
    options.host = kLoopback;
    options.dataFolder = demoFolder + "/universe";
    options.demo = true;
    options.port = previous;
    demo.server = std::make_unique<UniverseServer>(options);
    if (!demo.server->Start() && previous != 0) {
        // Most likely another program took the port meanwhile: any free one will do.
        options.port = 0;
        demo.server = std::make_unique<UniverseServer>(options);
        demo.server->Start();
    }
    if (!demo.server->Running()) {
        demo.error = demo.server->LastError();
        demo.server.reset();
        return demo;
    }
    const int port = demo.server->Port();
    if (port != previous) {
        if (const FileResult kept = WriteFileAtomically(portFile, std::to_string(port) + "\n"); !kept.ok) {
            demo.notice = kept.error + " The demo universe may take another port at the next start.";
        }
        if (previous != 0) {
            const FileResult moved = MoveProfilesToPort(profiles, previous, port);
            demo.notice = moved.ok ? "The demo universe's port " + std::to_string(previous) +
                                         " was busy, so it now listens on " + std::to_string(port) +
                                         "; the profiles that named the old port were changed to the new one."
                                   : moved.error;
        }
    }
    if (const FileResult ensured = EnsureProfile(profiles, DemoLoginProfile(port)); !ensured.ok) {
        demo.notice += (demo.notice.empty() ? "" : " ") + ensured.error;
    }
    return demo;
}
