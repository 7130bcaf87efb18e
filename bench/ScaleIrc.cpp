#include "bench/ScaleIrc.h"

#include <cstring>

IrcFleet::IrcFleet(asio::io_context &io, int count, asio::ip::tcp::endpoint server, int rooms, Heard heard,
                   Settled settled)
    : ScaleFleet(io, count, server, std::move(heard), std::move(settled)), rooms_(rooms) {}

std::string IrcFleet::Channel(int room, int rooms) {
    return rooms == 1 ? std::string("#arena") : "#arena" + std::to_string(room);
}

void IrcFleet::Opened(int i) {
    const std::string nick = "b" + std::to_string(i);
    Send(i, "NICK " + nick + "\r\nUSER " + nick + " 0 * :bench\r\nJOIN " + Channel(RoomOf(i), rooms_) + "\r\n");
}

bool IrcFleet::Say(int i, std::string_view text) {
    if (StatusOf(i) != Bot::Ready)
        return false;
    out_.assign("PRIVMSG ").append(Channel(RoomOf(i), rooms_)).append(" :").append(text).append("\r\n");
    Send(i, out_);
    return true;
}

std::size_t IrcFleet::Consume(int i, const char *data, std::size_t size, long long nowNs) {
    std::size_t offset = 0;
    while (StatusOf(i) == Bot::Entering || StatusOf(i) == Bot::Ready) {
        const void *end = std::memchr(data + offset, '\n', size - offset);
        if (!end)
            break;
        const auto stop = static_cast<std::size_t>(static_cast<const char *>(end) - data);
        std::size_t length = stop - offset;
        if (length > 0 && data[offset + length - 1] == '\r')
            --length;
        Line(i, std::string_view(data + offset, length), nowNs);
        offset = stop + 1;
    }
    // A line longer than any server sends would grow the buffer for ever.
    if (offset == 0 && size > 64 * 1024)
        Failed(i, "a line without end from the server");
    return offset;
}

void IrcFleet::Line(int i, std::string_view line, long long nowNs) {
    std::string_view rest = line;
    if (!rest.empty() && rest.front() == ':') {
        const auto space = rest.find(' ');
        if (space == std::string_view::npos)
            return;
        rest.remove_prefix(space + 1);
    }
    const auto space = rest.find(' ');
    const std::string_view command = rest.substr(0, space);
    const std::string_view params = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    if (command == "PRIVMSG") {
        const auto colon = params.find(" :");
        if (colon != std::string_view::npos)
            Hear(i, params.substr(colon + 2), nowNs);
    } else if (command == "PING") {
        Send(i, "PONG " + std::string(params) + "\r\n");
    } else if (command == "366") {
        Ready(i); // end of the names list: the join is complete
    } else if (command == "ERROR") {
        Failed(i, std::string(line));
    } else if (command.size() == 3 && (command[0] == '4' || command[0] == '5')) {
        if (StatusOf(i) == Bot::Entering)
            Failed(i, std::string(line));
        else
            ++refused_;
    }
}
