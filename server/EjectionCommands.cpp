#include "server/EjectionCommands.h"

#include "common/Ipv4.h"

#include <charconv>
#include <cstdint>
#include <ctime>

namespace {

constexpr const char *kKinds[] = {"address", "computer", "citizen"}; // world ejection types 0, 1, 2

int KindOf(const std::string &text) {
    for (int i = 0; i < 3; ++i)
        if (text == kKinds[i])
            return i;
    return -1;
}

// The key as the ejection dialogs show it: an address in dotted form, a number in signed decimal.
std::string ShowValue(int type, std::int32_t value) {
    return type == 0 ? NetworkOrderToDottedText(value) : std::to_string(value);
}

bool ReadValue(int type, const std::string &text, std::int32_t &value) {
    if (type == 0) {
        const auto address = DottedTextToNetworkOrder(text);
        if (address)
            value = *address;
        return address.has_value();
    }
    // Signed, as shown, or the same 32 bits written unsigned.
    long long n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < INT32_MIN || n > UINT32_MAX)
        return false;
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
    return true;
}

// UTC, so that the listing reads the same on every machine.
std::string ShowTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm))
        return std::to_string(seconds);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

// One line whatever the comment holds.
std::string Quoted(const std::string &text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

void List(const EjectionRecord &e, bool world, std::int64_t now, std::ostream &out) {
    if (world)
        out << kKinds[e.type >= 0 && e.type <= 2 ? e.type : 0] << "\t";
    out << ShowValue(world ? e.type : 0, e.value) << "\tcreated " << (e.creation ? ShowTime(e.creation) : "unknown")
        << "\texpires " << (e.expiration ? ShowTime(e.expiration) : "never")
        << (e.expiration && e.expiration <= now ? " (ended)" : "") << "\t" << Quoted(e.comment) << "\n";
}

// The world's name as the store spells it; its ejections are kept under that spelling.
bool StoredWorldName(Store &store, const std::string &name, std::string &stored) {
    const auto lower = [](std::string s) {
        for (char &c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    for (const WorldRecord &w : store.Worlds())
        if (lower(w.name) == lower(name)) {
            stored = w.name;
            return true;
        }
    return false;
}

} // namespace

bool IsEjectionCommand(const std::vector<std::string> &a) {
    return a.size() >= 2 && (a[0] == "world" || a[0] == "universe") &&
           (a[1] == "ejections" || a[1] == "delete-ejection");
}

int RunEjectionCommand(Store &store, const std::vector<std::string> &a, std::int64_t now, std::ostream &out,
                       std::ostream &err) {
    const bool world = a[0] == "world";
    const bool list = a[1] == "ejections";
    if (!world) {
        if (list && a.size() == 2) {
            for (const EjectionRecord &e : store.UniverseEjections())
                List(e, false, now, out);
            return 0;
        }
        if (list || a.size() != 3)
            return 2;
        std::int32_t address = 0;
        if (!ReadValue(0, a[2], address)) {
            err << "not an IPv4 address: " << a[2] << "\n";
            return 1;
        }
        if (!store.DeleteUniverseEjection(address)) {
            err << "no universe ejection of " << a[2] << "\n";
            return 1;
        }
        out << "universe ejection of " << a[2] << " deleted\n";
        return 0;
    }
    if (a.size() != (list ? 3u : 5u))
        return 2;
    std::string name;
    if (!StoredWorldName(store, a[2], name)) {
        err << "no such world " << a[2] << "\n";
        return 1;
    }
    if (list) {
        for (const EjectionRecord &e : store.WorldEjections(name))
            List(e, true, now, out);
        return 0;
    }
    const int type = KindOf(a[3]);
    if (type < 0)
        return 2;
    std::int32_t value = 0;
    if (!ReadValue(type, a[4], value)) {
        err << (type == 0 ? "not an IPv4 address: " : "not a 32-bit number: ") << a[4] << "\n";
        return 1;
    }
    if (!store.DeleteWorldEjection(name, type, value)) {
        err << "no " << a[3] << " ejection of " << a[4] << " in " << name << "\n";
        return 1;
    }
    out << a[3] << " ejection of " << a[4] << " deleted from " << name << "\n";
    return 0;
}
