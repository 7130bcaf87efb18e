#include "history/cli/HistoryExport.h"

#include "history/cli/UtcTime.h"

#include <cstdio>

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f) {
            out += ' ';
        } else if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            out += ' '; // a C1 control, U+0080 .. U+009F
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string TextLine(const HistoryLine &line) {
    return FormatUtc(line.time) + '\t' + PrintableText(line.world) + '\t' + PrintableText(line.speaker) + '\t' +
           PrintableText(line.text);
}

std::string CsvField(std::string_view text) {
    const std::string clean = PrintableText(text);
    // What anyone in the world typed must not become a formula when the file is opened in a spreadsheet: a cell that
    // would start like one is written as text with the spreadsheets' own mark, an apostrophe in front.
    const bool formula = !clean.empty() && std::string_view("=+-@").find(clean.front()) != std::string_view::npos;
    if (!formula && clean.find_first_of(",\"") == std::string::npos && (clean.empty() || clean.front() != ' '))
        return clean;
    std::string out = formula ? "\"'" : "\"";
    for (const char c : clean) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string CsvHeader() { return "time,world,speaker,session,kind,colour,bold,italic,underline,text"; }

std::string CsvLine(const HistoryLine &line) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "#%06x", line.colour & 0xffffffu);
    const char *kind = LineKindName(line.kind);
    return FormatUtc(line.time) + ',' + CsvField(line.world) + ',' + CsvField(line.speaker) + ',' +
           (line.session ? std::to_string(*line.session) : std::string()) + ',' + (kind ? kind : "") + ',' + colour +
           ',' + (line.bold ? "1" : "0") + ',' + (line.italic ? "1" : "0") + ',' + (line.underline ? "1" : "0") + ',' +
           CsvField(line.text);
}

std::string VisitorsTextHeader() { return "name\tcitizen\tvisits\tfirst seen\tlast seen\ttotal time"; }

std::string VisitorTextLine(const VisitorSummary &v) {
    return PrintableText(v.name) + '\t' + (v.citizen ? std::to_string(*v.citizen) : std::string("-")) + '\t' +
           std::to_string(v.visits) + '\t' + FormatUtc(v.firstSeen) + '\t' + FormatUtc(v.lastSeen) + '\t' +
           FormatDuration(v.totalMs);
}

std::string VisitorsCsvHeader() { return "name,citizen,visits,first_seen,last_seen,total_seconds"; }

std::string VisitorCsvLine(const VisitorSummary &v) {
    return CsvField(v.name) + ',' + (v.citizen ? std::to_string(*v.citizen) : std::string()) + ',' +
           std::to_string(v.visits) + ',' + FormatUtc(v.firstSeen) + ',' + FormatUtc(v.lastSeen) + ',' +
           std::to_string(v.totalMs / 1000);
}
