#include "server/SessionSet.h"

namespace {
std::size_t Hash(int session) {
    // Session numbers come in sequence; spreading them keeps neighbours from clustering.
    return static_cast<std::size_t>(static_cast<std::uint32_t>(session) * 2654435761u);
}
} // namespace

std::size_t SessionSet::Slot(int session) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = Hash(session) & mask;
    while (slots_[i] != 0 && slots_[i] != session)
        i = (i + 1) & mask;
    return i;
}

bool SessionSet::Contains(int session) const { return !slots_.empty() && slots_[Slot(session)] == session; }

bool SessionSet::Insert(int session) {
    if ((size_ + 1) * 2 > slots_.size())
        Grow();
    const std::size_t i = Slot(session);
    if (slots_[i] == session)
        return false;
    slots_[i] = session;
    ++size_;
    return true;
}

bool SessionSet::Erase(int session) {
    if (slots_.empty())
        return false;
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = Slot(session);
    if (slots_[hole] != session)
        return false;
    slots_[hole] = 0;
    --size_;
    // Pull back the entries after the hole that would no longer be found past it.
    for (std::size_t i = (hole + 1) & mask; slots_[i] != 0; i = (i + 1) & mask) {
        const std::size_t home = Hash(slots_[i]) & mask;
        const bool between = hole <= i ? (hole < home && home <= i) : (hole < home || home <= i);
        if (!between) {
            slots_[hole] = slots_[i];
            slots_[i] = 0;
            hole = i;
        }
    }
    return true;
}

void SessionSet::Clear() {
    slots_ = {};
    size_ = 0;
}

void SessionSet::Grow() {
    std::vector<int> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, 0);
    size_ = 0;
    for (const int s : old)
        if (s != 0)
            Insert(s);
}
