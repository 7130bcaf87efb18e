#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

// Bots are told from people by their names alone: "[" starts a bot's name, a double quote a visitor's (a tourist
// without citizenship), anything else a citizen's.
inline bool IsBotName(std::string_view name) { return !name.empty() && name.front() == '['; }
inline bool IsVisitorName(std::string_view name) { return !name.empty() && name.front() == '"'; }
inline bool IsCitizenName(std::string_view name) { return !IsBotName(name) && !IsVisitorName(name); }

// One avatar the world reports. Positions are centimetres (x positive west, z positive north), yaw tenths of a
// degree.
struct AvatarRecord {
    std::string name; // as the world reports it, brackets or quotes included
    int session = 0;
    int x = 0;
    int y = 0;
    int z = 0;
    int yaw = 0;
    int avatarType = 0;
    int browserBuild = 0; // 0 when the world did not say
    int citizen = 0;      // 0 for none
    int privilege = 0;    // the citizen whose privileges it uses; 0 for none
    bool operator==(const AvatarRecord &) const = default;
};

// The avatars of the current world in order of arrival, at most one per session. The list keeps the order; an
// index by session beside it makes find, add, update and remove constant-time, so a busy world's thousands of
// arrivals in one pump stay cheap.
class AvatarRoster {
public:
    AvatarRoster() = default;
    AvatarRoster(const AvatarRoster &) = delete;
    AvatarRoster &operator=(const AvatarRoster &) = delete;

    // The record of a session, or nothing. The pointer is good until that record is removed.
    const AvatarRecord *Find(int session) const;
    // Appends the record at the tail, first removing any record of the same session.
    void Add(AvatarRecord record);
    // Sets position, yaw and avatar type; false when the session is not here.
    bool Update(int session, int x, int y, int z, int yaw, int avatarType);
    bool Remove(int session);
    void Clear();
    std::size_t Count() const { return index_.size(); }

    // Visits the records in arrival order. The visitor may add and remove records: a record removed during the
    // walk is not visited any more (its storage is kept until the walk is over), one added is visited at the end.
    template <class Visit> void ForEach(Visit &&visit) const {
        WalkGuard guard(*this);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (!it->gone) {
                visit(it->record);
            }
        }
    }

private:
    struct Entry {
        AvatarRecord record;
        bool gone = false; // removed during a walk, erased when the walk is over
    };
    struct WalkGuard {
        explicit WalkGuard(const AvatarRoster &roster) : roster(roster) { ++roster.walks_; }
        ~WalkGuard();
        WalkGuard(const WalkGuard &) = delete;
        WalkGuard &operator=(const WalkGuard &) = delete;
        const AvatarRoster &roster;
    };
    void Erase(std::list<Entry>::iterator entry);

    std::list<Entry> entries_;
    std::unordered_map<int, std::list<Entry>::iterator> index_;
    mutable int walks_ = 0;
    mutable bool sweep_ = false;
};

// The coordinate text of the avatar with that session, or "0n 0e" when the roster has no record of it.
std::string FormatAvatarCoordinates(const AvatarRoster &roster, int session);
