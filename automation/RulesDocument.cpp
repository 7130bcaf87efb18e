#include "automation/RulesDocument.h"

#include "automation/RulesFile.h"

#include <utility>

RulesDocument::RulesDocument(std::string path) : path_(std::move(path)) { Reload(); }

void RulesDocument::Reload() {
    read_ = ReadWholeFile(path_);
    RulesFileResult parsed = ParseRules(read_ ? *read_ : std::string());
    rules_ = std::move(parsed.rules);
    problems_ = std::move(parsed.problems);
    modified_ = false;
}

void RulesDocument::Add(Rule rule) {
    rules_.push_back(std::move(rule));
    modified_ = true;
}

void RulesDocument::Replace(std::size_t index, Rule rule) {
    if (index < rules_.size()) {
        rules_[index] = std::move(rule);
        modified_ = true;
    }
}

void RulesDocument::Remove(std::size_t index) {
    if (index < rules_.size()) {
        rules_.erase(rules_.begin() + static_cast<std::ptrdiff_t>(index));
        modified_ = true;
    }
}

bool RulesDocument::Move(std::size_t index, int by) {
    const std::size_t to = index + static_cast<std::size_t>(by);
    if (index >= rules_.size() || to >= rules_.size()) {
        return false;
    }
    std::swap(rules_[index], rules_[to]);
    modified_ = true;
    return true;
}

void RulesDocument::SetEnabled(std::size_t index, bool enabled) {
    if (index < rules_.size() && rules_[index].enabled != enabled) {
        rules_[index].enabled = enabled;
        modified_ = true;
    }
}

std::vector<std::string> RulesDocument::OtherNames(std::optional<std::size_t> index) const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        if (!index || i != *index) {
            names.push_back(rules_[i].name);
        }
    }
    return names;
}

RulesDocument::SaveOutcome RulesDocument::Save(bool force) {
    if (!force && ReadWholeFile(path_) != read_) {
        error_ = path_ + " was changed outside this window since it was read.";
        return SaveOutcome::ChangedOnDisk;
    }
    if (!force && !problems_.empty()) {
        error_ = path_ + " has rules with mistakes that this window cannot show; saving leaves them out.";
        return SaveOutcome::WouldDropBroken;
    }
    const std::string text = FormatRules(rules_);
    const FileResult written = WriteFileAtomically(path_, text);
    if (!written.ok) {
        error_ = written.error;
        return SaveOutcome::Failed;
    }
    read_ = text;
    problems_.clear();
    modified_ = false;
    error_.clear();
    return SaveOutcome::Saved;
}
