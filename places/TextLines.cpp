#include "places/TextLines.h"

#include "common/AtomicFile.h"

#include <filesystem>
#include <fstream>

std::vector<std::string_view> SplitFileLines(std::string_view content) {
    if (content.starts_with(kByteOrderMark)) {
        content.remove_prefix(kByteOrderMark.size());
    }
    std::vector<std::string_view> lines;
    while (!content.empty()) {
        const auto end = content.find_first_of("\r\n");
        std::string_view line = content.substr(0, end);
        if (const auto nul = line.find('\0'); nul != std::string_view::npos) {
            line = line.substr(0, nul);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        const bool crlf = content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n';
        content.remove_prefix(end + (crlf ? 2 : 1));
    }
    return lines;
}

std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char &c : out) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    return out;
}

bool ExistsButUnreadable(const std::string &path) {
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error);
    if (error) {
        return true; // cannot even tell: treat it as something worth keeping
    }
    return exists && !std::ifstream(path, std::ios::binary);
}

std::string KeptChangesPath(const std::string &path) {
    std::string candidate = path + ".unsaved";
    std::error_code error;
    for (int n = 2; std::filesystem::symlink_status(candidate, error).type() != std::filesystem::file_type::not_found;
         ++n) {
        candidate = path + ".unsaved-" + std::to_string(n);
    }
    return candidate;
}

std::optional<std::string> ReadListFile(const std::string &path, std::string_view changes, KeptFile &kept) {
    kept = {};
    auto content = ReadWholeFile(path);
    if (!content && ExistsButUnreadable(path)) {
        kept.keep = true;
        kept.path = KeptChangesPath(path);
        kept.message = "\"" + path + "\" cannot be read, so Gabbler leaves it as it is. " + std::string(changes) +
                       " until Gabbler exits will be saved in \"" + kept.path + "\".";
    }
    return content;
}
