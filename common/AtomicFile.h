#pragma once

#include <optional>
#include <string>
#include <string_view>

// Files the program writes are replaced whole: a crash or a full disk leaves either the old or the new version.
struct FileResult {
    bool ok = true;
    std::string error; // a sentence for the user when !ok, naming the file
};

// A file written piece by piece that replaces its target only when complete: the pieces go to a temporary file
// beside the target, which Commit syncs and renames over it. Until then, and after any failure, the target is
// untouched; the destructor removes an uncommitted temporary.
//
// The temporary is created exclusively under a random name, never through a link: the folder may be one that
// others can write to (a log saved to /tmp), and a name they could guess would let them plant a link there.
//
// A replaced file keeps the permissions a person gave it; a new one gets what the umask allows. With ownerOnly the
// file is readable and writable by its owner alone (it holds passwords).
class AtomicFileStream {
public:
    explicit AtomicFileStream(std::string path, bool ownerOnly = false);
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

// The whole content through one AtomicFileStream.
FileResult WriteFileAtomically(const std::string &path, std::string_view content, bool ownerOnly = false);

// The whole file, or nothing when it cannot be read (a missing file is the common case: first start).
std::optional<std::string> ReadWholeFile(const std::string &path);
