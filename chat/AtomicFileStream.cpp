#include "chat/AtomicFileStream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

std::string DirectoryOf(const std::string &path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

AtomicFileStream::AtomicFileStream(std::string path)
    : path_(std::move(path)), temporary_(path_ + ".tmp" + std::to_string(::getpid())) {
    struct stat existing {};
    const bool keepMode = ::stat(path_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // A new file gets what the umask allows; a replaced one keeps the permissions a person gave it.
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        Fail("write", errno);
        return;
    }
    if (keepMode) {
        ::fchmod(fd_, existing.st_mode & 07777);
    }
}

AtomicFileStream::~AtomicFileStream() { Discard(); }

void AtomicFileStream::Fail(const char *what, int error) {
    if (result_.ok) {
        result_ = {false, "Cannot " + std::string(what) + " \"" + path_ + "\": " + std::strerror(error) + "."};
    }
    Discard();
}

void AtomicFileStream::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        ::unlink(temporary_.c_str());
    }
}

bool AtomicFileStream::Write(std::string_view data) {
    while (fd_ >= 0 && !data.empty()) {
        const ssize_t written = ::write(fd_, data.data(), data.size());
        if (written < 0) {
            if (errno != EINTR) {
                Fail("write", errno);
            }
            continue;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return result_.ok;
}

FileResult AtomicFileStream::Commit() {
    if (fd_ < 0) {
        return result_;
    }
    if (::fsync(fd_) != 0) {
        Fail("write", errno);
        return result_;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        Fail("write", error);
        return result_;
    }
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        Fail("replace", error);
        return result_;
    }
    const int dir = ::open(DirectoryOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return result_;
}
