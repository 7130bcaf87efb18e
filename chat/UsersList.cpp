#include "chat/UsersList.h"

#include "common/TextCase.h"

#include <limits>
#include <tuple>

// A treap: a search tree on the row order whose shape follows random priorities, which keeps its depth
// logarithmic whatever order the names arrive in.
struct UsersList::Node {
    UsersRow row;
    std::string key; // the name with letter case folded
    std::uint32_t priority = 0;
    std::size_t size = 1; // nodes in this subtree
    // Nodes in the left subtree, kept here so that a walk to the right need not touch the left child.
    std::size_t leftSize = 0;
    Node *left = nullptr;
    Node *right = nullptr;
};

UsersList::UsersList() : priorities_(20240601u) {}

UsersList::~UsersList() = default;

bool UsersList::Less(const Node &a, const Node &b) {
    return std::tie(a.key, a.row.name, a.row.session) < std::tie(b.key, b.row.name, b.row.session);
}

std::size_t UsersList::Size(const Node *node) { return node ? node->size : 0; }

void UsersList::Resize(Node *node) {
    node->leftSize = Size(node->left);
    node->size = 1 + node->leftSize + Size(node->right);
}

UsersList::Node *UsersList::Merge(Node *less, Node *rest) {
    if (!less || !rest) {
        return less ? less : rest;
    }
    if (less->priority > rest->priority) {
        less->right = Merge(less->right, rest);
        Resize(less);
        return less;
    }
    rest->left = Merge(less, rest->left);
    Resize(rest);
    return rest;
}

std::size_t UsersList::RankOf(const Node &key) const {
    std::size_t rank = 0;
    for (const Node *node = root_; node;) {
        if (Less(*node, key)) {
            rank += node->leftSize + 1;
            node = node->right;
        } else {
            node = node->left;
        }
    }
    return rank;
}

std::size_t UsersList::Descend(const Node &key) {
    // One walk with the comparisons; linking and unlinking then follow the recorded path without comparing again.
    path_.clear();
    std::size_t rank = 0;
    for (Node *node = root_; node && node != &key;) {
        const bool right = Less(*node, key);
        path_.push_back({node, right});
        if (right) {
            rank += node->leftSize + 1;
            node = node->right;
        } else {
            node = node->left;
        }
    }
    return rank;
}

UsersList::Node **UsersList::LinkTo(std::size_t depth) {
    if (depth == 0) {
        return &root_;
    }
    const Step &above = path_[depth - 1];
    return above.right ? &above.node->right : &above.node->left;
}

void UsersList::Link(Node &node) {
    // The new node goes where its priority puts it on the search path; everything below it on that path is split
    // into the parts before and after it, by the directions the search took.
    std::size_t depth = 0;
    while (depth < path_.size() && path_[depth].node->priority > node.priority) {
        Node *above = path_[depth].node;
        ++above->size;
        above->leftSize += path_[depth].right ? 0 : 1;
        ++depth;
    }
    Node **before = &node.left;
    Node **after = &node.right;
    for (std::size_t i = depth; i < path_.size(); ++i) {
        Node *n = path_[i].node;
        if (path_[i].right) {
            *before = n;
            before = &n->right;
        } else {
            *after = n;
            after = &n->left;
        }
    }
    *before = nullptr;
    *after = nullptr;
    for (std::size_t i = path_.size(); i-- > depth;) {
        Resize(path_[i].node);
    }
    Resize(&node);
    *LinkTo(depth) = &node;
}

void UsersList::Unlink(Node &node) {
    for (const Step &step : path_) {
        --step.node->size;
        step.node->leftSize -= step.right ? 0 : 1;
    }
    *LinkTo(path_.size()) = Merge(node.left, node.right);
}

void UsersList::Insert(std::string_view name, int session, bool muted) {
    Remove(session);
    Node fresh;
    fresh.row = UsersRow{std::string(name), session, muted};
    fresh.key = FoldCase(name);
    fresh.priority = static_cast<std::uint32_t>(priorities_());
    const std::size_t row = Descend(fresh);
    if (observer_) {
        observer_->BeginInsertRow(row);
    }
    Node &node = bySession_.emplace(session, std::move(fresh)).first->second;
    Link(node);
    if (observer_) {
        observer_->EndInsertRow();
    }
}

bool UsersList::Remove(int session) {
    const auto found = bySession_.find(session);
    if (found == bySession_.end()) {
        return false;
    }
    Node &node = found->second;
    const std::size_t row = Descend(node) + node.leftSize;
    if (observer_) {
        observer_->BeginRemoveRow(row);
    }
    Unlink(node);
    bySession_.erase(found);
    if (observer_) {
        observer_->EndRemoveRow();
    }
    return true;
}

void UsersList::SetMuted(std::string_view name, bool muted) {
    // Rows of one exact name stand together in the order, from the lowest session up.
    Node first;
    first.row.name = std::string(name);
    first.row.session = std::numeric_limits<int>::min();
    first.key = FoldCase(name);
    for (std::size_t row = RankOf(first); row < Count(); ++row) {
        UsersRow &found = NodeAt(row)->row;
        if (found.name != name) {
            break;
        }
        if (found.muted != muted) {
            found.muted = muted;
            if (observer_) {
                observer_->MutedChanged(row);
            }
        }
    }
}

void UsersList::Clear() {
    if (observer_) {
        observer_->BeginReset();
    }
    root_ = nullptr;
    bySession_.clear();
    if (observer_) {
        observer_->EndReset();
    }
}

const UsersRow &UsersList::Row(std::size_t row) const { return NodeAt(row)->row; }

UsersList::Node *UsersList::NodeAt(std::size_t row) const {
    Node *node = root_;
    for (;;) {
        const std::size_t left = node->leftSize;
        if (row < left) {
            node = node->left;
        } else if (row == left) {
            return node;
        } else {
            row -= left + 1;
            node = node->right;
        }
    }
}

std::optional<std::size_t> UsersList::RowOf(int session) const {
    const auto found = bySession_.find(session);
    if (found == bySession_.end()) {
        return std::nullopt;
    }
    return RankOf(found->second);
}
