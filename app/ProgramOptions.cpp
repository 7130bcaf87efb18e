#include "app/ProgramOptions.h"

#include "app/DocumentFolder.h"
#include "common/Version.h"
#include "login/ProfileStore.h"
#include "places/Coordinates.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <string_view>

namespace {

// The options by name; ReadProgramOptions reads them back by the same names.
void AddOptions(QCommandLineParser &parser) {
    parser.addHelpOption();
    parser.addVersionOption();
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
}

QString VersionText() { return QStringLiteral(GABBLER_VERSION " (Build %1)").arg(kGabblerBuild); }

void Describe(QCommandLineParser &parser) {
    QCoreApplication::setApplicationName(QStringLiteral("Gabbler"));
    QCoreApplication::setApplicationVersion(VersionText());
    parser.setApplicationDescription(
        QStringLiteral("Gabbler, a bot console for virtual worlds.\n\n"
                       "gabbler history --help: searching and exporting the chat history without a window.\n"
                       "The manual: %1/manual.html")
            .arg(FindDocumentFolder(QCoreApplication::applicationDirPath())));
}

// Qt's own window options are one dash and a word ("-platform offscreen", "-style fusion"); ours are two dashes.
bool HasQtWindowOption(const QStringList &arguments) {
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != QStringLiteral("--"); ++i) {
        const QString &a = arguments[i];
        if (a.size() > 2 && a[0] == QLatin1Char('-') && a[1] != QLatin1Char('-')) {
            return true;
        }
    }
    return false;
}

} // namespace

ProgramOptions ReadProgramOptions(const QStringList &arguments) {
    QCommandLineParser parser;
    AddOptions(parser);
    ProgramOptions options;
    if (!parser.parse(arguments)) {
        options.badCommandLine = true;
        options.error = parser.errorText().toStdString();
        return options;
    }
    options.home = parser.value(QStringLiteral("home")).toStdString();
    options.demo = parser.isSet(QStringLiteral("demo"));
    options.quitAfterStart = parser.isSet(QStringLiteral("quit-after-start"));
    options.headless = parser.isSet(QStringLiteral("headless"));
    options.profile = parser.value(QStringLiteral("profile")).toStdString();
    if (parser.isSet(QStringLiteral("password"))) {
        options.password = parser.value(QStringLiteral("password")).toStdString();
    }
    options.attachPasswordFile = parser.value(QStringLiteral("attach-password-file")).toStdString();
    options.attachTls = parser.isSet(QStringLiteral("attach-tls"));
    if (parser.isSet(QStringLiteral("attach-listen"))) {
        AttachAddress address;
        if (!ParseAttachAddress(parser.value(QStringLiteral("attach-listen")).toStdString(), address, options.error,
                                true)) {
            return options;
        }
        options.attachListen = address;
    }
    if (parser.isSet(QStringLiteral("attach"))) {
        AttachAddress address;
        if (ParseAttachAddress(parser.value(QStringLiteral("attach")).toStdString(), address, options.error)) {
            options.attach = address;
        }
        return options;
    }
    if (parser.isSet(QStringLiteral("citizen")) || parser.isSet(QStringLiteral("bot")) ||
        parser.isSet(QStringLiteral("world"))) {
        LoginValues values;
        bool ok = false;
        values.citizen = parser.value(QStringLiteral("citizen")).toInt(&ok);
        if (parser.isSet(QStringLiteral("citizen")) && !ok) {
            options.error = "The citizen number must be a whole number.";
        }
        values.privilegePassword = parser.value(QStringLiteral("password")).toStdString();
        values.botName = parser.value(QStringLiteral("bot")).toStdString();
        values.world = parser.value(QStringLiteral("world")).toStdString();
        std::string ignoredWorld;
        ParseLocation(parser.value(QStringLiteral("at")).toStdString(), ignoredWorld, values.startZ, values.startX,
                      values.startY, values.startYaw);
        const UniverseAddress address = SplitUniverse(parser.value(QStringLiteral("universe")).toStdString());
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

std::optional<int> AnswerCommandLine(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    AddOptions(parser);
    const bool parsed = parser.parse(arguments);
    const bool help = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    if (parsed && !help && !parser.isSet(QStringLiteral("version"))) {
        return std::nullopt;
    }
    if (!parsed && !IsHeadlessRun(argc, argv) && HasQtWindowOption(arguments)) {
        return std::nullopt; // the window's application object takes its own options, then the rest is checked
    }
    // Only a core application object: answering must work without a display.
    QCoreApplication app(argc, argv);
    if (!parsed) {
        return RefuseCommandLine(parser.errorText().toStdString());
    }
    return AnswerHelpOrVersion(app.arguments());
}

std::optional<int> AnswerHelpOrVersion(const QStringList &arguments) {
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(arguments)) {
        return std::nullopt;
    }
    Describe(parser);
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(VersionText()));
        return 0;
    }
    return std::nullopt;
}

int RefuseCommandLine(const std::string &error) {
    QCommandLineParser parser;
    AddOptions(parser);
    Describe(parser);
    std::fprintf(stderr, "gabbler: %s\n%s", error.c_str(), qPrintable(parser.helpText()));
    return 2;
}
