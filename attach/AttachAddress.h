#pragma once

// Where a headless bot listens for windows, and where a window finds it.

#include <string>
#include <string_view>

constexpr int kDefaultAttachPort = 5871; // one above the universe's default

struct AttachAddress {
    std::string host;
    int port = 0;
};

// "HOST:PORT", "HOST" (the default port), "[::1]:PORT". False with error set for an empty host or a bad port. An
// address to listen on may have port 0 (any free one).
bool ParseAttachAddress(std::string_view text, AttachAddress &out, std::string &error, bool listening = false);
// True for the loopback addresses and "localhost": a listener there is reachable from this machine only.
bool IsLoopbackHost(std::string_view host);
// Whether a headless bot may listen for windows there: loopback always, anything else only with TLS (a password
// and a whole session must not cross a network in clear). False with error set.
bool CheckAttachListen(std::string_view host, bool tls, std::string &error);
