// gabbler.ini as a person or an accident may leave it. Every value the file holds is still there, unchanged, after
// a save and a new read; and a value the program sets reads back as set, whatever the file around it holds.
//
// Input: a byte choosing a key, a piece of value text, then the file.

#include "common/IniFile.h"
#include "common/TextCase.h"
#include "fuzz/FuzzBytes.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Section and key names that the written text shows: "[name]" lines and "key=" lines after them. Some are not
// entries at all (comments); asking for those is harmless.
std::vector<std::pair<std::string, std::string>> Names(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> names;
    std::string section;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.starts_with('[') && line.find(']') != std::string_view::npos) {
            section = std::string(Trimmed(line.substr(1, line.find(']') - 1)));
        } else if (const auto equals = line.find('='); equals != std::string_view::npos) {
            names.emplace_back(section, std::string(Trimmed(line.substr(0, equals))));
        }
    }
    return names;
}

std::string WithoutLineBreaks(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != '\r' && c != '\n') {
            out += c;
        }
    }
    return out;
}

} // namespace

int FuzzIni(const std::uint8_t *data, std::size_t size) {
    static const std::pair<const char *, const char *> kKeys[] = {
        {"Settings", "WaveLocation"}, {"Settings", "ChatBoxRed"}, {"Global", "EnterGlobal"},
        {"Fonts", "FaceName"},        {"Feedback", "Host"},       {"settings", "waveLocation"},
    };
    FuzzBytes input(data, size);
    const auto &[section, key] = kKeys[input.Byte() % std::size(kKeys)];
    const std::string value(input.Piece());
    const std::string_view text = input.Rest();

    const IniFile loaded = IniFile::Parse(text);
    const std::string saved = loaded.Text();
    const IniFile again = IniFile::Parse(saved);
    for (const auto &[s, k] : Names(saved)) {
        FUZZ_CHECK(again.Get(s, k) == loaded.Get(s, k), "every value reads back the same after a save");
    }

    IniFile changed = loaded;
    changed.SetString(section, key, value);
    const IniFile reread = IniFile::Parse(changed.Text());
    const std::string expected(Trimmed(WithoutLineBreaks(value)));
    FUZZ_CHECK(reread.Get(section, key) == expected, "a value set reads back as set");
    for (const auto &[s, k] : Names(saved)) {
        if (!(EqualsNoCase(s, section) && EqualsNoCase(k, key))) {
            FUZZ_CHECK(reread.Get(s, k) == loaded.Get(s, k), "setting one value leaves the others alone");
        }
    }

    changed.SetInt(section, key, static_cast<int>(value.size()) - 128);
    FUZZ_CHECK(IniFile::Parse(changed.Text()).GetInt(section, key, 12345) == static_cast<int>(value.size()) - 128,
               "an integer set reads back as set");
    return 0;
}
