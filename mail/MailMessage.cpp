#include "mail/MailMessage.h"

#include <algorithm>
#include <locale.h>
#include <time.h>

bool MailMessage::AddRecipients(std::string_view list) {
    // Every ";" ends a piece and so does the end of the text, so "a;" names two recipients, the second empty.
    std::size_t start = 0;
    while (true) {
        const std::size_t end = list.find(';', start);
        const std::string_view piece = list.substr(start, end == std::string_view::npos ? end : end - start);
        const std::size_t open = piece.find('<');
        if (open == std::string_view::npos) {
            recipients_.push_back({std::string(piece), {}});
        } else {
            const std::size_t close = piece.find('>');
            if (close == std::string_view::npos || close < open) {
                return false;
            }
            recipients_.push_back(
                {std::string(piece.substr(open + 1, close - open - 1)), std::string(piece.substr(0, open))});
        }
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::optional<MailRecipient> MailMessage::Recipient(std::size_t index) const {
    if (index >= recipients_.size()) {
        return std::nullopt;
    }
    return recipients_[index];
}

std::string HeaderValue(std::string_view text) {
    std::string value(text);
    std::erase_if(value, [](char c) { return c == '\r' || c == '\n'; });
    return value;
}

std::string FormatMailDate(std::time_t when) {
    // Mail readers expect English names; the program's own locale may be any other.
    static const locale_t english = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    struct tm local {};
    if (::localtime_r(&when, &local) == nullptr) {
        return {};
    }
    char text[128];
    const char *format = "%a, %d %b %y %H:%M:%S %Z";
    const std::size_t length = english ? ::strftime_l(text, sizeof text, format, &local, english)
                                       : ::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

namespace {

// 1000 octets with the CR LF, less one for the dot a line may be given.
constexpr std::size_t kLongestPiece = 997;

void AppendStuffed(std::string &out, std::string_view piece) {
    if (!piece.empty() && piece.front() == '.') {
        out += '.';
    }
    out += piece;
    out += "\r\n";
}

void AppendLine(std::string &out, std::string_view line) {
    while (line.size() > kLongestPiece) {
        std::size_t cut = line.substr(0, kLongestPiece).rfind(' ');
        if (cut == std::string_view::npos) {
            // One long word: cut it, but not inside a UTF-8 sequence.
            cut = kLongestPiece;
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
                --cut;
            }
            if (cut == 0) {
                cut = kLongestPiece;
            }
        } else {
            ++cut; // the blank stays at the end of the first part
        }
        AppendStuffed(out, line.substr(0, cut));
        line.remove_prefix(cut);
    }
    AppendStuffed(out, line);
}

} // namespace

std::string EscapeMailBody(std::string_view body) {
    std::string out;
    out.reserve(body.size() + body.size() / 16 + 2);
    std::size_t at = 0;
    while (at < body.size()) {
        const std::size_t end = body.find_first_of("\r\n", at);
        if (end == std::string_view::npos) {
            AppendLine(out, body.substr(at));
            break;
        }
        AppendLine(out, body.substr(at, end - at));
        at = end + (body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n' ? 2 : 1);
    }
    if (out.empty()) {
        out = "\r\n";
    }
    return out;
}
