#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class AvatarRoster;

// Someone present whose name begins a line of the chat pane, as chat lines show it ("Alice: hello").
struct LineSpeaker {
    std::string name; // as the world reports it
    int session = 0;
    std::size_t length = 0; // bytes of the name as the line shows it
};

// The present person whose shown name, followed by a colon, begins text (a line without its timestamp). The
// longest such name wins, so "Bob Smith" is found rather than a "Bob" also present.
std::optional<LineSpeaker> PresentSpeakerAt(const AvatarRoster &roster, std::string_view text);
