#include "app/ui/WindowOutputs.h"

#include "app/Commands.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Sound.h"
#include "chat/ChatPane.h"
#include "places/ui/AvatarMapView.h"
#include "places/ui/AvatarMapWindow.h"

void WindowPeopleView::SetCounters(int users, int bots) { window_.SetCounters(users, bots); }

void WindowPeopleView::SetWhisperLabel(std::string_view text) { window_.SetWhisperLabel(text); }

void WindowPeopleView::SetWhisperText(std::string_view text) { window_.SetWhisperText(text); }

void WindowPeopleView::EnableWhisperBox(bool enabled) { window_.EnableControl(Control::WhisperBox, enabled); }

void WindowPeopleView::PlaySound(const std::string &path) { sound_.Play(path); }

void WindowPeopleView::AddOrMoveMark(int session, const std::string &name, int x, int z) {
    map_.View().AddOrUpdateMark(session, name, x, z);
}

void WindowPeopleView::RemoveMark(int session) { map_.View().RemoveMarks(session); }

void WindowPeopleView::ClearMarks() { map_.View().ClearMarks(); }

void WindowPlacesOutput::AppendChatLine(const std::string &text, std::uint32_t colour, bool bold, bool italic,
                                        bool underline, bool newline) {
    chat_.AppendChatLine(text, colour, bold, italic, underline, newline);
}

void WindowPlacesOutput::SetMapCentre(int x, int z) { map_.View().SetCentre(x, z); }
