#pragma once

// A small tmpfs mounted for one test and unmounted afterwards, to see how the program meets a full disk. Mounting
// needs root; Mounted() says whether the test can run.

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

class SmallDisk {
public:
    SmallDisk(const std::string &folder, std::size_t bytes) : folder_(folder) {
        std::filesystem::create_directories(folder_);
        const std::string options = "size=" + std::to_string(bytes);
        if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
            mounted_ = true;
        } else {
            error_ = std::strerror(errno);
        }
    }
    ~SmallDisk() {
        if (mounted_) {
            ::umount2(folder_.c_str(), MNT_DETACH);
        }
    }
    bool Mounted() const { return mounted_; }
    const std::string &Error() const { return error_; }

    // Takes every free byte with one file.
    void Fill() {
        const int fd = ::open((folder_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        const std::string block(4096, 'f');
        for (std::size_t size = block.size(); size > 0;) {
            if (::write(fd, block.data(), size) < 0) {
                size /= 2; // the last pages, then the last bytes
            }
        }
        ::close(fd);
    }
    void Free() { std::filesystem::remove(folder_ + "/filler"); }

private:
    std::string folder_;
    bool mounted_ = false;
    std::string error_;
};
