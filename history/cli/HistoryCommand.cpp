#include "history/cli/HistoryCommand.h"

#include "chat/RtfWriter.h"
#include "common/DataFolder.h"
#include "history/HistoryReader.h"
#include "history/cli/HistoryExport.h"
#include "history/cli/UtcTime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char *kUsage =
    "usage: gabbler history search QUERY [--world W] [--person P] [--kind K] [--from DATE] [--to DATE] [--limit N]\n"
    "       gabbler history export --format txt|csv|rtf [QUERY] [--world W] [--person P] [--kind K] [--from DATE] "
    "[--to DATE]\n"
    "       gabbler history visitors [--world W] [--person P] [--from DATE] [--to DATE] [--format txt|csv]\n"
    "Each also takes --home DIR. DATE is YYYY-MM-DD or \"YYYY-MM-DD HH:MM[:SS]\", in UTC, as every time shown;\n"
    "a --to date alone includes that whole day. K is chat, whisper, console, notice or own.\n";

struct Arguments {
    std::string command;
    std::vector<std::string> words; // the query
    std::map<std::string, std::string> options;
    bool help = false;
};

bool TakesValue(std::string_view option) {
    for (const char *o : {"--home", "--world", "--person", "--kind", "--from", "--to", "--limit", "--format"}) {
        if (option == o)
            return true;
    }
    return false;
}

// False with error set on an unknown option or a missing value.
bool Parse(int argc, const char *const *argv, Arguments &a, std::string &error) {
    bool seenHistory = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (arg.starts_with("--") && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            hasValue = true;
        }
        if (arg == "--help") {
            a.help = true;
        } else if (arg.starts_with("--") && arg.size() > 2) {
            if (!TakesValue(arg)) {
                error = "unknown option " + arg;
                return false;
            }
            if (!hasValue) {
                if (i + 1 >= argc) {
                    error = arg + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            a.options[arg] = value;
        } else if (!seenHistory) {
            seenHistory = true; // the word "history" itself
        } else if (a.command.empty()) {
            a.command = arg;
        } else {
            a.words.push_back(arg);
        }
    }
    return true;
}

std::string Option(const Arguments &a, const char *name) {
    const auto it = a.options.find(name);
    return it == a.options.end() ? std::string() : it->second;
}

std::string_view Environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? std::string_view(value) : std::string_view();
}

bool MakeFilter(const Arguments &a, HistoryFilter &f, std::string &error) {
    f.world = Option(a, "--world");
    f.person = Option(a, "--person");
    if (const std::string kind = Option(a, "--kind"); !kind.empty()) {
        f.kind = LineKindFromName(kind);
        if (!f.kind) {
            error = "unknown kind \"" + kind + "\"";
            return false;
        }
    }
    for (const auto &[name, endOfDay, field] :
         {std::tuple{"--from", false, &f.from}, std::tuple{"--to", true, &f.to}}) {
        const std::string text = Option(a, name);
        if (text.empty())
            continue;
        *field = ParseUtc(text, endOfDay);
        if (!*field) {
            error = std::string(name) + " \"" + text + "\" is not a date (YYYY-MM-DD or \"YYYY-MM-DD HH:MM\")";
            return false;
        }
    }
    return true;
}

std::string Query(const Arguments &a) {
    std::string q;
    for (const std::string &w : a.words)
        q += (q.empty() ? "" : " ") + w;
    return q;
}

std::int64_t Now() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int Search(HistoryReader &reader, const Arguments &a, const HistoryFilter &filter, std::ostream &out,
           std::ostream &err) {
    int limit = 100;
    if (const std::string text = Option(a, "--limit"); !text.empty()) {
        char *end = nullptr;
        const long n = std::strtol(text.c_str(), &end, 10);
        if (*end != '\0' || n < 1 || n > HistoryReader::kMaxLimit) {
            err << "gabbler history: --limit takes a number from 1 to " << HistoryReader::kMaxLimit << "\n";
            return 2;
        }
        limit = static_cast<int>(n);
    }
    const std::string query = Query(a);
    if (query.empty()) {
        err << "gabbler history: search needs a query\n" << kUsage;
        return 2;
    }
    const HistoryResult r = reader.Search(query, filter, limit);
    if (!r.ok) {
        err << "gabbler history: " << r.error << "\n";
        return 1;
    }
    for (const HistoryLine &line : r.lines)
        out << TextLine(line) << '\n';
    return 0;
}

void WriteRtfLine(std::ostream &out, const HistoryLine &line, const std::map<std::uint32_t, int> &colours) {
    std::string text;
    RtfWriter::AppendEscaped(text, PrintableText(FormatUtc(line.time) + "  " + line.world + "  " +
                                                 (line.speaker.empty() ? "" : line.speaker + "  ")));
    std::string body;
    RtfWriter::AppendEscaped(body, PrintableText(line.text));
    out << "\\cf" << colours.at(line.colour) << (line.bold ? "\\b" : "\\b0") << (line.italic ? "\\i" : "\\i0")
        << (line.underline ? "\\ul" : "\\ulnone") << ' ' << text << body << "\\par\n";
}

int Export(HistoryReader &reader, const Arguments &a, const HistoryFilter &filter, std::ostream &out,
           std::ostream &err) {
    const std::string format = Option(a, "--format");
    if (format != "txt" && format != "csv" && format != "rtf") {
        err << "gabbler history: export needs --format txt, csv or rtf\n";
        return 2;
    }
    const std::string query = Query(a);
    std::string error;
    bool ok = true;
    if (format == "txt") {
        ok = reader.ForEach(
            query, filter, [&](const HistoryLine &l) { return bool(out << TextLine(l) << '\n'); }, error);
    } else if (format == "csv") {
        out << CsvHeader() << "\r\n";
        ok = reader.ForEach(
            query, filter, [&](const HistoryLine &l) { return bool(out << CsvLine(l) << "\r\n"); }, error);
    } else {
        // The colour table comes first, so the lines are read twice rather than held.
        std::map<std::uint32_t, int> colours;
        ok = reader.ForEach(
            query, filter,
            [&](const HistoryLine &l) {
                colours.emplace(l.colour, 0);
                return true;
            },
            error);
        out << "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}{\\colortbl ;";
        int index = 0;
        for (auto &[colour, number] : colours) {
            number = ++index;
            out << "\\red" << (colour >> 16 & 0xff) << "\\green" << (colour >> 8 & 0xff) << "\\blue" << (colour & 0xff)
                << ';';
        }
        out << "}\n\\f0\\fs20\n";
        ok = ok && reader.ForEach(
                       query, filter,
                       [&](const HistoryLine &l) {
                           if (!colours.count(l.colour))
                               return true; // written after the first pass
                           WriteRtfLine(out, l, colours);
                           return bool(out);
                       },
                       error);
        out << "}\n";
    }
    if (!ok) {
        err << "gabbler history: " << error << "\n";
        return 1;
    }
    out.flush();
    if (!out) {
        err << "gabbler history: the export could not be written\n";
        return 1;
    }
    return 0;
}

int Visitors(HistoryReader &reader, const Arguments &a, const HistoryFilter &filter, std::ostream &out,
             std::ostream &err) {
    const std::string format = Option(a, "--format").empty() ? "txt" : Option(a, "--format");
    if (format != "txt" && format != "csv") {
        err << "gabbler history: visitors takes --format txt or csv\n";
        return 2;
    }
    if (!a.words.empty()) {
        err << "gabbler history: visitors takes no query\n" << kUsage;
        return 2;
    }
    const bool csv = format == "csv";
    out << (csv ? VisitorsCsvHeader() : VisitorsTextHeader()) << (csv ? "\r\n" : "\n");
    for (const VisitorSummary &v : reader.Visitors(filter, Now()))
        out << (csv ? VisitorCsvLine(v) : VisitorTextLine(v)) << (csv ? "\r\n" : "\n");
    return 0;
}

} // namespace

bool IsHistoryCommand(int argc, const char *const *argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--home") {
            ++i;
            continue;
        }
        if (arg.starts_with("--home="))
            continue;
        return arg == "history";
    }
    return false;
}

int RunHistoryCommand(int argc, const char *const *argv, std::ostream &out, std::ostream &err) {
    Arguments a;
    std::string error;
    if (!Parse(argc, argv, a, error)) {
        err << "gabbler history: " << error << "\n" << kUsage;
        return 2;
    }
    if (a.help) {
        out << kUsage;
        return 0;
    }
    if (a.command != "search" && a.command != "export" && a.command != "visitors") {
        err << kUsage;
        return 2;
    }
    HistoryFilter filter;
    if (!MakeFilter(a, filter, error)) {
        err << "gabbler history: " << error << "\n";
        return 2;
    }
    const std::string folder = ChooseDataFolder(Option(a, "--home"), Environment("GABBLER_HOME"),
                                                Environment("XDG_CONFIG_HOME"), Environment("HOME"));
    if (folder.empty()) {
        err << "gabbler history: no data folder: give --home DIR\n";
        return 1;
    }
    HistoryReader reader;
    if (!reader.Open(std::filesystem::absolute(folder).string(), false, error)) {
        err << "gabbler history: " << error << "\n";
        return 1;
    }
    if (a.command == "search")
        return Search(reader, a, filter, out, err);
    if (a.command == "export")
        return Export(reader, a, filter, out, err);
    return Visitors(reader, a, filter, out, err);
}
