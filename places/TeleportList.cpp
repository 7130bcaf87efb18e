#include "places/TeleportList.h"

#include "places/Coordinates.h"
#include "places/Movement.h"
#include "places/TextLines.h"

#include <algorithm>
#include <utility>

std::string DeleteTeleportQuestion(std::string_view name) {
    return "Are you sure you wish to delete '" + std::string(name) + "' ?";
}

void TeleportList::Load(const std::string &path) {
    rows_.clear();
    const auto content = ReadListFile(path, "The places you remember", kept_);
    if (!content) {
        return;
    }
    LoadText(*content);
}

void TeleportList::LoadText(std::string_view content) {
    rows_.clear();
    for (const auto line : SplitFileLines(content)) {
        AddLine(Trim(line));
    }
}

FileResult TeleportList::Save(const std::string &path) const {
    if (kept_.keep) {
        // Every row was added in this run, since the file gave none.
        return rows_.empty() ? FileResult{} : WriteFileAtomically(kept_.path, SaveText());
    }
    return WriteFileAtomically(path, SaveText());
}

std::string TeleportList::SaveText() const {
    std::string text;
    for (const auto &row : rows_) {
        text += row.location;
        text += ':';
        text += row.name;
        text += "\r\n";
    }
    return GuardLeadingMark(std::move(text));
}

std::optional<std::size_t> TeleportList::AddLine(std::string_view line) {
    const auto colon = line.find(':');
    if (line.empty() || colon == std::string_view::npos) {
        return std::nullopt;
    }
    TeleportEntry entry{OneLine(line.substr(colon + 1)), OneLine(line.substr(0, colon))};
    const auto at = std::upper_bound(
        rows_.begin(), rows_.end(), entry.name,
        [this](const std::string &name, const TeleportEntry &row) { return order_.Less(name, row.name); });
    const auto index = static_cast<std::size_t>(at - rows_.begin());
    rows_.insert(at, std::move(entry));
    return index;
}

std::optional<std::size_t> TeleportList::Remember(std::string_view world, const Position &bot, std::string_view name) {
    if (name.empty()) {
        return std::nullopt;
    }
    return AddLine(RememberLine(world, bot, name));
}

std::optional<std::size_t> TeleportList::Edit(std::size_t row, std::string_view location, std::string_view name) {
    if (row >= rows_.size()) {
        return std::nullopt;
    }
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
    std::string line(location);
    line += ':';
    line += name;
    return AddLine(line);
}

bool TeleportList::Delete(std::size_t row) {
    if (row >= rows_.size()) {
        return false;
    }
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
    return true;
}

std::optional<TeleportTarget> TeleportList::Destination(std::size_t row) const {
    if (row >= rows_.size()) {
        return std::nullopt;
    }
    return ReadLocation(rows_[row].location);
}

std::string TeleportList::RememberLine(std::string_view world, const Position &bot, std::string_view name) {
    std::string line(world);
    line += ' ';
    line += FormatCoordinates(bot.z, bot.x, bot.y, bot.yaw);
    line += ':';
    line += name;
    return line;
}
