#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One row of the Users list: the name shown in the first column, the session it stands for, and whether the
// "Muted" column says "Yes".
struct UsersRow {
    std::string name;
    int session = 0;
    bool muted = false;
};

// Told of every change to the rows, in the order of a Qt item model's notifications, so a model can pass them on
// one by one: the row number given is the row's place before the change.
class UsersListObserver {
public:
    virtual ~UsersListObserver() = default;
    virtual void BeginInsertRow(std::size_t row) = 0;
    virtual void EndInsertRow() = 0;
    virtual void BeginRemoveRow(std::size_t row) = 0;
    virtual void EndRemoveRow() = 0;
    virtual void MutedChanged(std::size_t row) = 0;
    virtual void BeginReset() = 0;
    virtual void EndReset() = 0;
};

// The rows of the Users list, always in ascending order of the name (letter case folded first, then the exact
// name, then the session, so the order is total). One row per session. Rows live in a search tree that knows the
// size of each subtree, so an insert or a removal finds its row number in logarithmic time and nothing is ever
// re-sorted; a hash by session finds the row of a departure at once.
class UsersList {
public:
    UsersList();
    ~UsersList();
    UsersList(const UsersList &) = delete;
    UsersList &operator=(const UsersList &) = delete;

    void SetObserver(UsersListObserver *observer) { observer_ = observer; }

    // Adds the row of a session, replacing the row that session had.
    void Insert(std::string_view name, int session, bool muted);
    bool Remove(int session);
    // Sets the "Muted" column of every row showing exactly this name.
    void SetMuted(std::string_view name, bool muted);
    void Clear();

    std::size_t Count() const { return bySession_.size(); }
    // The row at a position, 0 <= row < Count(). The reference is good until the list changes.
    const UsersRow &Row(std::size_t row) const;
    std::optional<std::size_t> RowOf(int session) const;

private:
    struct Node;
    static bool Less(const Node &a, const Node &b);
    static std::size_t Size(const Node *node);
    static void Resize(Node *node);
    static Node *Merge(Node *less, Node *rest);
    std::size_t RankOf(const Node &key) const;
    Node *NodeAt(std::size_t row) const;
    // The nodes from the root down to a key, and whether the walk went right (the node is before the key).
    std::size_t Descend(const Node &key);
    Node **LinkTo(std::size_t depth);
    void Link(Node &node);
    void Unlink(Node &node);

    struct Step {
        Node *node;
        bool right;
    };
    std::vector<Step> path_;

    std::unordered_map<int, Node> bySession_;
    Node *root_ = nullptr;
    // Tree shape comes from these numbers, not from the names, so no choice of names can unbalance it.
    std::minstd_rand priorities_;
    UsersListObserver *observer_ = nullptr;
};
