#pragma once

#include "common/TextTrim.h"
#include "common/Utf8.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Line reading shared by the small text files beside the program (teleport.txt, avatars.txt).

// The file's lines: a leading UTF-8 byte-order mark is dropped, CR LF, LF and a lone CR all end a line, and a NUL
// ends the line's text as it always did for these files. Lines are not trimmed.
std::vector<std::string_view> SplitFileLines(std::string_view content);

// A field as it can be stored on one line: line ends and NULs become blanks.
std::string OneLine(std::string_view text);

// Whether a file that exists could not be read: saving over it would destroy what it holds.
bool ExistsButUnreadable(const std::string &path);

// A list whose file exists but could not be read at start leaves that file as it is: the run's changes go to a side
// file instead, as the message tells the user.
struct KeptFile {
    bool keep = false; // the file existed but could not be read
    std::string path;  // then where the run's changes go
    std::string message;
};

// The file's text; nothing when it is missing or cannot be read. `kept` says what happens to an unreadable one, its
// message naming the run's changes as `changes` does ("The places you remember").
std::optional<std::string> ReadListFile(const std::string &path, std::string_view changes, KeptFile &kept);

// Where a run keeps what it would have written to a file that existed but could not be read at start, which is
// left as it is: the first of path.unsaved, path.unsaved-2, ... that does not exist yet, so that no earlier run's
// kept changes are written over.
std::string KeptChangesPath(const std::string &path);
