#pragma once

#include "login/LoginProfile.h"
#include "server/UniverseServer.h"

#include <memory>
#include <string>

// The demo universe that `gabbler --demo` runs inside the program. It keeps one port from run to run, so that every
// profile pointing at it still works at the next start: the port is kept in demo-port.txt of the demo's folder,
// and another one is taken only when that one is busy, and then every profile of the folder that named the old
// port on this machine is moved to the new one. The store is the universe folder inside the demo's folder.
struct DemoUniverse {
    std::unique_ptr<UniverseServer> server; // running, unless error says why not
    std::string error;
    std::string notice; // what was moved, when the old port was busy; a line for the chat pane
};

// options: everything but the port and the data folder, which are the demo's.
DemoUniverse StartDemoUniverse(const std::string &demoFolder, ServerOptions options);

// The ready-made "Demo" login profile of a demo universe on port.
LoginProfile DemoLoginProfile(int port);
