#pragma once

// The rules as the Rules window edits them: read from the rules file, changed in the window, and written back whole
// and atomically. The file may have been changed by hand meanwhile, or hold rules with mistakes the window cannot
// show: saving over either is never silent.

#include "automation/Rule.h"
#include "common/AtomicFile.h"

#include <optional>
#include <string>
#include <vector>

class RulesDocument {
public:
    enum class SaveOutcome {
        Saved,
        ChangedOnDisk,   // the file is not what this document read: nothing written
        WouldDropBroken, // the file read had rules with mistakes that saving would leave out: nothing written
        Failed,
    };

    explicit RulesDocument(std::string path);

    // Reads the file again; the window's changes are dropped.
    void Reload();
    const std::vector<Rule> &Rules() const { return rules_; }
    // The mistakes of the file as read, "line 7: ..."; saving from the window leaves those rules out.
    const std::vector<std::string> &Problems() const { return problems_; }
    bool Modified() const { return modified_; }
    const std::string &Path() const { return path_; }

    void Add(Rule rule);
    void Replace(std::size_t index, Rule rule);
    void Remove(std::size_t index);
    // Moves a rule one place up (-1) or down (+1); false at an end.
    bool Move(std::size_t index, int by);
    void SetEnabled(std::size_t index, bool enabled);
    // The names of the rules other than the one at index (none for a new rule).
    std::vector<std::string> OtherNames(std::optional<std::size_t> index) const;

    // Writes the rules when the file is as it was read and nothing would be lost; force writes anyway.
    SaveOutcome Save(bool force = false);
    // The sentence for the user about the last failed or refused save.
    const std::string &Error() const { return error_; }

private:
    std::string path_;
    std::vector<Rule> rules_;
    std::vector<std::string> problems_;
    std::optional<std::string> read_; // the file's text as read or last written; nothing when it did not exist
    bool modified_ = false;
    std::string error_;
};
