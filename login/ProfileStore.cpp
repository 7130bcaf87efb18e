#include "login/ProfileStore.h"

#include "common/Decimal.h"
#include "common/TextCase.h"
#include "common/TextTrim.h"
#include "common/Utf8.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <utility>

UniverseAddress SplitUniverse(std::string_view text) {
    text = Trim(text);
    if (text.empty()) {
        return {kDefaultUniverseHost, 0};
    }
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return {std::string(text), 0};
    }
    return {std::string(text.substr(0, colon)), ReadDecimal(text.substr(colon + 1))};
}

std::string UniverseText(const std::string &host, int port) { return host + ":" + std::to_string(port); }

std::optional<std::string> UnsavableFieldMessage(std::string_view what, std::string_view text) {
    if (text.find(':') != std::string_view::npos) {
        return "The " + std::string(what) +
               " cannot contain a colon (\":\"): profiles.txt separates its fields with "
               "colons.";
    }
    if (text.find_first_of("\r\n") != std::string_view::npos) {
        return "The " + std::string(what) + " cannot contain a line break.";
    }
    return std::nullopt;
}

bool SameProfileName(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

bool ProfileNameLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(FoldChar(x)) < static_cast<unsigned char>(FoldChar(y));
    });
}

std::optional<LoginProfile> ProfileStore::ParseLine(std::string_view line) {
    line = Trim(line);
    if (line.empty()) {
        return std::nullopt;
    }
    std::array<std::string_view, 8> fields;
    for (auto &field : fields) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        field = line.substr(0, colon);
        line.remove_prefix(colon + 1);
    }
    LoginProfile profile;
    profile.name = std::string(fields[0]);
    profile.citizen = ReadDecimal(fields[1]);
    profile.privilegePassword = std::string(fields[2]);
    profile.botName = std::string(fields[3]);
    profile.universeHost = std::string(fields[4]);
    profile.universePort = ReadDecimal(fields[5]);
    profile.world = std::string(fields[6]);
    profile.coordinates = std::string(fields[7]);
    return profile;
}

std::string ProfileStore::FormatLine(const LoginProfile &p) {
    return p.name + ":" + std::to_string(p.citizen) + ":" + p.privilegePassword + ":" + p.botName + ":" +
           p.universeHost + ":" + std::to_string(p.universePort) + ":" + p.world + ":" + p.coordinates + ":\r\n";
}

void ProfileStore::ReadText(std::string_view text) {
    // An editor's byte-order mark would otherwise become part of the first profile's name.
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (auto profile = ParseLine(line)) {
            Add(std::move(*profile));
        }
    }
}

bool ProfileStore::Read(const std::string &path) {
    profiles_.clear();
    const auto content = ReadWholeFile(path);
    if (!content) {
        std::error_code error;
        return !std::filesystem::exists(path, error) && !error;
    }
    ReadText(*content);
    return true;
}

std::string ProfileStore::Text() const {
    std::string text;
    for (const auto &profile : profiles_) {
        text += FormatLine(profile);
    }
    return GuardLeadingMark(std::move(text));
}

FileResult ProfileStore::Write(const std::string &path) const { return WriteFileAtomically(path, Text(), true); }

const LoginProfile *ProfileStore::Find(std::string_view name) const {
    const auto found = std::find_if(profiles_.begin(), profiles_.end(),
                                    [&](const LoginProfile &p) { return SameProfileName(p.name, name); });
    return found == profiles_.end() ? nullptr : &*found;
}

LoginProfile *ProfileStore::Find(std::string_view name) {
    return const_cast<LoginProfile *>(std::as_const(*this).Find(name));
}

bool ProfileStore::Add(LoginProfile profile) {
    if (Find(profile.name)) {
        return false;
    }
    profiles_.push_back(std::move(profile));
    return true;
}

FileResult EnsureProfile(const std::string &path, const LoginProfile &profile) {
    ProfileStore store;
    if (!store.Read(path)) {
        return {false, "Cannot read \"" + path + "\", so the profile \"" + profile.name + "\" was not added to it."};
    }
    if (LoginProfile *existing = store.Find(profile.name)) {
        existing->universeHost = profile.universeHost;
        existing->universePort = profile.universePort;
    } else {
        store.Add(profile);
    }
    return store.Write(path);
}

FileResult MoveProfilesToPort(const std::string &path, int oldPort, int newPort) {
    ProfileStore store;
    if (!store.Read(path)) {
        return {false,
                "Cannot read \"" + path + "\", so its profiles still name the port " + std::to_string(oldPort) + "."};
    }
    bool moved = false;
    for (const LoginProfile &profile : store.Profiles()) {
        const std::string &host = profile.universeHost;
        const bool here = host.empty() || SameProfileName(host, "localhost") || host == "127.0.0.1" || host == "::1";
        if (here && profile.universePort == oldPort) {
            store.Find(profile.name)->universePort = newPort;
            moved = true;
        }
    }
    return moved ? store.Write(path) : FileResult{};
}
