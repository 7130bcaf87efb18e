#include "chat/WorldRecords.h"

std::string WorldRecords::Key(std::string_view name) { return FoldName(name); }

void WorldRecords::Clear() {
    records_.clear();
    index_.clear();
    ++generation_;
}

void WorldRecords::Report(std::string_view name, int status, int users) {
    if (status < 0 || status > 3) {
        return;
    }
    const std::string key = Key(name);
    const auto found = index_.find(key);
    if (status == 3) {
        if (found != index_.end()) {
            records_.erase(found->second);
            index_.erase(found);
            ++generation_;
        }
        return;
    }
    if (found != index_.end()) {
        found->second->users = users;
        found->second->status = status;
    } else {
        records_.push_back({std::string(name), users, status, nameOrder_.Key(name)});
        index_.emplace(key, std::prev(records_.end()));
    }
    ++generation_;
}

const WorldRecords::Record *WorldRecords::Find(std::string_view name) const {
    const auto found = index_.find(Key(name));
    return found == index_.end() ? nullptr : &*found->second;
}
