#pragma once

#include <string>

// One running program per folder. The lock is an flock on a file in the folder that also holds the owner's process
// id: the kernel drops the lock when that process ends, however it ends, so a crashed run blocks nobody, and the
// id left in the file means nothing once nobody holds the lock.
class FolderLock {
public:
    FolderLock() = default;
    // Tries once, without waiting.
    explicit FolderLock(std::string lockFile);
    ~FolderLock();
    FolderLock(FolderLock &&other) noexcept;
    FolderLock &operator=(FolderLock &&other) noexcept;
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    bool Held() const { return fd_ >= 0; }
    // When another process holds the lock: its process id as it wrote it (0 when it has not yet).
    long Holder() const { return holder_; }
    bool Busy() const { return busy_; }
    // When the lock file itself could not be used: why.
    const std::string &Error() const { return error_; }
    const std::string &Path() const { return path_; }

    void Release();

private:
    std::string path_;
    int fd_ = -1;
    bool busy_ = false;
    long holder_ = 0;
    std::string error_;
};
