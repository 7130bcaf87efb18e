#include "sdk/ComputerId.h"

#include "crypto/Digest.h"

#include <fstream>
#include <string>
#include <unistd.h>

namespace {
// Our own key, so that the number means nothing outside this program.
constexpr std::string_view kPurpose = "gabbler computer id v1";

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}
} // namespace

std::uint32_t ComputerIdFrom(std::string_view machineId, unsigned user) {
    const std::string_view id = Trimmed(machineId);
    if (id.empty())
        return 0;
    const std::string message = std::string(kPurpose) + '\0' + std::to_string(user);
    const Sha256Digest d = HmacSha256(id, message);
    const std::uint32_t value =
        (std::uint32_t(d[0]) << 24) | (std::uint32_t(d[1]) << 16) | (std::uint32_t(d[2]) << 8) | std::uint32_t(d[3]);
    return value != 0 ? value : 1; // 0 is "none"
}

std::uint32_t ComputerId() {
    static const std::uint32_t id = [] {
        for (const char *path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
            std::ifstream in(path);
            std::string text;
            if (in && std::getline(in, text))
                if (const std::uint32_t value = ComputerIdFrom(text, static_cast<unsigned>(::getuid())))
                    return value;
        }
        return std::uint32_t{0};
    }();
    return id;
}
