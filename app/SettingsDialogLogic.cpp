#include "app/SettingsDialogLogic.h"

#include <algorithm>
#include <cmath>

bool Settings::*SettingsDialogLogic::PlayMember(Wave wave) {
    switch (wave) {
    case Wave::Whisper:
        return &Settings::playWave;
    case Wave::Login:
        return &Settings::playLoginSound;
    case Wave::AvEntry:
        break;
    }
    return &Settings::playAvEntrySound;
}

std::string Settings::*SettingsDialogLogic::PathMember(Wave wave) {
    switch (wave) {
    case Wave::Whisper:
        return &Settings::waveLocation;
    case Wave::Login:
        return &Settings::loginWaveLocation;
    case Wave::AvEntry:
        break;
    }
    return &Settings::avEntryWaveLocation;
}

std::string SettingsDialogLogic::WaveChooserTitle(Wave wave) {
    switch (wave) {
    case Wave::Whisper:
        return "Open whisper wave:";
    case Wave::Login:
        return "Open login wave:";
    case Wave::AvEntry:
        break;
    }
    return "Open avatar entry wave:";
}

void SettingsDialogLogic::TakeChosenFont(const ChosenFont &chosen) {
    ChatFont &font = values_.font;
    if (chosen.pointSize > 0) {
        // Tenths of a point, times two: twentieths.
        const double tenths = std::round(chosen.pointSize * 10);
        font.size = std::clamp(static_cast<int>(std::min(tenths, 1e6)) * 2, 1, Settings::kMaxFontSize);
    }
    font.faceName = chosen.faceName;
    // The chooser shows the current effects, so what it returns is the whole choice: an effect left unticked there
    // is cleared, otherwise an underline once chosen could never be taken off again.
    font.effects &= ~(ChatFont::kUnderline | ChatFont::kStrikeOut);
    font.effects |= (chosen.underline ? ChatFont::kUnderline : 0) | (chosen.strikeOut ? ChatFont::kStrikeOut : 0);
    font.family = PitchAndFamily(chosen.fixedPitch, chosen.kind);
}

std::string SettingsDialogLogic::FontLabel() const {
    const std::string &face = values_.font.faceName;
    return "Current selection: " + (face.empty() ? std::string("<none>") : face) + ".";
}

void SettingsDialogLogic::Accept(Settings &app, SettingsEffects &effects) const {
    const Settings &v = values_;
    app.displayEnterExit = v.displayEnterExit;
    app.timestampMsgs = v.timestampMsgs;
    app.showAvatarMap = v.showAvatarMap;
    app.playWave = v.playWave;
    app.chatBox = v.chatBox;
    app.use12HourTime = v.use12HourTime;
    app.reenterWorld = v.reenterWorld;
    app.playLoginSound = v.playLoginSound;
    app.loginWaveLocation = v.loginWaveLocation;
    app.playAvEntrySound = v.playAvEntrySound;
    app.avEntryWaveLocation = v.avEntryWaveLocation;
    app.showAvClicks = v.showAvClicks;
    app.waveLocation = v.waveLocation;
    app.enterGlobal = v.enterGlobal;
    app.chatItalics = v.chatItalics;
    app.chatBold = v.chatBold;
    app.globalChat = v.globalChat;
    app.enableFonts = v.enableFonts;
    app.notifyWhispers = v.notifyWhispers;
    app.notifyName = v.notifyName;
    app.notifyDisconnect = v.notifyDisconnect;
    app.closeToTray = v.closeToTray;
    if (app.trayIcon != v.trayIcon) {
        app.trayIcon = v.trayIcon;
        effects.SetTrayIcon(app.trayIcon);
    }
    if (app.scrollbackLines != v.scrollbackLines) {
        app.scrollbackLines = v.scrollbackLines;
        effects.SetScrollbackLines(app.scrollbackLines);
    }
    if (app.recordHistory != v.recordHistory) {
        app.recordHistory = v.recordHistory;
        effects.SetRecordHistory(app.recordHistory);
    }
    if (app.showGradient != v.showGradient) {
        app.showGradient = v.showGradient;
        effects.RepaintBackdrop();
    }
    if (app.alwaysOnTop != v.alwaysOnTop) {
        app.alwaysOnTop = v.alwaysOnTop;
        effects.SetAlwaysOnTop(app.AlwaysOnTopActive());
    }
    if (app.stayWhereScrolled != v.stayWhereScrolled) {
        app.stayWhereScrolled = v.stayWhereScrolled;
        effects.SetChatStaysWhereScrolled(app.stayWhereScrolled);
    }
    app.dontShowEmptyWorlds = v.dontShowEmptyWorlds;
    app.dontShowPrivateWorlds = v.dontShowPrivateWorlds;
    effects.SetChatBackground(app.chatBox);
    app.font = v.font;
    effects.SetChatFont(app.enableFonts ? &app.font : nullptr);
}

int SettingsDialogLogic::PitchAndFamily(bool fixedPitch, FontKind kind) {
    // The byte of the classic font record: pitch 1 fixed or 2 variable, family in the high nibble.
    int family = 0;
    switch (kind) {
    case FontKind::Any:
        break;
    case FontKind::Serif:
        family = 0x10;
        break;
    case FontKind::SansSerif:
        family = 0x20;
        break;
    case FontKind::Monospace:
        family = 0x30;
        break;
    case FontKind::Script:
        family = 0x40;
        break;
    case FontKind::Decorative:
        family = 0x50;
        break;
    }
    return family | (fixedPitch ? 1 : 2);
}
