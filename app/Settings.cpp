#include "app/Settings.h"

#include "common/IniFile.h"

#include <algorithm>

namespace {

constexpr const char *kSettings = "Settings";
constexpr const char *kGlobal = "Global";
constexpr const char *kFonts = "Fonts";
constexpr const char *kFeedback = "Feedback";

bool Flag(const IniFile &ini, const char *section, const char *key, bool fallback) {
    return ini.GetInt(section, key, fallback ? 1 : 0) != 0;
}

int Clamped(const IniFile &ini, const char *section, const char *key, int fallback, int low, int high) {
    return std::clamp(ini.GetInt(section, key, fallback), low, high);
}

Rgb Colour(const IniFile &ini, const char *section, const char *prefix, Rgb fallback) {
    const std::string p(prefix);
    return {Clamped(ini, section, (p + "Red").c_str(), fallback.red, 0, 255),
            Clamped(ini, section, (p + "Green").c_str(), fallback.green, 0, 255),
            Clamped(ini, section, (p + "Blue").c_str(), fallback.blue, 0, 255)};
}

void SetFlag(IniFile &ini, const char *section, const char *key, bool value) {
    ini.SetInt(section, key, value ? 1 : 0);
}

void SetColour(IniFile &ini, const char *section, const char *prefix, Rgb value) {
    const std::string p(prefix);
    ini.SetInt(section, p + "Red", value.red);
    ini.SetInt(section, p + "Green", value.green);
    ini.SetInt(section, p + "Blue", value.blue);
}

} // namespace

Settings Settings::Load(const std::string &path) {
    IniFile ini;
    ini.Load(path); // an unreadable file leaves it empty: defaults
    Settings settings;
    settings.ReadFrom(ini);
    return settings;
}

FileResult Settings::Save(const std::string &path) const {
    IniFile ini;
    if (!ini.Load(path)) {
        return {false, "Cannot read \"" + path + "\", so the settings were not written over it."};
    }
    WriteTo(ini);
    return ini.Save(path);
}

void Settings::ReadFrom(const IniFile &ini) {
    const Settings d; // the defaults
    displayEnterExit = Flag(ini, kSettings, "DisplayEnterExit", d.displayEnterExit);
    showGradient = Flag(ini, kSettings, "ShowGradient", d.showGradient);
    timestampMsgs = Flag(ini, kSettings, "TimestampMsgs", d.timestampMsgs);
    showAvatarMap = Flag(ini, kSettings, "ShowAvatarMap", d.showAvatarMap);
    dontShowEmptyWorlds = Flag(ini, kSettings, "DontShowEmptyWorlds", d.dontShowEmptyWorlds);
    dontShowPrivateWorlds = Flag(ini, kSettings, "DontShowPrivateWorlds", d.dontShowPrivateWorlds);
    playWave = Flag(ini, kSettings, "PlayWave", d.playWave);
    chatBox = Colour(ini, kSettings, "ChatBox", d.chatBox);
    showAvClicks = Flag(ini, kSettings, "ShowAvClicks", d.showAvClicks);
    use12HourTime = Flag(ini, kSettings, "Use12HourTime", d.use12HourTime);
    waveLocation = ini.GetString(kSettings, "WaveLocation", d.waveLocation);
    loginWaveLocation = ini.GetString(kSettings, "LoginWaveLocation", d.loginWaveLocation);
    avEntryWaveLocation = ini.GetString(kSettings, "AvEntryWaveLocation", d.avEntryWaveLocation);
    playAvEntrySound = Flag(ini, kSettings, "PlayAvEntrySound", d.playAvEntrySound);
    playLoginSound = Flag(ini, kSettings, "PlayLoginSound", d.playLoginSound);
    // Only two zoom types exist; anything else is treated as automatic.
    avatarMapZoomType = ini.GetInt(kSettings, "AvatarMapZoomType", d.avatarMapZoomType) == 1 ? 1 : 0;
    alwaysOnTop = ini.GetInt(kSettings, "AlwaysOnTop", d.alwaysOnTop);
    reenterWorld = Flag(ini, kSettings, "ReenterWorld", d.reenterWorld);
    scrollbackLines = Clamped(ini, kSettings, "ScrollbackLines", d.scrollbackLines, kMinScrollback, kMaxScrollback);
    stayWhereScrolled = Flag(ini, kSettings, "StayWhereScrolled", d.stayWhereScrolled);
    hideAutoAnswers = Flag(ini, kSettings, "HideAutoAnswers", d.hideAutoAnswers);
    onlyWhispers = Flag(ini, kSettings, "OnlyWhispers", d.onlyWhispers);
    hideEnterExit = Flag(ini, kSettings, "HideEnterExit", d.hideEnterExit);
    recordHistory = Flag(ini, kSettings, "RecordHistory", d.recordHistory);
    notifyWhispers = Flag(ini, kSettings, "NotifyWhispers", d.notifyWhispers);
    notifyName = Flag(ini, kSettings, "NotifyName", d.notifyName);
    notifyDisconnect = Flag(ini, kSettings, "NotifyDisconnect", d.notifyDisconnect);
    trayIcon = Flag(ini, kSettings, "TrayIcon", d.trayIcon);
    closeToTray = Flag(ini, kSettings, "CloseToTray", d.closeToTray);

    enterGlobal = Flag(ini, kGlobal, "EnterGlobal", d.enterGlobal);
    globalChat = Colour(ini, kGlobal, "Chat", d.globalChat);
    chatBold = Flag(ini, kGlobal, "ChatBold", d.chatBold);
    chatItalics = Flag(ini, kGlobal, "ChatItalics", d.chatItalics);

    enableFonts = Flag(ini, kFonts, "EnableFonts", d.enableFonts);
    font.effects = ini.GetInt(kFonts, "Effects", d.font.effects);
    font.faceName = ini.GetString(kFonts, "FaceName", d.font.faceName);
    font.family = Clamped(ini, kFonts, "Family", d.font.family, 0, 255);
    font.size = Clamped(ini, kFonts, "Size", d.font.size, 1, kMaxFontSize);

    avMapLeft = ini.GetInt(kSettings, "AvMapLeft", d.avMapLeft);
    avMapTop = ini.GetInt(kSettings, "AvMapTop", d.avMapTop);
    avMapRight = ini.GetInt(kSettings, "AvMapRight", d.avMapRight);
    avMapBottom = ini.GetInt(kSettings, "AvMapBottom", d.avMapBottom);

    feedbackHost = ini.GetString(kFeedback, "Host", d.feedbackHost);
    feedbackPort = ini.GetInt(kFeedback, "Port", d.feedbackPort);
    if (feedbackPort < 1 || feedbackPort > 65535) {
        feedbackPort = d.feedbackPort; // not a port at all: the usual SMTP one
    }
    feedbackSender = ini.GetString(kFeedback, "Sender", d.feedbackSender);
    feedbackAddress = ini.GetString(kFeedback, "FeedbackAddress", d.feedbackAddress);
}

void Settings::WriteTo(IniFile &ini) const {
    SetFlag(ini, kSettings, "DisplayEnterExit", displayEnterExit);
    SetFlag(ini, kSettings, "ShowGradient", showGradient);
    SetFlag(ini, kSettings, "TimestampMsgs", timestampMsgs);
    SetFlag(ini, kSettings, "ShowAvatarMap", showAvatarMap);
    SetFlag(ini, kSettings, "DontShowEmptyWorlds", dontShowEmptyWorlds);
    SetFlag(ini, kSettings, "DontShowPrivateWorlds", dontShowPrivateWorlds);
    SetFlag(ini, kSettings, "PlayWave", playWave);
    SetColour(ini, kSettings, "ChatBox", chatBox);
    SetFlag(ini, kSettings, "ShowAvClicks", showAvClicks);
    SetFlag(ini, kSettings, "Use12HourTime", use12HourTime);
    ini.SetString(kSettings, "WaveLocation", waveLocation);
    ini.SetString(kSettings, "LoginWaveLocation", loginWaveLocation);
    ini.SetString(kSettings, "AvEntryWaveLocation", avEntryWaveLocation);
    SetFlag(ini, kSettings, "PlayAvEntrySound", playAvEntrySound);
    SetFlag(ini, kSettings, "PlayLoginSound", playLoginSound);
    ini.SetInt(kSettings, "AvatarMapZoomType", avatarMapZoomType);
    ini.SetInt(kSettings, "AlwaysOnTop", alwaysOnTop);
    SetFlag(ini, kSettings, "ReenterWorld", reenterWorld);
    ini.SetInt(kSettings, "ScrollbackLines", scrollbackLines);
    SetFlag(ini, kSettings, "StayWhereScrolled", stayWhereScrolled);
    SetFlag(ini, kSettings, "HideAutoAnswers", hideAutoAnswers);
    SetFlag(ini, kSettings, "OnlyWhispers", onlyWhispers);
    SetFlag(ini, kSettings, "HideEnterExit", hideEnterExit);
    SetFlag(ini, kSettings, "RecordHistory", recordHistory);
    SetFlag(ini, kSettings, "NotifyWhispers", notifyWhispers);
    SetFlag(ini, kSettings, "NotifyName", notifyName);
    SetFlag(ini, kSettings, "NotifyDisconnect", notifyDisconnect);
    SetFlag(ini, kSettings, "TrayIcon", trayIcon);
    SetFlag(ini, kSettings, "CloseToTray", closeToTray);

    SetFlag(ini, kGlobal, "EnterGlobal", enterGlobal);
    SetColour(ini, kGlobal, "Chat", globalChat);
    SetFlag(ini, kGlobal, "ChatBold", chatBold);
    SetFlag(ini, kGlobal, "ChatItalics", chatItalics);

    SetFlag(ini, kFonts, "EnableFonts", enableFonts);
    ini.SetInt(kFonts, "Effects", font.effects);
    ini.SetString(kFonts, "FaceName", font.faceName);
    ini.SetInt(kFonts, "Family", font.family);
    ini.SetInt(kFonts, "Size", font.size);

    ini.SetInt(kSettings, "AvMapLeft", avMapLeft);
    ini.SetInt(kSettings, "AvMapTop", avMapTop);
    ini.SetInt(kSettings, "AvMapRight", avMapRight);
    ini.SetInt(kSettings, "AvMapBottom", avMapBottom);

    ini.SetString(kFeedback, "Host", feedbackHost);
    ini.SetInt(kFeedback, "Port", feedbackPort);
    ini.SetString(kFeedback, "Sender", feedbackSender);
    ini.SetString(kFeedback, "FeedbackAddress", feedbackAddress);
}
