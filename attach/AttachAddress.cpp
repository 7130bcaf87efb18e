#include "attach/AttachAddress.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstring>

bool ParseAttachAddress(std::string_view text, AttachAddress &out, std::string &error, bool listening) {
    std::string_view host = text;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            error = "The address " + std::string(text) + " lacks its closing bracket.";
            return false;
        }
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') {
                error = "The address " + std::string(text) + " is not HOST:PORT.";
                return false;
            }
            port = text.substr(close + 2);
        }
    } else if (const auto colon = text.rfind(':'); colon != std::string_view::npos && text.find(':') == colon) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty()) {
        error = "The address " + std::string(text) + " names no host.";
        return false;
    }
    int number = kDefaultAttachPort;
    if (!port.empty()) {
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
        const int lowest = listening ? 0 : 1;
        if (ec != std::errc() || end != port.data() + port.size() || number < lowest || number > 65535) {
            error =
                "The port of " + std::string(text) + " is not a number from " + std::to_string(lowest) + " to 65535.";
            return false;
        }
    }
    out.host = std::string(host);
    out.port = number;
    return true;
}

bool IsLoopbackHost(std::string_view host) {
    if (host == "localhost")
        return true;
    const std::string text(host);
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1)
        return std::memcmp(&v6, &in6addr_loopback, sizeof v6) == 0;
    return false;
}

bool CheckAttachListen(std::string_view host, bool tls, std::string &error) {
    if (tls || IsLoopbackHost(host))
        return true;
    error = "Refusing to listen for windows on " + std::string(host) +
            " without TLS: the password and everything the bot hears would cross the network in clear. Listen on "
            "127.0.0.1 (and use an SSH tunnel), or turn TLS on.";
    return false;
}
