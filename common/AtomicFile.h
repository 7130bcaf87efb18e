#pragma once

#include <optional>
#include <string>
#include <string_view>

// Files the program writes are replaced whole: a crash or a full disk leaves either the old or the new version.
struct FileResult {
    bool ok = true;
    std::string error; // a sentence for the user when !ok, naming the file
};

// Writes content to a temporary file beside path, flushes it to disk and renames it over path. With ownerOnly the
// file is readable and writable by its owner alone (it holds passwords).
FileResult WriteFileAtomically(const std::string& path, std::string_view content, bool ownerOnly = false);

// The whole file, or nothing when it cannot be read (a missing file is the common case: first start).
std::optional<std::string> ReadWholeFile(const std::string& path);
