// --help, --version and a wrong option, for both programs, run as a user runs them: no display needed.

#include "dist/ProgramRun.h"

#include <cctype>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct Case {
    const char *program;
    std::vector<std::string> args;
    int status;
    const char *out; // printed on standard output ("" for nothing)
    const char *err; // printed on standard error ("" for nothing)
};

std::ostream &operator<<(std::ostream &os, const Case &c) {
    os << c.program;
    for (const std::string &a : c.args)
        os << " " << a;
    return os;
}

class ProgramCommandLine : public testing::TestWithParam<Case> {};

TEST_P(ProgramCommandLine, AnswersOnTheTerminal) {
    const Case &c = GetParam();
    std::vector<std::string> command{c.program};
    command.insert(command.end(), c.args.begin(), c.args.end());
    const ProgramRun run = RunProgram(command);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    if (*c.out) {
        EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    } else {
        EXPECT_EQ(run.out, "");
    }
    // With no expectation, the window's application object may note the desktop's state there.
    if (c.err && *c.err) {
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    } else if (c.err) {
        EXPECT_EQ(run.err, "");
    }
}

constexpr const char *kGabbler = GABBLER_EXECUTABLE;
constexpr const char *kUniverse = UNIVERSE_EXECUTABLE;

INSTANTIATE_TEST_SUITE_P(
    Both, ProgramCommandLine,
    testing::Values(
        Case{kGabbler, {"--help"}, 0, "--attach-listen <HOST:PORT>", ""}, Case{kGabbler, {"-h"}, 0, "--home <DIR>", ""},
        Case{kGabbler, {"--headless", "--help"}, 0, "--profile <NAME>", ""},
        Case{kGabbler, {"--version"}, 0, "Gabbler " GABBLER_VERSION " (Build ", ""},
        Case{kGabbler, {"-v"}, 0, "Gabbler " GABBLER_VERSION, ""},
        Case{kGabbler, {"history", "--help"}, 0, "usage: gabbler history search QUERY", ""},
        Case{kGabbler, {"history", "export", "--help"}, 0, "usage: gabbler history search QUERY", ""},
        // A wrong option says which and shows the usage, whether or not a window would follow.
        Case{kGabbler, {"--bogus"}, 2, "", "gabbler: Unknown option 'bogus'.\nUsage: "},
        Case{kGabbler, {"--home"}, 2, "", "Missing value after '--home'"},
        Case{kGabbler, {"--headless", "--bogus"}, 2, "", "--attach-tls"},
        // Qt's own window options are left to the window's application object, then the rest is answered alike.
        Case{kGabbler, {"-platform", "offscreen", "--bogus"}, 2, "", "gabbler: Unknown option 'bogus'.\nUsage: "},
        Case{kGabbler, {"-platform", "offscreen", "--version"}, 0, "Gabbler " GABBLER_VERSION, nullptr},
        Case{kGabbler, {"-platform", "offscreen", "--help"}, 0, "--attach-listen <HOST:PORT>", nullptr},
        Case{kUniverse, {"--help"}, 0, "gabbler-universe --help | --version", ""},
        Case{kUniverse, {"--version"}, 0, "gabbler-universe " GABBLER_VERSION "\n", ""},
        Case{kUniverse, {"-v"}, 0, "gabbler-universe " GABBLER_VERSION "\n", ""},
        Case{kUniverse, {"--bogus"}, 2, "", "gabbler-universe: unknown option --bogus\nUsage:"},
        Case{kUniverse, {"--data"}, 2, "", "--data needs a folder"}),
    [](const testing::TestParamInfo<Case> &info) {
        std::string name = std::filesystem::path(info.param.program).filename().string();
        for (const std::string &a : info.param.args)
            name += "_" + a;
        for (char &c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

} // namespace
