#include "app/ProgramOptions.h"

#include "login/ProfileStore.h"
#include "places/Coordinates.h"

#include <QCommandLineParser>

#include <string_view>

ProgramOptions ReadProgramOptions(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Gabbler, a bot console for virtual worlds."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Folder of gabbler.ini and the lists."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Run a universe of demo worlds and people inside the program."));
    const QCommandLineOption citizen(QStringLiteral("citizen"), QStringLiteral("Citizen number."), QStringLiteral("N"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Privilege password."),
                                      QStringLiteral("TEXT"));
    const QCommandLineOption bot(QStringLiteral("bot"), QStringLiteral("Bot name."), QStringLiteral("NAME"));
    const QCommandLineOption world(QStringLiteral("world"), QStringLiteral("World to enter."), QStringLiteral("WORLD"));
    const QCommandLineOption at(QStringLiteral("at"), QStringLiteral("Start position, e.g. \"40N 50W 2a 180\"."),
                                QStringLiteral("COORDS"));
    const QCommandLineOption universe(QStringLiteral("universe"), QStringLiteral("Universe server."),
                                      QStringLiteral("HOST:PORT"));
    const QCommandLineOption quit(QStringLiteral("quit-after-start"),
                                  QStringLiteral("Print the start time and quit once the bot is in its world."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run the bot without a window, writing the chat pane's lines to standard output."));
    const QCommandLineOption profile(QStringLiteral("profile"),
                                     QStringLiteral("Log in with this profile of profiles.txt (with --headless)."),
                                     QStringLiteral("NAME"));
    const QCommandLineOption attach(QStringLiteral("attach"),
                                    QStringLiteral("Open the window on a headless bot listening there."),
                                    QStringLiteral("HOST:PORT"));
    const QCommandLineOption attachListen(
        QStringLiteral("attach-listen"),
        QStringLiteral("With --headless: let windows attach here (default port %1).").arg(kDefaultAttachPort),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption attachPasswordFile(
        QStringLiteral("attach-password-file"),
        QStringLiteral("With --attach-listen: the windows' password, the file's first line (else the bot's)."),
        QStringLiteral("FILE"));
    const QCommandLineOption attachTls(
        QStringLiteral("attach-tls"),
        QStringLiteral("With --attach-listen or --attach: encrypt the connection between window and bot."));
    parser.addOptions({home, demo, citizen, password, bot, world, at, universe, quit, headless, profile, attach,
                       attachListen, attachPasswordFile, attachTls});
    ProgramOptions options;
    if (!parser.parse(arguments)) {
        options.badCommandLine = true;
        options.error = parser.errorText().toStdString();
        return options;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        parser.process(arguments); // prints the help and ends the program
    }
    options.home = parser.value(home).toStdString();
    options.demo = parser.isSet(demo);
    options.quitAfterStart = parser.isSet(quit);
    options.headless = parser.isSet(headless);
    options.profile = parser.value(profile).toStdString();
    if (parser.isSet(password)) {
        options.password = parser.value(password).toStdString();
    }
    options.attachPasswordFile = parser.value(attachPasswordFile).toStdString();
    options.attachTls = parser.isSet(attachTls);
    if (parser.isSet(attachListen)) {
        AttachAddress address;
        if (!ParseAttachAddress(parser.value(attachListen).toStdString(), address, options.error, true)) {
            return options;
        }
        options.attachListen = address;
    }
    if (parser.isSet(attach)) {
        AttachAddress address;
        if (ParseAttachAddress(parser.value(attach).toStdString(), address, options.error)) {
            options.attach = address;
        }
        return options;
    }
    if (parser.isSet(citizen) || parser.isSet(bot) || parser.isSet(world)) {
        LoginValues values;
        bool ok = false;
        values.citizen = parser.value(citizen).toInt(&ok);
        if (parser.isSet(citizen) && !ok) {
            options.error = "The citizen number must be a whole number.";
        }
        values.privilegePassword = parser.value(password).toStdString();
        values.botName = parser.value(bot).toStdString();
        values.world = parser.value(world).toStdString();
        std::string ignoredWorld;
        ParseLocation(parser.value(at).toStdString(), ignoredWorld, values.startZ, values.startX, values.startY,
                      values.startYaw);
        const UniverseAddress address = SplitUniverse(parser.value(universe).toStdString());
        values.universeHost = address.host;
        values.universePort = address.port;
        options.login = values;
    }
    return options;
}

bool IsHeadlessRun(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            break;
        }
        if (argument == "--headless") {
            return true;
        }
    }
    return false;
}
