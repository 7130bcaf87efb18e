#pragma once

// The servers under load, as child processes on loopback with a fresh folder each: the universe on its own store,
// and an IRC server with a configuration written for the run. Also what a process costs, read from /proc.

#include <string>
#include <sys/types.h>
#include <vector>

// Makes SIGINT and SIGTERM stop the server that is running before this program ends, so none is left behind.
void StopServerOnSignal();

// Raises this process's soft descriptor limit to the hard one; children inherit it. Returns the limit now.
long RaiseDescriptorLimit();

struct ServerProcess {
    pid_t pid = 0;
    int port = 0;
    std::string folder; // removed by Stop
    std::string error;

    ServerProcess() = default;
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;
    ~ServerProcess() { Stop(); }
    void Stop();
};

struct UniverseSetup {
    std::string executable;
    std::vector<std::string> worlds;
    std::string password;
    int connections = 0;
    int radius = 200;
    int size = 2; // of each world, in 20-metre units
};

struct IrcSetup {
    std::string executable;
    int connections = 0;
};

bool StartUniverse(const UniverseSetup &setup, ServerProcess &server);
bool StartIrc(const IrcSetup &setup, ServerProcess &server);

struct ProcessUsage {
    double cpuSeconds = 0;  // user and system time so far
    double waitSeconds = 0; // time its threads were ready to run but waited for a core
    long rssKiB = 0;
};
bool ReadUsage(pid_t pid, ProcessUsage &usage);
double OwnCpuSeconds();
// Time all cores spent on soft interrupts so far: on loopback that is where a packet is received, on behalf of
// whichever process, and when a burst outruns it the kernel finishes it in a thread of its own, counted in neither.
double SoftirqSeconds();
