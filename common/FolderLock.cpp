#include "common/FolderLock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace {

long ReadPid(int fd) {
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) {
        return 0;
    }
    return std::strtol(text, nullptr, 10);
}

} // namespace

FolderLock::FolderLock(std::string lockFile) : path_(std::move(lockFile)) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = std::strerror(errno);
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            busy_ = true;
            holder_ = ReadPid(fd);
        } else {
            error_ = std::strerror(error);
        }
        ::close(fd);
        return;
    }
    fd_ = fd;
    const std::string pid = std::to_string(::getpid()) + "\n";
    // Without the id the lock still holds; a second start then only cannot name this process.
    [[maybe_unused]] const bool named =
        ::ftruncate(fd_, 0) == 0 && ::pwrite(fd_, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
}

FolderLock::~FolderLock() { Release(); }

FolderLock::FolderLock(FolderLock &&other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), busy_(other.busy_), holder_(other.holder_),
      error_(std::move(other.error_)) {}

FolderLock &FolderLock::operator=(FolderLock &&other) noexcept {
    if (this != &other) {
        Release();
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        busy_ = other.busy_;
        holder_ = other.holder_;
        error_ = std::move(other.error_);
    }
    return *this;
}

void FolderLock::Release() {
    if (fd_ >= 0) {
        // The id goes first, so the file never names a process that no longer holds it.
        [[maybe_unused]] const int ignored = ::ftruncate(fd_, 0);
        ::close(fd_);
        fd_ = -1;
    }
}
