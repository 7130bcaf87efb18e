#include "crypto/SmallFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

FileRead ReadSmallFile(const std::string &path, std::string &content, std::string &error, std::size_t limit) {
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return FileRead::Missing;
        error = "Cannot read " + path + ": " + std::strerror(errno) + ".";
        return FileRead::Failed;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = "Cannot read " + path + ": " + std::strerror(errno) + ".";
            ::close(fd);
            return FileRead::Failed;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > limit) {
            error = path + " is larger than such a file can be (" + std::to_string(limit) + " bytes).";
            ::close(fd);
            return FileRead::Failed;
        }
    }
    ::close(fd);
    return FileRead::Read;
}
