#include "automation/ScriptStore.h"

#include <filesystem>

namespace {

// One entry a line, "key<TAB>value", with backslash escapes for the characters that would break the line.
std::string Escape(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

ScriptStore::ScriptStore(std::string path, std::size_t cap) : path_(std::move(path)), cap_(cap) {
    std::optional<std::string> content = ReadWholeFile(path_);
    if (!content) {
        return;
    }
    std::size_t start = 0;
    int lineNumber = 0;
    while (start < content->size()) {
        std::size_t end = content->find('\n', start);
        if (end == std::string::npos) {
            end = content->size();
        }
        std::string_view line(content->data() + start, end - start);
        start = end + 1;
        ++lineNumber;
        std::size_t tab = line.find('\t');
        std::optional<std::string> key = tab == std::string_view::npos ? std::nullopt : Unescape(line.substr(0, tab));
        std::optional<std::string> value = key ? Unescape(line.substr(tab + 1)) : std::nullopt;
        if (!value || size_ + key->size() + value->size() > cap_) {
            if (loadProblem_.empty()) {
                loadProblem_ = path_ + ": line " + std::to_string(lineNumber) + " could not be read; it is left out.";
            }
            continue;
        }
        size_ += key->size() + value->size();
        values_[*key] = *value;
    }
}

std::optional<std::string> ScriptStore::Get(const std::string &key) const {
    auto found = values_.find(key);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

FileResult ScriptStore::Set(const std::string &key, const std::optional<std::string> &value) {
    auto found = values_.find(key);
    std::size_t old = found == values_.end() ? 0 : key.size() + found->second.size();
    std::size_t added = value ? key.size() + value->size() : 0;
    if (size_ - old + added > cap_) {
        return {false, "the script's store is full (" + std::to_string(cap_ / 1024) + " KiB)"};
    }
    std::map<std::string, std::string> next = values_;
    if (value) {
        next[key] = *value;
    } else {
        next.erase(key);
    }
    std::string content;
    for (const auto &[k, v] : next) {
        content += Escape(k) + "\t" + Escape(v) + "\n";
    }
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
    FileResult written = WriteFileAtomically(path_, content, true);
    if (written.ok) {
        values_ = std::move(next);
        size_ = size_ - old + added;
    }
    return written;
}
