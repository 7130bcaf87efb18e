#include "common/IniFile.h"

#include "common/Decimal.h"
#include "common/TextCase.h"
#include "common/TextTrim.h"
#include "common/Utf8.h"

#include <filesystem>
#include <iterator>
#include <utility>

namespace {

std::string WithoutLineBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c != '\r' && c != '\n') {
            result += c;
        }
    }
    return result;
}

} // namespace

IniFile IniFile::Parse(std::string_view text) {
    IniFile file;
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (raw.ends_with('\r')) {
            raw.remove_suffix(1);
        }
        const std::string_view line = Trim(raw);
        if (line.starts_with('[') && line.find(']') != std::string_view::npos) {
            const std::string_view name = Trim(line.substr(1, line.find(']') - 1));
            file.sections_.push_back({true, std::string(name), {}});
            continue;
        }
        if (file.sections_.empty()) {
            file.sections_.push_back({false, {}, {}});
        }
        Line parsed;
        parsed.raw = std::string(raw);
        const auto equals = line.find('=');
        if (!line.starts_with(';') && !line.starts_with('#') && equals != std::string_view::npos) {
            const std::string_view key = Trim(line.substr(0, equals));
            if (!key.empty() && file.sections_.back().header) {
                parsed.entry = true;
                parsed.key = std::string(key);
                parsed.value = std::string(Trim(line.substr(equals + 1)));
            }
        }
        file.sections_.back().lines.push_back(std::move(parsed));
    }
    return file;
}

bool IniFile::Load(const std::string &path) {
    sections_.clear();
    const auto content = ReadWholeFile(path);
    if (!content) {
        std::error_code error;
        return !std::filesystem::exists(path, error) && !error;
    }
    *this = Parse(*content);
    return true;
}

FileResult IniFile::Save(const std::string &path) const { return WriteFileAtomically(path, Text()); }

std::string IniFile::Text() const {
    std::string text;
    for (const auto &section : sections_) {
        if (section.header) {
            text += "[" + section.name + "]\n";
        }
        for (const auto &line : section.lines) {
            text += line.entry ? line.key + "=" + line.value : line.raw;
            text += '\n';
        }
    }
    return GuardLeadingMark(std::move(text));
}

const IniFile::Line *IniFile::Find(std::string_view section, std::string_view key) const {
    for (const auto &s : sections_) {
        if (!s.header || !EqualsNoCase(s.name, section)) {
            continue;
        }
        for (const auto &line : s.lines) {
            if (line.entry && EqualsNoCase(line.key, key)) {
                return &line;
            }
        }
    }
    return nullptr;
}

IniFile::Line *IniFile::Find(std::string_view section, std::string_view key) {
    return const_cast<Line *>(std::as_const(*this).Find(section, key));
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    if (const Line *line = Find(section, key)) {
        return line->value;
    }
    return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const {
    const Line *line = Find(section, key);
    return line ? line->value : std::string(fallback);
}

int IniFile::GetInt(std::string_view section, std::string_view key, int fallback) const {
    const Line *line = Find(section, key);
    return line ? ReadDecimal(line->value) : fallback;
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    // Surrounding white space would not survive the next read; the key must not be able to break a line either.
    const std::string cleanValue(Trim(WithoutLineBreaks(value)));
    if (Line *found = Find(section, key)) {
        found->value = cleanValue;
        return;
    }
    Line line{true, std::string(Trim(WithoutLineBreaks(key))), cleanValue, {}};
    for (auto &s : sections_) {
        if (s.header && EqualsNoCase(s.name, section)) {
            // After the last key, so the blank lines and comments that end the section stay between sections.
            auto at = s.lines.end();
            while (at != s.lines.begin() && !std::prev(at)->entry) {
                --at;
            }
            s.lines.insert(at, std::move(line));
            return;
        }
    }
    sections_.push_back({true, std::string(section), {std::move(line)}});
}

void IniFile::SetInt(std::string_view section, std::string_view key, int value) {
    SetString(section, key, std::to_string(value));
}
