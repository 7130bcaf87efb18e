#pragma once

#include "common/AtomicFile.h"

#include <string>

class IniFile;

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb &) const = default;
};

// The persisted part of the chat pane's custom font.
struct ChatFont {
    static constexpr int kUnderline = 4;
    static constexpr int kStrikeOut = 8;

    int effects = 0;      // bit set of kUnderline and kStrikeOut
    std::string faceName; // empty: none chosen
    int family = 0;       // pitch-and-family byte: pitch in bits 0-1, family in bits 4-7
    int size = 10;        // height in twentieths of a point
    bool operator==(const ChatFont &) const = default;
};

// Every option kept in gabbler.ini. Read once at start, changed in memory by the Settings dialog, written back
// together at exit. Values read from the file are brought into range here, so users of the record can trust them.
struct Settings {
    // [Settings]
    bool displayEnterExit = false;
    bool showGradient = true;
    bool timestampMsgs = false;
    bool showAvatarMap = true;
    bool dontShowEmptyWorlds = false;
    bool dontShowPrivateWorlds = false;
    bool playWave = false;
    Rgb chatBox{255, 255, 255};
    bool showAvClicks = false;
    bool use12HourTime = false;
    std::string waveLocation;
    std::string loginWaveLocation;
    std::string avEntryWaveLocation;
    bool playAvEntrySound = false;
    bool playLoginSound = false;
    int avatarMapZoomType = 0; // 0 automatic, 1 manual
    int alwaysOnTop = 0;       // kept as stored: only exactly 1 makes the window top-most
    bool reenterWorld = false;
    int scrollbackLines = kDefaultScrollback; // chat-pane lines kept before the oldest are dropped
    bool stayWhereScrolled = false;           // the chat pane does not follow new lines while scrolled up
    // The Log menu's filters of what the chat pane shows.
    bool hideAutoAnswers = false;
    bool onlyWhispers = false;
    bool hideEnterExit = false;
    bool recordHistory = true; // the chat pane's lines and the visits go to history.db
    // Desktop notices while the main window is not the active one, and the tray icon.
    bool notifyWhispers = true;   // a whisper heard
    bool notifyName = true;       // a chat line that names the bot
    bool notifyDisconnect = true; // the bot was disconnected from its world
    bool trayIcon = false;        // an icon in the desktop's tray that counts the unread whispers
    bool closeToTray = false;     // the close box hides the window into the tray icon; File, Exit still ends
    // [Global]
    bool enterGlobal = false;
    Rgb globalChat{0, 0, 0};
    bool chatBold = false;
    bool chatItalics = false;
    // [Fonts]
    bool enableFonts = false;
    ChatFont font;
    // [Settings], written last: the avatar map window's restored rectangle in pixels; all 0 when never stored.
    int avMapLeft = 0;
    int avMapTop = 0;
    int avMapRight = 0;
    int avMapBottom = 0;
    // [Feedback]: the mail relay for bug reports and suggestions.
    std::string feedbackHost = "localhost";
    int feedbackPort = kDefaultFeedbackPort;
    std::string feedbackSender = "gabbler@localhost";
    std::string feedbackAddress = "feedback@localhost";

    static constexpr int kDefaultScrollback = 1000000;
    static constexpr int kMinScrollback = 100;
    static constexpr int kMaxScrollback = 10000000;
    static constexpr int kMaxFontSize = 20000; // 1000 points
    static constexpr int kDefaultFeedbackPort = 25;

    bool AlwaysOnTopActive() const { return alwaysOnTop == 1; }

    // A missing or unreadable file, section or key gives the defaults above; a non-numeric number reads as 0.
    static Settings Load(const std::string &path);
    // Rewrites every key in place (a new file gets them in the order of the members above) and keeps whatever
    // else a person put in the file. An existing file that cannot be read is left alone rather than replaced.
    FileResult Save(const std::string &path) const;

    void ReadFrom(const IniFile &ini);
    void WriteTo(IniFile &ini) const;

    bool operator==(const Settings &) const = default;
};
