#pragma once

// history.db: its tables, its version and the steps that bring an older file up to date.

#include "db/Database.h"

#include <string>

inline constexpr const char *kHistoryFileName = "history.db";
inline constexpr int kHistorySchemaVersion = 3;
// Lines are indexed by time in blocks of consecutive numbers: block = number >> kTimeBlockShift.
inline constexpr int kTimeBlockShift = 10;

// Opens (and for a writer creates, readable by its owner only, in WAL mode) the history in path and brings its
// schema up to date. A file of a newer version than this program knows is refused and left as it is. A reader opens
// the file read-only and never creates or changes it. False with error set (a sentence for the user).
bool OpenHistoryDatabase(Database &db, const std::string &path, bool writer, std::string &error);
