#include "app/SettingsDialogLogic.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

class RecordingEffects : public SettingsEffects {
public:
    void RepaintBackdrop() override { calls.push_back("repaint"); }
    void SetAlwaysOnTop(bool onTop) override { calls.push_back(onTop ? "on top" : "not on top"); }
    void SetChatBackground(Rgb c) override {
        calls.push_back("background " + std::to_string(c.red) + "," + std::to_string(c.green) + "," +
                        std::to_string(c.blue));
    }
    void SetChatFont(const ChatFont *font) override {
        calls.push_back(font ? "font " + font->faceName : "initial font");
    }
    void SetScrollbackLines(int lines) override { calls.push_back("scrollback " + std::to_string(lines)); }
    void SetChatStaysWhereScrolled(bool stay) override { calls.push_back(stay ? "stay" : "follow"); }
    void SetRecordHistory(bool record) override { calls.push_back(record ? "record" : "do not record"); }
    void SetTrayIcon(bool shown) override { calls.push_back(shown ? "tray icon" : "no tray icon"); }
    std::vector<std::string> calls;
};

TEST(SettingsDialogLogic, ChooserButtonsFollowTheirBoxesAndPathsAreKept) {
    Settings app;
    app.waveLocation = "/w.wav";
    SettingsDialogLogic logic(app);
    for (const Wave wave : {Wave::Whisper, Wave::Login, Wave::AvEntry}) {
        EXPECT_FALSE(logic.WaveButtonEnabled(wave)) << static_cast<int>(wave);
        logic.PlayFlag(wave) = true;
        EXPECT_TRUE(logic.WaveButtonEnabled(wave)) << static_cast<int>(wave);
    }
    EXPECT_FALSE(logic.ChooseFontEnabled());
    logic.Values().enableFonts = true;
    EXPECT_TRUE(logic.ChooseFontEnabled());

    logic.PlayFlag(Wave::Whisper) = false;
    RecordingEffects effects;
    logic.Accept(app, effects);
    EXPECT_FALSE(app.playWave);
    EXPECT_EQ(app.waveLocation, "/w.wav") << "an unchecked box keeps its wave";
}

struct AcceptCase {
    const char *name;
    void (*change)(Settings &app, SettingsDialogLogic &dialog);
    std::vector<std::string> calls;
};

TEST(SettingsDialogLogic, OkAppliesOnlyWhatChangedInOrder) {
    const AcceptCase cases[] = {
        {"nothing changed", [](Settings &, SettingsDialogLogic &) {}, {"background 255,255,255", "initial font"}},
        {"gradient off",
         [](Settings &, SettingsDialogLogic &d) { d.Values().showGradient = false; },
         {"repaint", "background 255,255,255", "initial font"}},
        {"always on top",
         [](Settings &, SettingsDialogLogic &d) { d.SetAlwaysOnTopChecked(true); },
         {"on top", "background 255,255,255", "initial font"}},
        {"stored 2 meets an unchecked box",
         [](Settings &app, SettingsDialogLogic &d) {
             app.alwaysOnTop = 2;
             d.SetAlwaysOnTopChecked(false);
         },
         {"not on top", "background 255,255,255", "initial font"}},
        {"custom font and colour",
         [](Settings &, SettingsDialogLogic &d) {
             d.Values().enableFonts = true;
             d.Values().font.faceName = "Serif";
             d.Values().chatBox = {1, 2, 3};
         },
         {"background 1,2,3", "font Serif"}},
        {"scrollback",
         [](Settings &, SettingsDialogLogic &d) { d.Values().scrollbackLines = 500; },
         {"scrollback 500", "background 255,255,255", "initial font"}},
        {"stay where scrolled",
         [](Settings &, SettingsDialogLogic &d) { d.Values().stayWhereScrolled = true; },
         {"stay", "background 255,255,255", "initial font"}},
        {"recording off",
         [](Settings &, SettingsDialogLogic &d) { d.Values().recordHistory = false; },
         {"do not record", "background 255,255,255", "initial font"}},
        {"recording on again",
         [](Settings &app, SettingsDialogLogic &d) {
             app.recordHistory = false;
             d.Values().recordHistory = true;
         },
         {"record", "background 255,255,255", "initial font"}},
    };
    for (const auto &c : cases) {
        Settings app;
        SettingsDialogLogic dialog(app);
        c.change(app, dialog);
        RecordingEffects effects;
        dialog.Accept(app, effects);
        EXPECT_EQ(effects.calls, c.calls) << c.name;
        Settings expected = dialog.Values();
        EXPECT_EQ(app, expected) << c.name << ": every value of the dialog is stored";
    }
}

TEST(SettingsDialogLogic, ChosenFontGivesSizeEffectsAndFamily) {
    Settings app;
    SettingsDialogLogic logic(app);
    EXPECT_EQ(logic.FontLabel(), "Current selection: <none>.");

    logic.TakeChosenFont({"DejaVu Sans Mono", 10.5, true, true, true, FontKind::Monospace});
    EXPECT_EQ(logic.Values().font,
              (ChatFont{ChatFont::kUnderline | ChatFont::kStrikeOut, "DejaVu Sans Mono", 0x31, 210}));
    EXPECT_EQ(logic.FontLabel(), "Current selection: DejaVu Sans Mono.");

    // A later choice without the effects takes them off; a missing point size keeps the old one.
    logic.Values().font.effects |= 1;
    logic.TakeChosenFont({"DejaVu Serif", 0, false, false, false, FontKind::Serif});
    EXPECT_EQ(logic.Values().font, (ChatFont{1, "DejaVu Serif", 0x12, 210}));

    logic.TakeChosenFont({"Huge", 1e300, false, false, false, FontKind::Any});
    EXPECT_EQ(logic.Values().font.size, Settings::kMaxFontSize);
    EXPECT_EQ(app.font, ChatFont{}) << "nothing reaches the application before OK";
}

} // namespace
