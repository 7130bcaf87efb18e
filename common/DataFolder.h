#pragma once

#include "common/FolderLock.h"

#include <string>
#include <system_error>
#include <string_view>

// The folder that holds gabbler.ini, profiles.txt and the other files of one user.
struct DataFolder {
    bool ok = false;
    std::string path;  // absolute, without a trailing slash
    std::string error; // a sentence for the user when !ok
};

// The first of: the --home option, GABBLER_HOME, $XDG_CONFIG_HOME/gabbler, $HOME/.config/gabbler. Empty values
// count as unset, and a relative XDG_CONFIG_HOME is ignored, as the XDG base directory rules ask. Empty when
// nothing is set.
std::string ChooseDataFolder(std::string_view homeOption, std::string_view gabblerHome, std::string_view xdgConfigHome,
                             std::string_view home);

// Creates path with its parents when missing; the folder created is private to the user, since the folders made
// for a program's data hold passwords or their hashes. An existing folder keeps its permissions.
bool CreatePrivateFolder(const std::string &path, std::error_code &error);

// Makes path absolute and creates it, with its parents, when missing; a folder created here is private to the
// user, since it will hold passwords.
DataFolder PrepareDataFolder(std::string_view path);

// ChooseDataFolder from the process environment, then PrepareDataFolder.
DataFolder OpenDataFolder(std::string_view homeOption);

// Takes the lock that keeps a second Gabbler off folder (the file gabbler.lock in it) for as long as the result
// lives. When another Gabbler holds it, message says which process that is and how to start another Gabbler. A
// folder where no lock file can be made (a read-only one) is used without the lock; message then says why.
struct DataFolderLock {
    FolderLock lock;
    bool refused = false; // another Gabbler runs on the folder: do not start
    std::string message;
};
DataFolderLock LockDataFolder(const std::string &folder);
