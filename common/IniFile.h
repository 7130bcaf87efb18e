#pragma once

#include "common/AtomicFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A person-editable INI file: "[Section]" headers and "Key=Value" lines. Section and key names compare without
// regard to letter case. When a key appears twice in a section, the first one wins, for reading and for writing;
// the later copies are kept as they are. Comments (";" or "#"), blank lines, unknown sections and keys survive a
// load and save unchanged, so a person's additions are never lost. CR LF line ends and a UTF-8 byte-order mark are
// accepted; the file is written with LF line ends and without the mark (unless its first line itself begins with
// U+FEFF: then a mark goes in front, or the next read would take that character for one).
class IniFile {
public:
    IniFile() = default;
    static IniFile Parse(std::string_view text);

    // Reads path. A missing file gives an empty file and succeeds; an existing file that cannot be read fails and
    // leaves this object empty.
    bool Load(const std::string &path);
    // Replaces path atomically with Text().
    FileResult Save(const std::string &path) const;
    std::string Text() const;

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // A missing key gives fallback; a present one is read with ReadDecimal, so non-numeric text gives 0.
    int GetInt(std::string_view section, std::string_view key, int fallback) const;

    // Updates the key in place, or adds it after the section's last key, or adds the section at the end. Line
    // breaks in the value are dropped: they would turn the rest of it into lines of their own.
    void SetString(std::string_view section, std::string_view key, std::string_view value);
    void SetInt(std::string_view section, std::string_view key, int value);

private:
    struct Line {
        bool entry = false; // false: comment, blank or unparsable line, kept verbatim in raw
        std::string key;
        std::string value;
        std::string raw;
    };
    struct Section {
        bool header = true; // false only for lines before the first header
        std::string name;
        std::vector<Line> lines;
    };

    const Line *Find(std::string_view section, std::string_view key) const;
    Line *Find(std::string_view section, std::string_view key);

    std::vector<Section> sections_;
};
