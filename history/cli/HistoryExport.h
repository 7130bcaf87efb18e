#pragma once

// The history's lines and visitors as text for people and scripts: one line per entry, CSV, or RTF with the
// lines' colours and emphasis. Chat text comes from strangers: control characters never reach a terminal or a
// file as such (a line stays one line, and no escape sequence is passed on).

#include "history/HistoryTypes.h"

#include <string>
#include <string_view>

// Control characters (C0, DEL and C1) become spaces.
std::string PrintableText(std::string_view text);

// "YYYY-MM-DD HH:MM:SS<TAB>world<TAB>speaker<TAB>text".
std::string TextLine(const HistoryLine &line);

std::string CsvHeader();
std::string CsvLine(const HistoryLine &line);
std::string CsvField(std::string_view text);

std::string VisitorsTextHeader();
std::string VisitorTextLine(const VisitorSummary &v);
std::string VisitorsCsvHeader();
std::string VisitorCsvLine(const VisitorSummary &v);
