#pragma once

#include "app/MainView.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A main window that remembers what the session asked of it.
class RecordingView : public MainView {
public:
    std::string title;
    std::map<int, bool> commands;
    std::map<int, bool> controls;
    std::vector<std::string> rights;
    std::string whisperLabel;
    std::string say;
    std::string whisper;
    std::size_t sayByteLimit = 255;
    std::vector<std::string> errors;
    std::deque<std::optional<TeleportTarget>> teleportAnswers; // what AskTeleport returns, in order
    int teleportQuestions = 0;
    bool mapShown = false;
    std::optional<std::pair<int, int>> mapCentre;
    std::vector<std::string> sounds;

    bool Command(int command) const {
        const auto found = commands.find(command);
        return found != commands.end() && found->second;
    }
    bool ControlOn(int control) const {
        const auto found = controls.find(control);
        return found != controls.end() && found->second;
    }

    void SetTitle(std::string_view text) override { title = text; }
    void EnableCommand(int command, bool enabled) override { commands[command] = enabled; }
    void EnableControl(int control, bool enabled) override { controls[control] = enabled; }
    void SetRights(const std::vector<std::string> &items) override { rights = items; }
    void SetWhisperLabel(std::string_view text) override { whisperLabel = text; }
    std::string SayText() const override { return say; }
    void SetSayText(std::string_view text) override { say = text; }
    std::string WhisperText() const override { return whisper; }
    void SetWhisperText(std::string_view text) override { whisper = text; }
    void SetSayByteLimit(std::size_t bytes) override { sayByteLimit = bytes; }
    void ShowError(std::string_view text) override { errors.emplace_back(text); }
    std::optional<TeleportTarget> AskTeleport() override {
        ++teleportQuestions;
        if (teleportAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = teleportAnswers.front();
        teleportAnswers.pop_front();
        return answer;
    }
    void ShowAvatarMap(bool shown) override { mapShown = shown; }
    void SetMapCentre(int x, int z) override { mapCentre = {x, z}; }
    void SetMapManualScale(int) override {}
    void SetMapGrid(int) override {}
    void ApplyMapZoomType() override {}
    void PlaySound(const std::string &path) override { sounds.push_back(path); }
};
