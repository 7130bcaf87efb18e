// gabbler-universe: the universe server, or an administration command on its store.

#include "server/CommandLine.h"
#include "server/UniverseServer.h"

#include <csignal>
#include <iostream>
#include <mutex>
#include <semaphore.h>
#include <sys/resource.h>

namespace {
sem_t stopSignal;
void OnSignal(int) { sem_post(&stopSignal); } // async-signal-safe

// Every connection is a descriptor: a server meant to hold thousands must not stop at the usual soft limit of 1024.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}
} // namespace

int main(int argc, char **argv) {
    const CommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.mode) {
    case CommandLine::Mode::Help:
        std::cout << kUniverseUsage;
        return 0;
    case CommandLine::Mode::Version:
        std::cout << "gabbler-universe " GABBLER_VERSION "\n";
        return 0;
    case CommandLine::Mode::Error:
        std::cerr << "gabbler-universe: " << command.error << "\n" << kUniverseUsage;
        return 2;
    case CommandLine::Mode::Admin:
        return RunAdminCommand(command, std::cout, std::cerr);
    case CommandLine::Mode::Serve:
        break;
    }

    std::signal(SIGPIPE, SIG_IGN);
    RaiseDescriptorLimit();
    sem_init(&stopSignal, 0, 0);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    ServerOptions options = command.options;
    static std::mutex logMutex;
    if (!command.quiet)
        options.log = [](const std::string &line) {
            std::lock_guard lock(logMutex);
            std::cerr << line << "\n";
        };
    UniverseServer server(options);
    if (!server.Start()) {
        std::cerr << "gabbler-universe: " << server.LastError() << "\n";
        return 1;
    }
    std::cout << "listening on " << options.host << ":" << server.Port() << std::endl;
    while (sem_wait(&stopSignal) != 0) {
    }
    server.Stop();
    return 0;
}
