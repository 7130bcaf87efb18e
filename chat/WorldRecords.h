#pragma once

#include "places/NameCompare.h"

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

// The universe's worlds as the world-information reports describe them, in order of first report. Names are
// unique without regard to letter case, in any script. A world reported gone is removed with its record, so nothing can
// keep pointing at it.
class WorldRecords {
public:
    struct Record {
        std::string name;
        int users = 0;
        int status = 0; // 1 open, 2 private, 0 any other state
        NameKey order;  // the name's place in the Worlds list's order, made once
    };

    // One report: status 0 to 2 adds or updates the world, 3 removes it, anything else is ignored.
    void Report(std::string_view name, int status, int users);

    // Forgets every world: the bot left the universe that reported them.
    void Clear();

    const Record *Find(std::string_view name) const;
    std::size_t Size() const { return records_.size(); }
    auto begin() const { return records_.begin(); }
    auto end() const { return records_.end(); }

    // Bumped on every change, so a list view can tell whether it must rebuild.
    unsigned Generation() const { return generation_; }

private:
    static std::string Key(std::string_view name);

    NameOrder nameOrder_;
    std::list<Record> records_;
    std::unordered_map<std::string, std::list<Record>::iterator> index_;
    unsigned generation_ = 0;
};
