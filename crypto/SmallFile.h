#pragma once

// Reading the small text files this folder keeps (keys, certificates, fingerprints), telling a missing file (the
// first start) from one that exists but cannot be read.

#include <cstddef>
#include <string>

enum class FileRead { Missing, Read, Failed };

// On Failed, `error` is a sentence naming the file. A file larger than `limit` bytes is Failed too.
FileRead ReadSmallFile(const std::string &path, std::string &content, std::string &error, std::size_t limit);
