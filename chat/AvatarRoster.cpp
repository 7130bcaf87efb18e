#include "chat/AvatarRoster.h"

#include "places/Coordinates.h"

AvatarRoster::WalkGuard::~WalkGuard() {
    if (--roster.walks_ == 0 && roster.sweep_) {
        // Only the outermost walk sweeps; the roster itself is not const, only the walk's view of it.
        auto &self = const_cast<AvatarRoster &>(roster);
        self.entries_.remove_if([](const Entry &entry) { return entry.gone; });
        self.sweep_ = false;
    }
}

const AvatarRecord *AvatarRoster::Find(int session) const {
    const auto found = index_.find(session);
    return found == index_.end() ? nullptr : &found->second->record;
}

void AvatarRoster::Add(AvatarRecord record) {
    Remove(record.session);
    const int session = record.session;
    entries_.push_back(Entry{std::move(record)});
    index_.emplace(session, std::prev(entries_.end()));
}

bool AvatarRoster::Update(int session, int x, int y, int z, int yaw, int avatarType) {
    const auto found = index_.find(session);
    if (found == index_.end()) {
        return false;
    }
    AvatarRecord &record = found->second->record;
    record.x = x;
    record.y = y;
    record.z = z;
    record.yaw = yaw;
    record.avatarType = avatarType;
    return true;
}

bool AvatarRoster::Remove(int session) {
    const auto found = index_.find(session);
    if (found == index_.end()) {
        return false;
    }
    const auto entry = found->second;
    index_.erase(found);
    Erase(entry);
    return true;
}

void AvatarRoster::Clear() {
    index_.clear();
    if (walks_ == 0) {
        entries_.clear();
        return;
    }
    for (Entry &entry : entries_) {
        entry.gone = true;
    }
    sweep_ = true;
}

void AvatarRoster::Erase(std::list<Entry>::iterator entry) {
    if (walks_ == 0) {
        entries_.erase(entry);
        return;
    }
    entry->gone = true;
    sweep_ = true;
}

std::string FormatAvatarCoordinates(const AvatarRoster &roster, int session) {
    const AvatarRecord *record = roster.Find(session);
    return record ? FormatCoordinates(record->z, record->x, record->y, record->yaw) : "0n 0e";
}
