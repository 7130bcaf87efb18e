// The headless bot left running: `gabbler --headless` in the demo's busiest world (Town) at a high population, for ten
// minutes (GABBLER_SOAK_SECONDS changes it), its resident memory sampled every few seconds and printed as it goes.
// After the first minute it may grow only by what the chat pane's in-memory lines still had room for: the soak keeps
// ScrollbackLines small, so that room is spent early and whatever grows after is a leak.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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
constexpr int kScrollbackLines = 1000;
// Generous for one line in memory: its text, runs and index.
constexpr double kBytesPerLine = 512;
// What the allocator and SQLite's capped caches may still settle into after the first minute.
constexpr double kSlackMiB = 4;

// A child process whose standard output is read through a pipe.
class Child {
public:
    Child(std::vector<std::string> args, const std::vector<std::string> &dropEnv) {
        int out[2];
        if (::pipe(out) != 0) {
            error_ = "no pipe";
            return;
        }
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env;
        for (char **e = environ; *e; ++e) {
            bool keep = true;
            for (const std::string &name : dropEnv)
                keep = keep && std::strncmp(*e, (name + "=").c_str(), name.size() + 1) != 0;
            if (keep)
                env.emplace_back(*e);
        }
        std::vector<char *> envp;
        for (std::string &e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (spawned != 0) {
            ::close(out[0]);
            pid_ = 0;
            error_ = "cannot start " + args[0] + ": " + std::strerror(spawned);
            return;
        }
        out_ = out[0];
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        if (out_ >= 0)
            ::close(out_);
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    const std::string &Error() const { return error_; }
    pid_t Pid() const { return pid_; }

    // Reads what is there within the wait; false once the output has ended.
    bool Read(std::chrono::milliseconds wait) {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
            return true;
        char buffer[65536];
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        for (ssize_t i = 0; i < n; ++i)
            lines_ += buffer[i] == '\n';
        if (text_.size() < 4096)
            text_.append(buffer, static_cast<std::size_t>(std::min<ssize_t>(n, 4096)));
        return true;
    }
    const std::string &Start() const { return text_; }
    long Lines() const { return lines_; }

    // Ends the child with SIGTERM; its exit status, or -1 when it had to be killed.
    int Stop() {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            // Once the output has closed, poll no longer waits.
            if (!Read(std::chrono::milliseconds(100)))
                ::usleep(100000);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
        return -1;
    }

private:
    pid_t pid_ = 0;
    int out_ = -1;
    std::string error_;
    std::string text_;
    long lines_ = 0;
};

std::optional<double> ResidentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024;
    }
    return std::nullopt;
}

std::string TempFolder(const char *name) {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

void BM_HeadlessSoak(benchmark::State &state) {
    const char *seconds = std::getenv("GABBLER_SOAK_SECONDS");
    const int duration = seconds && std::atoi(seconds) > 60 ? std::atoi(seconds) : 600;
    const std::string data = TempFolder("gabbler-soak-universe"), home = TempFolder("gabbler-soak-home");
    if (data.empty() || home.empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::ofstream(home + "/gabbler.ini") << "[Settings]\nScrollbackLines=" << kScrollbackLines << "\n";

    for (auto _ : state) {
        Child universe({GABBLER_UNIVERSE_EXECUTABLE, "--listen", "127.0.0.1:0", "--data", data, "--demo",
                        "--population", "1000"},
                       {});
        std::string address;
        for (int i = 0; i < 100 && address.empty() && universe.Error().empty(); ++i) {
            universe.Read(std::chrono::milliseconds(100));
            const std::string &said = universe.Start();
            if (const auto at = said.find("listening on "); at != std::string::npos && said.find('\n', at) != said.npos)
                address = said.substr(at + 13, said.find('\n', at) - at - 13);
        }
        if (address.empty()) {
            state.SkipWithError(("the universe did not start: " + universe.Error() + universe.Start()).c_str());
            break;
        }
        // No display at all, as on a server.
        Child bot({GABBLER_EXECUTABLE, "--headless", "--home", home, "--universe", address, "--citizen", "1",
                   "--password", "founder", "--bot", "Soak", "--world", "Town"},
                  {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
        if (!bot.Error().empty()) {
            state.SkipWithError(bot.Error().c_str());
            break;
        }
        const auto start = Clock::now();
        std::optional<double> atMinute, last;
        long linesAtMinute = 0;
        int nextSample = 0;
        std::printf("%8s %10s %10s\n", "seconds", "RSS MiB", "lines");
        while (true) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            if (elapsed >= duration)
                break;
            if (!bot.Read(std::chrono::milliseconds(200))) {
                state.SkipWithError(("the headless bot ended: " + bot.Start()).c_str());
                return;
            }
            universe.Read(std::chrono::milliseconds(0));
            if (elapsed >= nextSample) {
                last = ResidentMiB(bot.Pid());
                if (!last) {
                    state.SkipWithError("the headless bot is gone");
                    return;
                }
                std::printf("%8d %10.1f %10ld\n", nextSample, *last, bot.Lines());
                std::fflush(stdout);
                if (nextSample >= 60 && !atMinute) {
                    atMinute = last;
                    linesAtMinute = bot.Lines();
                }
                nextSample += 10;
            }
        }
        const int status = bot.Stop();
        if (!atMinute || !last) {
            state.SkipWithError("no sample after the first minute");
            break;
        }
        // Room the pane still had for lines in memory after the first minute.
        const double room = static_cast<double>(std::max(0L, kScrollbackLines - linesAtMinute));
        const double allowance = room * kBytesPerLine / (1024 * 1024) + kSlackMiB;
        state.counters["rss_after_1min_mib"] = *atMinute;
        state.counters["rss_end_mib"] = *last;
        state.counters["growth_after_1min_mib"] = *last - *atMinute;
        state.counters["allowed_growth_mib"] = allowance;
        state.counters["lines"] = static_cast<double>(bot.Lines());
        state.counters["lines_per_s"] = static_cast<double>(bot.Lines()) / duration;
        state.counters["seconds"] = duration;
        state.counters["exit_status"] = status;
    }
    std::filesystem::remove_all(data);
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_HeadlessSoak)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
