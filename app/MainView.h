#pragma once

#include "places/Position.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the session needs from the main window. The Qt window implements it; tests implement it with a recorder.
class MainView {
public:
    virtual ~MainView() = default;

    virtual void SetTitle(std::string_view title) = 0;
    virtual void EnableCommand(int command, bool enabled) = 0; // a menu item (Command::...)
    virtual void EnableControl(int control, bool enabled) = 0; // a box or button (Control::...)
    // The rights box: its items, the first ("Rights:") shown.
    virtual void SetRights(const std::vector<std::string> &items) = 0;
    virtual void SetWhisperLabel(std::string_view text) = 0;

    virtual std::string SayText() const = 0;
    virtual void SetSayText(std::string_view text) = 0;
    virtual std::string WhisperText() const = 0;
    virtual void SetWhisperText(std::string_view text) = 0;
    // The most UTF-8 bytes the say box takes from the user, so typing and pasting stop where sending would fail.
    virtual void SetSayByteLimit(std::size_t bytes) = 0;

    // A message box titled "Gabbler" with the error icon; returns when the user closed it.
    virtual void ShowError(std::string_view text) = 0;
    // The Teleport dialog, modal, pre-filled from the bot's position; the place chosen, or nothing on Cancel.
    virtual std::optional<TeleportTarget> AskTeleport() = 0;

    // The avatar map window.
    virtual void ShowAvatarMap(bool shown) = 0;
    virtual void SetMapCentre(int x, int z) = 0;
    virtual void SetMapManualScale(int scale) = 0;
    virtual void SetMapGrid(int grid) = 0;
    virtual void ApplyMapZoomType() = 0;

    // Plays a wave file without waiting; a missing file or sound device is silence.
    virtual void PlaySound(const std::string &path) = 0;
};
