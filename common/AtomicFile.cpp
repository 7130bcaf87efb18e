#include "common/AtomicFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string DirectoryOf(const std::string &path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string &path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Sixteen hex digits from the kernel's random source; nobody can tell the name before the file exists.
bool RandomSuffix(std::string &suffix) {
    std::uint64_t bits = 0;
    auto *out = reinterpret_cast<char *>(&bits);
    std::size_t got = 0;
    while (got < sizeof bits) {
        const ssize_t n = ::getrandom(out + got, sizeof bits - got, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    static const char kHex[] = "0123456789abcdef";
    suffix.clear();
    for (int i = 0; i < 16; ++i) {
        suffix += kHex[(bits >> (i * 4)) & 0xF];
    }
    return true;
}

} // namespace

AtomicFileStream::AtomicFileStream(std::string path, bool ownerOnly) : path_(std::move(path)) {
    struct stat existing {};
    const bool keepMode = !ownerOnly && ::stat(path_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // A hidden name beside the target, so the rename stays within one file system.
    const std::string stem = DirectoryOf(path_) + "/." + BaseNameOf(path_) + ".";
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        std::string suffix;
        if (!RandomSuffix(suffix)) {
            Fail("write", errno);
            return;
        }
        temporary_ = stem + suffix + ".tmp";
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, ownerOnly ? 0600 : 0666);
        if (fd_ < 0 && errno != EEXIST) {
            Fail("write", errno);
            return;
        }
    }
    if (fd_ < 0) {
        Fail("write", EEXIST);
        return;
    }
    if (ownerOnly) {
        ::fchmod(fd_, 0600); // never wider, whatever the umask
    } else if (keepMode) {
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
    // Make the rename itself durable.
    const int dir = ::open(DirectoryOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return result_;
}

FileResult WriteFileAtomically(const std::string &path, std::string_view content, bool ownerOnly) {
    AtomicFileStream file(path, ownerOnly);
    file.Write(content);
    return file.Commit();
}

std::optional<std::string> ReadWholeFile(const std::string &path) {
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
