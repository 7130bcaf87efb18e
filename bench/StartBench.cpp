// The program's start: `gabbler --demo` in a fresh home folder, from the process being started to the bot having
// entered its first world ("Bot started at" in the chat pane), when the program prints its own figure and quits.
// One untimed run first, so the disk is warm and the figure is the program's, not the disk's.

#include <benchmark/benchmark.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kGiveUp = std::chrono::seconds(60);

struct StartResult {
    std::optional<double> selfMs; // what the program printed
    double wallMs = 0;            // from spawning it to reading that line
    std::string error;
};

std::string FreshHome() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/gabbler-start-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        return {};
    }
    return pattern;
}

StartResult StartOnce() {
    StartResult result;
    const std::string home = FreshHome();
    if (home.empty()) {
        result.error = std::string("no temporary folder: ") + std::strerror(errno);
        return result;
    }
    int out[2];
    if (::pipe(out) != 0) {
        result.error = "no pipe";
        return result;
    }
    std::vector<std::string> args = {GABBLER_EXECUTABLE,  "--demo",  "--home", home,      "--citizen", "1",
                                     "--password",        "founder", "--bot",  "Gabbler", "--world",   "Town",
                                     "--quit-after-start"};
    std::vector<char *> argv;
    for (std::string &a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen"};
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0) {
            env.emplace_back(*e);
        }
    }
    std::vector<char *> envp;
    for (std::string &e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        result.error = std::string("cannot start ") + GABBLER_EXECUTABLE + ": " + std::strerror(spawned);
        std::filesystem::remove_all(home);
        return result;
    }

    std::string text;
    bool closed = false;
    while (!result.selfMs && !closed) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(start + kGiveUp - Clock::now());
        if (left.count() <= 0) {
            result.error = "no start within a minute";
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[512];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            closed = true;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (const auto at = text.find("started in "); at != std::string::npos && text.find('\n', at) != text.npos) {
            result.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            result.selfMs = std::atof(text.c_str() + at + 11);
        }
    }
    if (!result.selfMs && result.error.empty()) {
        result.error = "the program ended without starting: " + text;
    }
    if (!result.error.empty()) {
        ::kill(pid, SIGKILL);
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::filesystem::remove_all(home);
    return result;
}

void BM_StartDemo(benchmark::State &state) {
    if (const StartResult warm = StartOnce(); !warm.error.empty()) {
        state.SkipWithError(warm.error.c_str());
        return;
    }
    double self = 0, wall = 0;
    for (auto _ : state) {
        const StartResult r = StartOnce();
        if (!r.error.empty()) {
            state.SkipWithError(r.error.c_str());
            return;
        }
        self += *r.selfMs;
        wall += r.wallMs;
        state.SetIterationTime(r.wallMs / 1000);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["self_ms"] = self / n;
    state.counters["wall_ms"] = wall / n;
}
BENCHMARK(BM_StartDemo)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
