#pragma once

// The certificate fingerprints of the headless bots a window has attached to, one line per bot in a text file of
// the window's data folder:
//
//     # comment lines and blank lines are kept
//     bot.example.org:5871 3A:0F:...:C2
//
// The first attach to a HOST:PORT remembers the fingerprint the bot presented; a later attach that presents another
// one is refused, with a message naming both fingerprints and the file, since the bot has either made a new
// certificate or someone is in between. Deleting the line accepts the next one again. The file is rewritten
// atomically and safe to edit by hand while no window runs.
//
//     KnownFingerprints known(dataFolder + "/" + kKnownFingerprintsFileName);
//     const FingerprintVerdict v = known.Check("bot.example.org:5871", presented);
//     if (!v.accepted) ... show v.message ...

#include <string>

inline constexpr const char *kKnownFingerprintsFileName = "bot-fingerprints.txt";

struct FingerprintVerdict {
    bool accepted = false;
    bool remembered = false; // the fingerprint was new and is now in the file
    std::string message;     // why it was refused; for a new one, a note naming the fingerprint and the file
};

class KnownFingerprints {
public:
    explicit KnownFingerprints(std::string path) : path_(std::move(path)) {}

    // Host names are compared without regard to case. Refused too: a fingerprint that is not one, a file that
    // cannot be read, a line for the bot that holds no readable fingerprint, and a new fingerprint that cannot
    // be written down (else every attach would be a first one).
    FingerprintVerdict Check(const std::string &hostPort, const std::string &fingerprint) const;

    const std::string &Path() const { return path_; }

private:
    std::string path_;
};
