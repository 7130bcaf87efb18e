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
    Node *left = nullptr;
    Node *right = nullptr;
};

UsersList::UsersList() : priorities_(20240601u) {}

UsersList::~UsersList() = default;

bool UsersList::Less(const Node &a, const Node &b) {
    return std::tie(a.key, a.row.name, a.row.session) < std::tie(b.key, b.row.name, b.row.session);
}

std::size_t UsersList::Size(const Node *node) { return node ? node->size : 0; }

void UsersList::Resize(Node *node) { node->size = 1 + Size(node->left) + Size(node->right); }

void UsersList::Split(Node *tree, const Node &key, Node *&less, Node *&rest) {
    if (!tree) {
        less = rest = nullptr;
        return;
    }
    if (Less(*tree, key)) {
        Split(tree->right, key, tree->right, rest);
        less = tree;
    } else {
        Split(tree->left, key, less, tree->left);
        rest = tree;
    }
    Resize(tree);
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
            rank += Size(node->left) + 1;
            node = node->right;
        } else {
            node = node->left;
        }
    }
    return rank;
}

void UsersList::Link(Node &node) {
    Node **link = &root_;
    while (*link && (*link)->priority > node.priority) {
        ++(*link)->size;
        link = Less(node, **link) ? &(*link)->left : &(*link)->right;
    }
    Split(*link, node, node.left, node.right);
    Resize(&node);
    *link = &node;
}

void UsersList::Unlink(Node &node) {
    Node **link = &root_;
    while (*link != &node) {
        --(*link)->size;
        link = Less(node, **link) ? &(*link)->left : &(*link)->right;
    }
    *link = Merge(node.left, node.right);
}

void UsersList::Insert(std::string_view name, int session, bool muted) {
    Remove(session);
    Node fresh;
    fresh.row = UsersRow{std::string(name), session, muted};
    fresh.key = FoldCase(name);
    fresh.priority = static_cast<std::uint32_t>(priorities_());
    const std::size_t row = RankOf(fresh);
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
    if (observer_) {
        observer_->BeginRemoveRow(RankOf(found->second));
    }
    Unlink(found->second);
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
        const std::size_t left = Size(node->left);
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
