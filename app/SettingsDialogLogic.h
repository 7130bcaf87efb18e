#pragma once

#include "app/Settings.h"

#include <string>

// What the main window does when the Settings dialog's OK changes something on screen.
class SettingsEffects {
public:
    virtual ~SettingsEffects() = default;
    // Repaint the main window's backdrop after "ShowGradient" changed.
    virtual void RepaintBackdrop() = 0;
    // Keep the main window above other windows, or stop doing so, without moving or sizing it.
    virtual void SetAlwaysOnTop(bool onTop) = 0;
    virtual void SetChatBackground(Rgb colour) = 0;
    // The chat pane's default character format: the custom font, or the pane's initial format when font is null.
    virtual void SetChatFont(const ChatFont *font) = 0;
    // Only called when the number changed; the pane drops its oldest lines beyond it.
    virtual void SetScrollbackLines(int lines) = 0;
    // Whether the chat pane stays where the user scrolled while lines arrive.
    virtual void SetChatStaysWhereScrolled(bool stay) = 0;
    // Only called when the setting changed: start or stop recording the history.
    virtual void SetRecordHistory(bool record) = 0;
    // Only called when the setting changed: show or hide the tray icon.
    virtual void SetTrayIcon(bool shown) = 0;
};

enum class Wave { Whisper, Login, AvEntry };

// The family a font chooser reports, without its toolkit's types.
enum class FontKind { Any, Serif, SansSerif, Monospace, Script, Decorative };

struct ChosenFont {
    std::string faceName;
    double pointSize = 0; // not positive when the chooser gave no point size
    bool underline = false;
    bool strikeOut = false;
    bool fixedPitch = false;
    FontKind kind = FontKind::Any;
};

// The Settings dialog without its widgets: a working copy of the settings that the controls edit, the rules for
// which button is usable, and OK, which stores the copy and applies what is visible. Cancel is simply dropping it.
class SettingsDialogLogic {
public:
    explicit SettingsDialogLogic(const Settings &current) : values_(current) {}

    Settings &Values() { return values_; }
    const Settings &Values() const { return values_; }

    // A wave can be chosen only while its "Play" box is checked, the font only while the custom font is on. The
    // path itself is kept either way.
    bool WaveButtonEnabled(Wave wave) const { return values_.*PlayMember(wave); }
    bool ChooseFontEnabled() const { return values_.enableFonts; }
    bool AlwaysOnTopChecked() const { return values_.alwaysOnTop == 1; }
    void SetAlwaysOnTopChecked(bool checked) { values_.alwaysOnTop = checked ? 1 : 0; }

    bool &PlayFlag(Wave wave) { return values_.*PlayMember(wave); }
    std::string &WavePath(Wave wave) { return values_.*PathMember(wave); }
    static std::string WaveChooserTitle(Wave wave);

    void SetChatBoxToWhite() { values_.chatBox = {255, 255, 255}; }
    // Takes face, size, pitch and family and the underline and strike-out effects; bold and italic are not part of
    // the chat font.
    void TakeChosenFont(const ChosenFont &chosen);
    std::string FontLabel() const;

    // OK: stores the copy into the application's settings and applies the visible effects, in that order.
    void Accept(Settings &app, SettingsEffects &effects) const;

    static int PitchAndFamily(bool fixedPitch, FontKind kind);

private:
    static bool Settings::*PlayMember(Wave wave);
    static std::string Settings::*PathMember(Wave wave);

    Settings values_;
};
