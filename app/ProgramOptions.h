#pragma once

#include "attach/AttachAddress.h"
#include "login/LoginValues.h"

#include <QStringList>

#include <optional>
#include <string>

// The program's command line, for the window and for the bot without one.
struct ProgramOptions {
    std::string home;
    bool demo = false;
    bool quitAfterStart = false;
    bool headless = false;
    std::string profile;                       // --profile: a profile of profiles.txt to log in with
    std::optional<LoginValues> login;          // from the login options; the login dialog is skipped
    std::optional<AttachAddress> attach;       // --attach: open the window on a headless bot instead of a universe
    std::optional<std::string> password;       // --password, when given
    std::optional<AttachAddress> attachListen; // --attach-listen: the headless bot serves windows there
    std::string attachPasswordFile;            // --attach-password-file: their password, else the bot's own
    bool attachTls = false;                    // --attach-tls: windows and bot speak TLS
    std::string error;                         // a sentence for the user when the options cannot be used
    bool badCommandLine = false;               // an unknown option or a missing value: error says which
};

// Reads the options. Needs the application object.
ProgramOptions ReadProgramOptions(const QStringList &arguments);

// --help, --version, or options the parser refuses (unknown, a value missing): answered on the terminal before any
// window or display is needed. Returns the exit status (0, or 2 after the usage), or nothing for a command line to run.
std::optional<int> AnswerCommandLine(int argc, char **argv);

// Whether the command line asks for the bot without a window, before any application object exists.
bool IsHeadlessRun(int argc, char **argv);

// --help or --version among arguments that parse: answered, with the exit status. For the window, whose application
// object has taken its own options (-platform, -style) out first. Needs the application object.
std::optional<int> AnswerHelpOrVersion(const QStringList &arguments);

// An unknown option or a missing value: the sentence and the usage on standard error; returns the exit status, 2.
// Needs the application object.
int RefuseCommandLine(const std::string &error);
