#pragma once

// Every fuzz target as a plain function of the input bytes. Each libFuzzer program calls one of them; the
// regression tests replay the seed corpora and every input that ever failed through the same functions, so a
// fault found once stays found in the ordinary test run.

#include <cstddef>
#include <cstdint>
#include <span>

int FuzzFrame(const std::uint8_t *data, std::size_t size);
int FuzzSdkStream(const std::uint8_t *data, std::size_t size);
int FuzzServerSession(const std::uint8_t *data, std::size_t size);
int FuzzLocation(const std::uint8_t *data, std::size_t size);
int FuzzProfiles(const std::uint8_t *data, std::size_t size);
int FuzzTeleportList(const std::uint8_t *data, std::size_t size);
int FuzzAvatarTable(const std::uint8_t *data, std::size_t size);
int FuzzIni(const std::uint8_t *data, std::size_t size);
int FuzzRtf(const std::uint8_t *data, std::size_t size);
int FuzzSmtpReply(const std::uint8_t *data, std::size_t size);
int FuzzHistoryQuery(const std::uint8_t *data, std::size_t size);
int FuzzAttachSession(const std::uint8_t *data, std::size_t size);
int FuzzRulesFile(const std::uint8_t *data, std::size_t size);

struct FuzzTarget {
    const char
        *name; // also the folder of its seeds (fuzz/corpus/<name>) and regressions (tests/fuzz-regressions/<name>)
    int (*run)(const std::uint8_t *data, std::size_t size);
};

inline constexpr FuzzTarget kFuzzTargets[] = {
    {"frame", FuzzFrame},
    {"sdk_stream", FuzzSdkStream},
    {"server_session", FuzzServerSession},
    {"location", FuzzLocation},
    {"profiles", FuzzProfiles},
    {"teleport_list", FuzzTeleportList},
    {"avatar_table", FuzzAvatarTable},
    {"ini", FuzzIni},
    {"rtf", FuzzRtf},
    {"smtp_reply", FuzzSmtpReply},
    {"history_query", FuzzHistoryQuery},
    {"attach_session", FuzzAttachSession},
    {"rules_file", FuzzRulesFile},
};
