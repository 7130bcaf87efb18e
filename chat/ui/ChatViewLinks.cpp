// The parts of the chat view that a click acts on: web addresses and the names that begin lines.
#include "chat/WebAddresses.h"
#include "chat/ui/ChatView.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

namespace {

// A line that starts with a timestamp has it as a run of its own.
std::size_t TimestampBytes(const ChatLine &line) {
    if (line.RunCount() < 2) {
        return 0;
    }
    const std::string_view first = line.Run(0).text;
    return first.starts_with('[') && first.ends_with("] ") ? first.size() : 0;
}

int Utf16Length(std::string_view text) {
    return static_cast<int>(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).size());
}

} // namespace

std::optional<ChatView::Target> ChatView::TargetAt(QPoint point) {
    if (!placedValid_) {
        Relayout();
    }
    for (const Placed &p : placed_) {
        if (point.y() < p.y || point.y() >= p.y + p.height) {
            continue;
        }
        const ChatBlock *block = cache_.Get(p.id);
        if (!block) {
            return std::nullopt;
        }
        const qreal x = point.x() - kMargin;
        const qreal y = point.y() - p.y;
        for (int i = 0; i < block->layout.lineCount(); ++i) {
            const QTextLine row = block->layout.lineAt(i);
            if (y < row.y() || y >= row.y() + row.height()) {
                continue;
            }
            // Only over the text itself: the blank right of a row is not its last word.
            if (x < row.x() || x >= row.x() + row.naturalTextWidth()) {
                return std::nullopt;
            }
            const int local = row.xToCursor(x, QTextLine::CursorOnCharacter);
            for (const ChatBlock::Link &link : block->links) {
                if (local >= link.begin && local < link.end) {
                    return Target{Target::Kind::Link, p.id.line, block->utf16Begin + link.begin,
                                  block->utf16Begin + link.end, block->text.mid(link.begin, link.end - link.begin)};
                }
            }
            return NameAt(p.id.line, block->utf16Begin + local);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<ChatView::Target> ChatView::NameAt(std::uint64_t line, int position) {
    if (!presentNameAt || !cache_.Retained(line)) {
        return std::nullopt;
    }
    const ChatLine chatLine = log_.Line(line - log_.FirstLineNumber());
    const std::size_t prefix = TimestampBytes(chatLine);
    const std::string_view text = chatLine.Text().substr(prefix);
    const std::size_t length = presentNameAt(text);
    if (length == 0 || length > text.size()) {
        return std::nullopt;
    }
    const int begin = Utf16Length(chatLine.Text().substr(0, prefix));
    const int end = begin + Utf16Length(text.substr(0, length));
    if (position < begin || position >= end) {
        return std::nullopt;
    }
    return Target{Target::Kind::Name, line, begin, end,
                  QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))};
}

void ChatView::Activate(const Target &target) {
    if (target.kind == Target::Kind::Name) {
        if (onNameClicked) {
            const QByteArray text = target.text.toUtf8();
            onNameClicked(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
        }
        return;
    }
    const std::u16string_view found(reinterpret_cast<const char16_t *>(target.text.utf16()),
                                    static_cast<std::size_t>(target.text.size()));
    const QUrl url(QString::fromStdU16String(WebAddressTarget(found)), QUrl::StrictMode);
    const bool web = url.isValid() &&
                     (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
                     !url.host().isEmpty();
    const bool opened = web && (openLink ? openLink(url) : QDesktopServices::openUrl(url));
    if (!opened && pane_) {
        pane_->AppendChatLine("Unable to open " + target.text.toStdString() + ".", ChatColour::Red, false, false, false,
                              true);
    }
}

void ChatView::ShowHoverCursor(QPoint point) {
    const bool hand = TargetAt(point).has_value();
    if (hand != handCursor_) {
        handCursor_ = hand;
        viewport()->setCursor(hand ? Qt::PointingHandCursor : Qt::IBeamCursor);
    }
}
