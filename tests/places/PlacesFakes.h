#pragma once

#include "places/PlacesSdk.h"

#include <map>
#include <string>
#include <vector>

// An attribute store standing in for the SDK, and a recorder for the chat pane and the map. Both write into one
// log so tests can check the order of what happened.
struct PlacesLog {
    std::vector<std::string> events;
};

class FakePlacesSdk : public PlacesSdk {
public:
    explicit FakePlacesSdk(PlacesLog &log) : log_(log) {}

    int GetInt(int attribute) override { return ints[attribute]; }
    bool GetBool(int attribute) override { return bools[attribute]; }
    std::string GetString(int attribute) override { return strings[attribute]; }
    int SetInt(int attribute, int value) override {
        ints[attribute] = value;
        log_.events.push_back("set " + std::to_string(attribute) + "=" + std::to_string(value));
        return 0;
    }
    int StateChange() override {
        log_.events.push_back("commit");
        return stateChangeResult;
    }

    std::map<int, int> ints;
    std::map<int, bool> bools;
    std::map<int, std::string> strings;
    int stateChangeResult = 0;

private:
    PlacesLog &log_;
};

class RecordingOutput : public PlacesOutput {
public:
    explicit RecordingOutput(PlacesLog &log) : log_(log) {}

    void AppendChatLine(const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline,
                        bool newline) override {
        // Every line of these commands is plain teal with a line end; anything else is shown in the log.
        const bool plainTeal = colour == kInspectorColour && !bold && !italic && !underline && newline;
        log_.events.push_back((plainTeal ? "chat " : "odd chat ") + text);
    }
    void SetMapCentre(int x, int z) override {
        log_.events.push_back("centre " + std::to_string(x) + "," + std::to_string(z));
    }

private:
    PlacesLog &log_;
};
