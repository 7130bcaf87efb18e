#pragma once

#include "app/MainView.h"
#include "chat/PeopleContext.h"

// The screens of a bot that has none: the session's and the people's view calls go nowhere, an error box becomes a
// line on standard error. Everything the bot says reaches the terminal through the chat pane's lines.
class TerminalViews : public MainView, public PeopleView {
public:
    // MainView
    void SetTitle(std::string_view) override {}
    void EnableCommand(int, bool) override {}
    void EnableControl(int, bool) override {}
    void SetRights(const std::vector<std::string> &) override {}
    void SetWhisperLabel(std::string_view) override {}
    std::string SayText() const override { return {}; }
    void SetSayText(std::string_view) override {}
    std::string WhisperText() const override { return {}; }
    void SetWhisperText(std::string_view) override {}
    void SetSayByteLimit(std::size_t) override {}
    void ShowError(std::string_view text) override;
    std::optional<TeleportTarget> AskTeleport() override { return std::nullopt; }
    void ShowAvatarMap(bool) override {}
    void SetMapCentre(int, int) override {}
    void SetMapManualScale(int) override {}
    void SetMapGrid(int) override {}
    void ApplyMapZoomType() override {}
    void PlaySound(const std::string &) override {}

    // PeopleView
    void SetCounters(int, int) override {}
    void EnableWhisperBox(bool) override {}
    void AddOrMoveMark(int, const std::string &, int, int) override {}
    void RemoveMark(int) override {}
    void ClearMarks() override {}
};
