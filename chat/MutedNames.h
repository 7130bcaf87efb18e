#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>

// The names whose chat, whispers and questions are dropped unseen. Exact names, case-sensitive, held for the whole
// run and never written to disk. Each name is kept whole, so muting b'a cannot silence a, nor the pair A and B a
// person named A''B.
class MutedNames {
public:
    void Mute(std::string_view name) { names_.emplace(name); }
    void Unmute(std::string_view name) {
        if (const auto found = names_.find(name); found != names_.end()) {
            names_.erase(found);
        }
    }
    bool IsMuted(std::string_view name) const { return names_.find(name) != names_.end(); }
    std::size_t Count() const { return names_.size(); }

private:
    std::set<std::string, std::less<>> names_;
};
