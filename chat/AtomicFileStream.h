#pragma once

#include "common/AtomicFile.h"

#include <string>
#include <string_view>

// A file written piece by piece that replaces its target only when complete: the pieces go to a temporary file
// beside the target, which Commit syncs and renames over it. Until then, and after any failure, the target is
// untouched; the destructor removes an uncommitted temporary.
class AtomicFileStream {
public:
    explicit AtomicFileStream(std::string path);
    ~AtomicFileStream();
    AtomicFileStream(const AtomicFileStream &) = delete;
    AtomicFileStream &operator=(const AtomicFileStream &) = delete;

    // False once anything failed; the first failure is kept for Commit to report.
    bool Write(std::string_view data);
    FileResult Commit();

private:
    void Fail(const char *what, int error);
    void Discard();

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    FileResult result_;
};
