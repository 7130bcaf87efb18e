#pragma once

#include "TempDir.h"
#include "common/AtomicFile.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

// A real SMTP server for the tests: smtp_sink.py (aiosmtpd) run as a child process on a free loopback port, storing
// what it receives in a temporary folder. Usable() is false, with Problem() saying why, when python3 with aiosmtpd
// is missing or the server does not come up.
class SmtpSink {
public:
    struct Message {
        std::string from;
        std::string recipients; // one a line
        std::string data;
    };

    SmtpSink() {
        const std::string script = (std::filesystem::path(GABBLER_SOURCE_DIR) / "tests" / "mail" / "smtp_sink.py").string();
        // The system's python3 first: another one earlier on PATH may lack Debian's aiosmtpd.
        for (const char *python : {"/usr/bin/python3", "python3"}) {
            if (Run({python, "-c", "import aiosmtpd"}) == 0) {
                Start(python, script);
                return;
            }
        }
        problem_ = "python3 with aiosmtpd (Debian package python3-aiosmtpd) is not installed";
    }

    ~SmtpSink() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        if (output_ >= 0) {
            ::close(output_);
        }
    }

    bool Usable() const { return port_ > 0; }
    const std::string &Problem() const { return problem_; }
    int Port() const { return port_; }

    // Message n (from 1), once the server has stored it.
    std::optional<Message> Received(int n) const {
        const std::string base = folder_.File(std::to_string(n));
        auto data = ReadWholeFile(base + ".data");
        if (!data) {
            return std::nullopt;
        }
        return Message{ReadWholeFile(base + ".from").value_or(""), ReadWholeFile(base + ".rcpt").value_or(""), *data};
    }

private:
    static int Run(std::vector<const char *> arguments, posix_spawn_file_actions_t *actions = nullptr,
                   pid_t *started = nullptr) {
        arguments.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawnp(&pid, arguments[0], actions, nullptr, const_cast<char *const *>(arguments.data()),
                           environ) != 0) {
            return -1;
        }
        if (started != nullptr) {
            *started = pid;
            return 0;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Start(const char *python, const std::string &script) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            problem_ = "cannot make a pipe";
            return;
        }
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        ::posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        const int started = Run({python, script.c_str(), folder_.Path().c_str()}, &actions, &pid_);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        output_ = pipeFds[0];
        if (started != 0) {
            pid_ = 0;
            problem_ = std::string("cannot start ") + python;
            return;
        }
        // The server prints its port once it listens.
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{output_, POLLIN, 0};
            char buffer[64];
            ssize_t got = 0;
            if (::poll(&entry, 1, 100) > 0 && (got = ::read(output_, buffer, sizeof buffer)) <= 0) {
                break;
            }
            line.append(buffer, static_cast<std::size_t>(got));
        }
        port_ = std::atoi(line.c_str());
        if (port_ <= 0) {
            problem_ = "smtp_sink.py did not start listening";
        }
    }

    TempDir folder_;
    pid_t pid_ = 0;
    int output_ = -1;
    int port_ = 0;
    std::string problem_;
};
