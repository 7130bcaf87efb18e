#include "common/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileResult Failure(const std::string& path, const char* what, int error) {
    return {false, "Cannot " + std::string(what) + " \"" + path + "\": " + std::strerror(error) + "."};
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

FileResult WriteFileAtomically(const std::string& path, std::string_view content, bool ownerOnly) {
    // A fixed suffix plus the process id: two programs writing the same file never share a temporary.
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    mode_t mode = ownerOnly ? 0600 : 0644;
    if (!ownerOnly) {
        // Keep the permissions a person gave the existing file.
        struct stat existing {};
        if (::stat(path.c_str(), &existing) == 0) {
            mode = existing.st_mode & 07777;
        }
    }
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        return Failure(path, "write", errno);
    }
    ::fchmod(fd, mode); // the umask may have narrowed or, for ownerOnly, must not widen it
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            return Failure(path, "write", error);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Failure(path, "write", error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Failure(path, "replace", error);
    }
    // Make the rename itself durable.
    const int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return content.str();
}
