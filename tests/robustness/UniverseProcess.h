#pragma once

// The real gabbler-universe executable as a child process, for tests that kill, stop or restart the server the
// way an operator or a crash would. The executable is taken from GABBLER_UNIVERSE, or else from the build tree
// beside the test program (tests/../server/gabbler-universe).

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

class UniverseProcess {
public:
    explicit UniverseProcess(std::string dataFolder) : data_(std::move(dataFolder)) {}
    ~UniverseProcess() { Kill(SIGKILL); }
    UniverseProcess(const UniverseProcess &) = delete;
    UniverseProcess &operator=(const UniverseProcess &) = delete;

    static std::string Executable() {
        if (const char *given = std::getenv("GABBLER_UNIVERSE"); given && *given)
            return given;
        std::error_code ec;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        return (self.parent_path().parent_path() / "server" / "gabbler-universe").string();
    }

    // Runs an administration command on the store (the server must not be running) and returns its exit status.
    int Admin(const std::vector<std::string> &words) const {
        std::vector<std::string> args = {Executable(), "--data", data_};
        args.insert(args.end(), words.begin(), words.end());
        const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        pid_t pid = 0;
        const bool spawned = Spawn(args, quiet, pid);
        ::close(quiet);
        if (!spawned)
            return -1;
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Starts the server on the port given (0: a free one; later starts reuse the port of the first) and waits
    // for its "listening on" line. False when it did not come up; Error() says why.
    bool Start(std::vector<std::string> extra = {}, int port = -1) {
        Kill(SIGKILL);
        if (port < 0)
            port = port_;
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return Failed("no pipe");
        std::vector<std::string> args = {Executable(), "--data", data_, "--listen", "127.0.0.1:" + std::to_string(port),
                                         "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        const bool spawned = Spawn(args, out[1], pid_);
        ::close(out[1]);
        if (!spawned) {
            ::close(out[0]);
            return Failed("cannot run " + Executable());
        }
        std::string line;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{out[0], POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char c[256];
            const ssize_t n = ::read(out[0], c, sizeof c);
            if (n <= 0)
                break;
            line.append(c, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        const auto colon = line.rfind(':');
        if (line.rfind("listening on ", 0) != 0 || colon == std::string::npos)
            return Failed("no \"listening on\" line from " + Executable() + ": " + line);
        port_ = std::atoi(line.c_str() + colon + 1);
        return port_ > 0 || Failed("bad port in " + line);
    }

    // Sends a signal; SIGKILL and SIGTERM also wait for the process to end.
    void Kill(int signal) {
        if (pid_ <= 0)
            return;
        ::kill(pid_, signal);
        if (signal == SIGKILL || signal == SIGTERM) {
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            pid_ = 0;
        }
    }
    void Pause() { Kill(SIGSTOP); }
    void Resume() { Kill(SIGCONT); }

    bool Running() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    int Port() const { return port_; }
    const std::string &Error() const { return error_; }

private:
    bool Failed(std::string why) {
        error_ = std::move(why);
        Kill(SIGKILL);
        return false;
    }

    // Starts args[0] with standard output on `out` (inherited when -1).
    static bool Spawn(const std::vector<std::string> &args, int out, pid_t &pid) {
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (out >= 0)
            posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        const int r = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return r == 0;
    }

    std::string data_;
    pid_t pid_ = 0;
    int port_ = 0;
    std::string error_;
};
