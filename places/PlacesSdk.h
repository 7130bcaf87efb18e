#pragma once

#include "places/Position.h"

#include <cstdint>
#include <string>

// The few SDK calls the movement and avatar commands make. LivePlacesSdk forwards them to sdk/Sdk.h; tests use an
// attribute store of their own, so every write and its order can be checked without a server.
class PlacesSdk {
public:
    virtual ~PlacesSdk() = default;
    virtual int GetInt(int attribute) = 0;
    virtual bool GetBool(int attribute) = 0;
    virtual std::string GetString(int attribute) = 0;
    virtual int SetInt(int attribute, int value) = 0;
    virtual int StateChange() = 0;
};

class LivePlacesSdk final : public PlacesSdk {
public:
    int GetInt(int attribute) override;
    bool GetBool(int attribute) override;
    std::string GetString(int attribute) override;
    int SetInt(int attribute, int value) override;
    int StateChange() override;
};

// Where the commands report: the chat pane and the centre of the avatar map.
class PlacesOutput {
public:
    virtual ~PlacesOutput() = default;
    // Colour is 0xRRGGBB; the flags are those of the chat pane's line writer.
    virtual void AppendChatLine(const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline,
                                bool newline) = 0;
    virtual void SetMapCentre(int x, int z) = 0;
};

// The teal of every "Avatar Inspector" line and of the special-avatar refusal.
constexpr std::uint32_t kInspectorColour = 0x006F6F;

// The bot's own position attributes, read now.
Position ReadBotPosition(PlacesSdk &sdk);
