#pragma once

#include "common/AtomicFile.h"
#include "login/LoginProfile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Host and port of a universe text "host:port".
struct UniverseAddress {
    std::string host;
    int port = 0;
    bool operator==(const UniverseAddress &) const = default;
};

// Trimmed; empty gives the default universe host and port 0; otherwise the host is the text before the first colon
// and the port the decimal number after it (0 without leading digits); without a colon it is all host, port 0.
UniverseAddress SplitUniverse(std::string_view text);
// "host:port", the form SplitUniverse reads.
std::string UniverseText(const std::string &host, int port);

// A field of profiles.txt ends at the next colon and a line at the line break, and the file knows no escaping: a
// field holding either would corrupt its profile. Returns a message naming the field (described by what, "bot
// name") when text cannot be saved, nothing when it can.
std::optional<std::string> UnsavableFieldMessage(std::string_view what, std::string_view text);

// The login profiles of profiles.txt, in file order. One line per profile, eight fields each followed by a colon:
// name:citizen:password:bot name:universe host:universe port:world:coordinates: and CR LF.
class ProfileStore {
public:
    // The profile of one line: white space around the line is ignored, numbers are read with ReadDecimal, and
    // text after the eighth colon is dropped. Nothing when a colon is missing.
    static std::optional<LoginProfile> ParseLine(std::string_view line);
    static std::string FormatLine(const LoginProfile &profile);

    // Appends the profiles of text, after a leading byte-order mark; malformed lines and names already present
    // (without regard to case) are dropped, so the first of two such lines wins.
    void ReadText(std::string_view text);
    // Replaces the list with the file's profiles. A missing file gives no profiles and succeeds; an existing file
    // that cannot be read fails, leaving the list empty.
    bool Read(const std::string &path);
    std::string Text() const;
    // Replaces the file atomically with every profile in list order; a new file is private to its owner.
    FileResult Write(const std::string &path) const;

    // The first profile whose name equals name without regard to letter case.
    LoginProfile *Find(std::string_view name);
    const LoginProfile *Find(std::string_view name) const;
    // Appends profile unless its name is taken; false when it is.
    bool Add(LoginProfile profile);
    const std::vector<LoginProfile> &Profiles() const { return profiles_; }
    std::size_t Count() const { return profiles_.size(); }
    void Clear() { profiles_.clear(); }

private:
    std::vector<LoginProfile> profiles_;
};

// Letter case is ignored for profile names (ASCII letters; other bytes compare as they are).
bool SameProfileName(std::string_view a, std::string_view b);
bool ProfileNameLess(std::string_view a, std::string_view b);

// Makes sure the file at path holds profile: adds it when no profile has its name, otherwise points the existing
// one at profile's universe host and port and keeps the rest as the user left it. For a universe whose port
// changes from run to run, such as the demo's.
FileResult EnsureProfile(const std::string &path, const LoginProfile &profile);

// Points every profile of the file at path that names a universe on this machine (localhost, 127.0.0.1, ::1 or
// empty) on oldPort at newPort instead, for a universe that had to move (the demo's, when its port was taken).
// Nothing is written when no profile names it.
FileResult MoveProfilesToPort(const std::string &path, int oldPort, int newPort);
