#include "automation/ExampleScripts.h"

#include <filesystem>
#include <system_error>

FileResult InstallExampleScripts(const std::string &folder) {
    std::error_code error;
    if (std::filesystem::exists(folder, error) || error) {
        return {};
    }
    if (!std::filesystem::create_directories(folder, error)) {
        return {false, "The folder " + folder + " could not be made: " + error.message() + "."};
    }
    for (const auto &[name, text] : ExampleScripts()) {
        FileResult written = WriteFileAtomically(folder + "/" + std::string(name), text);
        if (!written.ok) {
            return written;
        }
    }
    return {};
}
