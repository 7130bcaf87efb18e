#pragma once

#include "common/AtomicFile.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>

// A script's own small key/value store, kept in one file it cannot name: the only thing a script keeps between
// runs. Keys and values are text; the whole store is capped so a script cannot fill the disk.
class ScriptStore {
public:
    static constexpr std::size_t kDefaultCap = 64 * 1024;

    ScriptStore(std::string path, std::size_t cap = kDefaultCap);

    std::optional<std::string> Get(const std::string &key) const;
    // Sets (or with nullopt removes) a key and writes the file. Refused, with the store unchanged, past the cap.
    FileResult Set(const std::string &key, const std::optional<std::string> &value);
    std::size_t Size() const { return size_; }
    // What could not be read at the start, for the pane; empty when all went well.
    const std::string &LoadProblem() const { return loadProblem_; }

private:
    std::string path_;
    std::size_t cap_;
    std::map<std::string, std::string> values_;
    std::size_t size_ = 0;
    std::string loadProblem_;
};
