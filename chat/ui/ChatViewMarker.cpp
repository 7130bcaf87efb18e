#include "chat/ui/ChatViewMarker.h"

ChatViewMarker::ChatViewMarker(QWidget *parent) : QPushButton(parent) {
    setObjectName(QStringLiteral("newLinesMarker"));
    // The keyboard stays with the pane: End and Ctrl+End do what a click does.
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    hide();
}

QString ChatViewMarker::Text(std::uint64_t count) {
    return count == 1 ? QStringLiteral("1 new line below") : QStringLiteral("%1 new lines below").arg(count);
}

void ChatViewMarker::Show(std::uint64_t count, const QRect &area) {
    if (count == 0) {
        count_ = 0;
        hide();
        return;
    }
    if (count != count_) {
        count_ = count;
        setText(Text(count));
    }
    // Placed before it is shown, so nothing is painted where it would otherwise appear first.
    const QSize size = sizeHint();
    setGeometry(area.left() + (area.width() - size.width()) / 2, area.bottom() - size.height() - 6, size.width(),
                size.height());
    if (isHidden()) {
        show();
        raise();
    }
}
