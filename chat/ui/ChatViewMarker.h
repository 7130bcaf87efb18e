#pragma once

#include <QPushButton>

#include <cstdint>

// The button over the bottom of a chat view that the user scrolled away from: it tells how many lines arrived
// below, and a click on it returns the view to the end.
class ChatViewMarker : public QPushButton {
    Q_OBJECT
public:
    explicit ChatViewMarker(QWidget *parent);

    // Shows the count at the bottom centre of the given area, in its parent's coordinates; hidden at 0.
    void Show(std::uint64_t count, const QRect &area);
    std::uint64_t Count() const { return count_; }

    static QString Text(std::uint64_t count);

private:
    std::uint64_t count_ = 0;
};
