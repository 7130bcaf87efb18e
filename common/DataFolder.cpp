#include "common/DataFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string_view Environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? std::string_view(value) : std::string_view();
}

} // namespace

std::string ChooseDataFolder(std::string_view homeOption, std::string_view gabblerHome, std::string_view xdgConfigHome,
                             std::string_view home) {
    if (!homeOption.empty()) {
        return std::string(homeOption);
    }
    if (!gabblerHome.empty()) {
        return std::string(gabblerHome);
    }
    if (xdgConfigHome.starts_with('/')) {
        return (fs::path(xdgConfigHome) / "gabbler").string();
    }
    if (!home.empty()) {
        return (fs::path(home) / ".config" / "gabbler").string();
    }
    return {};
}

bool CreatePrivateFolder(const std::string &path, std::error_code &error) {
    if (fs::create_directories(path, error)) {
        // Not being able to narrow it is no reason to give up the folder.
        std::error_code ignored;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, ignored);
    }
    return !error;
}

DataFolder PrepareDataFolder(std::string_view path) {
    DataFolder result;
    if (path.empty()) {
        result.error = "Cannot find a folder for Gabbler's files: HOME is not set. Start Gabbler with --home FOLDER.";
        return result;
    }
    std::error_code error;
    const fs::path folder = fs::absolute(fs::path(path), error).lexically_normal();
    if (error) {
        result.error = "Cannot use the folder \"" + std::string(path) + "\": " + error.message() + ".";
        return result;
    }
    result.path = folder.string();
    while (result.path.size() > 1 && result.path.back() == '/') {
        result.path.pop_back();
    }
    if (fs::exists(result.path, error) && !fs::is_directory(result.path, error)) {
        result.error = "Cannot use \"" + result.path + "\" as Gabbler's folder: it is a file, not a folder.";
        return result;
    }
    if (!CreatePrivateFolder(result.path, error)) {
        result.error = "Cannot create the folder \"" + result.path + "\": " + error.message() + ".";
        return result;
    }
    result.ok = true;
    return result;
}

DataFolder OpenDataFolder(std::string_view homeOption) {
    return PrepareDataFolder(
        ChooseDataFolder(homeOption, Environment("GABBLER_HOME"), Environment("XDG_CONFIG_HOME"), Environment("HOME")));
}

DataFolderLock LockDataFolder(const std::string &folder) {
    DataFolderLock result;
    result.lock = FolderLock(folder + "/gabbler.lock");
    const FolderLock &lock = result.lock;
    if (lock.Busy()) {
        result.refused = true;
        const std::string process = lock.Holder() > 0 ? "process " + std::to_string(lock.Holder()) : "another process";
        result.message = "Gabbler is already running on the folder \"" + folder + "\" (" + process +
                         "). One folder serves one Gabbler at a time, so that its settings and lists are not "
                         "written over. Use that Gabbler, or start this one with a folder of its own: "
                         "gabbler --home FOLDER";
    } else if (!lock.Held()) {
        result.message = "Cannot lock \"" + lock.Path() + "\": " + lock.Error() +
                         ". Gabbler runs without the lock, so do not start a second one on this folder.";
    }
    return result;
}
