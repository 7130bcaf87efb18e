#pragma once

#include "chat/PeopleContext.h"
#include "places/PlacesSdk.h"

class AvatarMapWindow;
class ChatPane;
class MainWindow;
class Sound;

// What the people handlers show outside the chat pane: the window's boxes and counters, the map's marks, the sound.
class WindowPeopleView : public PeopleView {
public:
    WindowPeopleView(MainWindow &window, AvatarMapWindow &map, Sound &sound)
        : window_(window), map_(map), sound_(sound) {}
    void SetCounters(int users, int bots) override;
    void SetWhisperLabel(std::string_view text) override;
    void SetWhisperText(std::string_view text) override;
    void EnableWhisperBox(bool enabled) override;
    void PlaySound(const std::string &path) override;
    void AddOrMoveMark(int session, const std::string &name, int x, int z) override;
    void RemoveMark(int session) override;
    void ClearMarks() override;

private:
    MainWindow &window_;
    AvatarMapWindow &map_;
    Sound &sound_;
};

// Where the window's movement and avatar commands report: the chat pane and the map's centre.
class WindowPlacesOutput : public PlacesOutput {
public:
    WindowPlacesOutput(ChatPane &chat, AvatarMapWindow &map) : chat_(chat), map_(map) {}
    void AppendChatLine(const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline,
                        bool newline) override;
    void SetMapCentre(int x, int z) override;

private:
    ChatPane &chat_;
    AvatarMapWindow &map_;
};
