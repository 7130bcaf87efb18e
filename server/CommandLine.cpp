#include "server/CommandLine.h"

#include "common/DataFolder.h"
#include "sdk/Attributes.h"
#include "server/DemoContent.h"
#include "server/EjectionCommands.h"
#include "server/PasswordHash.h"
#include "server/ResultCodes.h"
#include "server/Store.h"
#include "server/Universe.h"

#include <charconv>
#include <filesystem>

const char *const kUniverseUsage = R"(Usage:
  gabbler-universe [--listen HOST:PORT] --data DIR [--demo] [options]
      Runs the universe server. The first line on standard output is "listening on HOST:PORT".
      PORT 0 picks a free port; the default address is 127.0.0.1:5870. SIGINT or SIGTERM stops it cleanly.
      --demo             fill an empty store with the demo citizens and worlds, and run simulated people
      --no-people        with --demo: no simulated people
      --population PERCENT   with --demo: how many simulated people (100, about thirty; 1000 gives hundreds)
      --max-connections N    (default 1000)
      --idle-timeout SECONDS (default 120)
      --radius METRES        hearing radius for chat and avatars (default 200)
      --quiet            no log lines on standard error

  gabbler-universe --help | --version

  gabbler-universe citizen add --data DIR NUMBER NAME PASSWORD [HOMEPAGE]
  gabbler-universe citizen list --data DIR
  gabbler-universe citizen set --data DIR NUMBER FIELD=VALUE...    fields: name, password, homepage
  gabbler-universe world add --data DIR NAME [BUILD]
      NAME: at most 8 characters, as many as the client's world fields take
  gabbler-universe world list --data DIR
  gabbler-universe world set --data DIR NAME FIELD=VALUE...
      fields: caretakers, build, status (1 open, 2 private, 3 gone), max_users, size, expiration,
      or a world attribute by its SDK number, e.g. 67="Welcome!" 52="1 2" 73=0
  gabbler-universe universe list --data DIR
  gabbler-universe universe set --data DIR NUMBER=VALUE...     the universe attributes 8-14 and 21-25

  gabbler-universe world ejections --data DIR NAME
  gabbler-universe world delete-ejection --data DIR NAME address|computer|citizen VALUE
  gabbler-universe universe ejections --data DIR
  gabbler-universe universe delete-ejection --data DIR ADDRESS
      Lists or deletes ejections (bans), for example to undo a lock-out. A listing line holds the kind (worlds
      only), the key, when it was made and when it ends (times in UTC), and the comment.

Administration works on the store directly; a running server sees the changes after its next start.
)";

namespace {

bool ToInt(const std::string &text, long long &value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool SplitField(const std::string &text, std::string &field, std::string &value) {
    const auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    field = text.substr(0, eq);
    value = text.substr(eq + 1);
    return true;
}

std::string Show(const AttrValue &v) {
    if (const auto *n = std::get_if<std::int32_t>(&v))
        return std::to_string(*n);
    if (const auto *b = std::get_if<bool>(&v))
        return *b ? "1" : "0";
    return "\"" + std::get<std::string>(v) + "\"";
}

std::string WorldRefusal(int code, const Store &store) {
    switch (code) {
    case kResultWorldNameRequired:
        return "a world needs a name";
    case kResultWorldExists:
        return "a world of that name exists (names are compared without regard to case)";
    case kResultInvalidWorldName:
        return "a world name is UTF-8 text without control characters";
    case kResultWorldNameTooLong:
        return "world names are at most " + std::to_string(kMaxWorldNameLength) +
               " characters, as many as the client's world fields take";
    default:
        return "the store refused it: " + store.LastError();
    }
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string> &args) {
    CommandLine c;
    const auto fail = [&](std::string error) {
        c.mode = CommandLine::Mode::Error;
        c.error = std::move(error);
        return c;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const auto value = [&](std::string &out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        long long n = 0;
        if (a == "--help" || a == "-h") {
            c.mode = CommandLine::Mode::Help;
            return c;
        } else if (a == "--version" || a == "-v") {
            c.mode = CommandLine::Mode::Version;
            return c;
        } else if (a == "--listen") {
            if (!value(v))
                return fail("--listen needs HOST:PORT");
            const auto colon = v.rfind(':');
            if (colon == std::string::npos || !ToInt(v.substr(colon + 1), n) || n < 0 || n > 65535)
                return fail("--listen needs HOST:PORT, not " + v);
            c.options.host = v.substr(0, colon);
            if (c.options.host.size() > 2 && c.options.host.front() == '[' && c.options.host.back() == ']')
                c.options.host = c.options.host.substr(1, c.options.host.size() - 2);
            c.options.port = static_cast<int>(n);
        } else if (a == "--data") {
            if (!value(v) || v.empty())
                return fail("--data needs a folder");
            c.options.dataFolder = v;
        } else if (a == "--demo") {
            c.options.demo = true;
        } else if (a == "--no-people") {
            c.options.demoPeople = false;
        } else if (a == "--population") {
            if (!value(v) || !ToInt(v, n) || n < 0 || n > 100000)
                return fail("--population needs a percentage");
            c.options.demoPopulationPercent = static_cast<int>(n);
        } else if (a == "--quiet") {
            c.quiet = true;
        } else if (a == "--max-connections") {
            if (!value(v) || !ToInt(v, n) || n < 1)
                return fail("--max-connections needs a positive number");
            c.options.maxConnections = static_cast<std::size_t>(n);
        } else if (a == "--idle-timeout") {
            if (!value(v) || !ToInt(v, n) || n < 1 || n > 86400)
                return fail("--idle-timeout needs seconds between 1 and 86400");
            c.options.idleTimeout = std::chrono::seconds(n);
        } else if (a == "--radius") {
            if (!value(v) || !ToInt(v, n) || n < 1 || n > 20000000)
                return fail("--radius needs metres");
            c.options.hearingRadius = static_cast<int>(n * 100);
        } else if (!a.empty() && a[0] == '-') {
            return fail("unknown option " + a);
        } else {
            c.admin.push_back(a);
        }
    }
    if (!c.admin.empty())
        c.mode = CommandLine::Mode::Admin;
    if (c.options.dataFolder.empty())
        return fail("--data DIR is required");
    return c;
}

int RunAdminCommand(const CommandLine &command, std::ostream &out, std::ostream &err) {
    const auto &a = command.admin;
    const auto usage = [&]() {
        err << "unknown or incomplete command; see gabbler-universe --help\n";
        return 2;
    };
    if (a.size() < 2)
        return usage();
    std::error_code ec;
    CreatePrivateFolder(command.options.dataFolder, ec);
    Store store;
    std::string error;
    if (!store.Open((std::filesystem::path(command.options.dataFolder) / "universe.db").string(), error)) {
        err << error << "\n";
        return 1;
    }
    Universe universe(store, command.options);
    if (!universe.Load(error)) {
        err << error << "\n";
        return 1;
    }
    if (IsEjectionCommand(a)) {
        const int status = RunEjectionCommand(store, a, universe.Now(), out, err);
        return status == 2 ? usage() : status;
    }
    const std::string &what = a[0];
    const std::string &verb = a[1];
    long long n = 0;
    if (what == "citizen" && verb == "add" && (a.size() == 5 || a.size() == 6)) {
        if (!ToInt(a[2], n) || n < 1 || n > INT32_MAX) {
            err << "citizen numbers are positive\n";
            return 1;
        }
        CitizenRecord c{static_cast<int>(n), a[3], HashPassword(a[4], command.options.passwordIterations),
                        a.size() == 6 ? a[5] : ""};
        if (c.passwordHash.empty()) {
            err << "cannot add the citizen: no random numbers for password salts\n";
            return 1;
        }
        if (c.name.empty() || !IsValidUtf8(c.name) || !store.AddCitizen(c)) {
            err << "cannot add the citizen: " << store.LastError() << "\n";
            return 1;
        }
        out << "citizen " << c.number << " " << c.name << " added\n";
        return 0;
    }
    if (what == "citizen" && verb == "list" && a.size() == 2) {
        for (const CitizenRecord &c : store.Citizens())
            out << c.number << "\t" << c.name << "\t" << c.homePage << "\n";
        return 0;
    }
    if (what == "citizen" && verb == "set" && a.size() >= 4) {
        if (!ToInt(a[2], n)) {
            err << "no such citizen " << a[2] << "\n";
            return 1;
        }
        auto c = store.CitizenByNumber(static_cast<int>(n));
        if (!c) {
            err << "no such citizen " << a[2] << "\n";
            return 1;
        }
        for (std::size_t i = 3; i < a.size(); ++i) {
            std::string field, value;
            if (!SplitField(a[i], field, value))
                return usage();
            if (field == "name" && !value.empty() && IsValidUtf8(value))
                c->name = value;
            else if (field == "password") {
                c->passwordHash = HashPassword(value, command.options.passwordIterations);
                if (c->passwordHash.empty()) {
                    err << "cannot change the citizen: no random numbers for password salts\n";
                    return 1;
                }
            } else if (field == "homepage" && IsValidUtf8(value))
                c->homePage = value;
            else
                return usage();
        }
        if (!store.UpdateCitizen(*c)) {
            err << "cannot change the citizen: " << store.LastError() << "\n";
            return 1;
        }
        out << "citizen " << c->number << " changed\n";
        return 0;
    }
    if (what == "world" && verb == "add" && (a.size() == 3 || a.size() == 4)) {
        n = 63;
        if (a.size() == 4 && !ToInt(a[3], n))
            return usage();
        if (const int refused = universe.AddWorld(a[2], static_cast<int>(n))) {
            err << "cannot add world " << a[2] << ": " << WorldRefusal(refused, store) << "\n";
            return 1;
        }
        out << "world " << a[2] << " added with build " << n << "\n";
        return 0;
    }
    if (what == "world" && verb == "list" && a.size() == 2) {
        for (const WorldRecord &w : store.Worlds())
            out << w.name << "\tbuild " << w.build << "\tstatus " << w.status << "\tcaretakers \"" << w.caretakers
                << "\"\tmax_users " << w.maxUsers << "\tsize " << w.size << "\n";
        return 0;
    }
    if (what == "world" && verb == "set" && a.size() >= 4) {
        for (std::size_t i = 3; i < a.size(); ++i) {
            std::string field, value;
            if (!SplitField(a[i], field, value))
                return usage();
            if (!universe.SetWorld(a[2], field, value)) {
                err << "cannot set " << field << " of world " << a[2] << "\n";
                return 1;
            }
        }
        out << "world " << a[2] << " changed\n";
        return 0;
    }
    if (what == "universe" && verb == "list" && a.size() == 2) {
        AttrMap all = DefaultUniverseAttributes();
        for (auto &[k, v] : store.UniverseAttributes())
            all[k] = v;
        for (const auto &[k, v] : all)
            out << k << "\t" << Show(v) << "\n";
        return 0;
    }
    if (what == "universe" && verb == "set" && a.size() >= 3) {
        AttrMap all = DefaultUniverseAttributes();
        for (auto &[k, v] : store.UniverseAttributes())
            all[k] = v;
        for (std::size_t i = 2; i < a.size(); ++i) {
            std::string field, value;
            long long number = 0, v = 0;
            if (!SplitField(a[i], field, value) || !ToInt(field, number) || !all.count(static_cast<int>(number)))
                return usage();
            const int k = static_cast<int>(number);
            switch (KindOfAttribute(k)) {
            case AttributeKind::String:
                if (value.size() > AttributeMaxLength(k) || !IsValidUtf8(value))
                    return usage();
                all[k] = value;
                break;
            case AttributeKind::Bool:
                if (!ToInt(value, v))
                    return usage();
                all[k] = v != 0;
                break;
            default:
                if (!ToInt(value, v) || v < INT32_MIN || v > INT32_MAX)
                    return usage();
                all[k] = static_cast<std::int32_t>(v);
                break;
            }
        }
        if (!store.SaveUniverseAttributes(all)) {
            err << store.LastError() << "\n";
            return 1;
        }
        out << "universe changed\n";
        return 0;
    }
    return usage();
}
