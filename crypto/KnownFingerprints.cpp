#include "crypto/KnownFingerprints.h"

#include "common/AtomicFile.h"
#include "crypto/Fingerprint.h"
#include "crypto/SmallFile.h"

#include <mutex>
#include <sstream>

namespace {

// One line per bot: even thousands of bots stay far below this; a larger file is not ours.
constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;

constexpr std::string_view kHeader =
    "# Certificate fingerprints of the headless bots this Gabbler has attached to, one\n"
    "# \"HOST:PORT FINGERPRINT\" a line. Delete a bot's line to accept a new\n"
    "# certificate from it.\n";

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// One process may attach several windows at once; their first attaches must not write over each other.
std::mutex fileMutex;

} // namespace

FingerprintVerdict KnownFingerprints::Check(const std::string &hostPort, const std::string &fingerprint) const {
    FingerprintVerdict verdict;
    const std::string presented = NormalizedFingerprint(fingerprint);
    if (presented.empty()) {
        verdict.message = "The bot at " + hostPort + " presented no usable certificate.";
        return verdict;
    }
    const std::string key = Lowered(hostPort);
    if (key.empty() || key.find_first_of(" \t\r\n") != std::string::npos) {
        verdict.message = "\"" + hostPort + "\" is not a HOST:PORT to remember a certificate for.";
        return verdict;
    }
    std::lock_guard lock(fileMutex);

    std::string content, error;
    if (ReadSmallFile(path_, content, error, kMaxFileSize) == FileRead::Failed) {
        verdict.message = error + " It lists the known bot certificates, so the bot at " + hostPort +
                          " is refused until it can be read.";
        return verdict;
    }

    std::istringstream lines(content);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const std::string_view text = Trimmed(line);
        if (text.empty() || text.front() == '#')
            continue;
        const auto space = text.find_first_of(" \t");
        if (Lowered(text.substr(0, space)) != key)
            continue;
        const std::string known =
            space == std::string_view::npos ? std::string() : NormalizedFingerprint(Trimmed(text.substr(space)));
        if (known.empty()) {
            verdict.message = "Line " + std::to_string(number) + " of " + path_ +
                              " holds no readable fingerprint for " + hostPort +
                              ", so its certificate cannot be checked. Correct or delete that line.";
            return verdict;
        }
        if (known != presented) {
            verdict.message = "The bot at " + hostPort + " presented the certificate fingerprint " + presented +
                              ", but " + path_ + " remembers " + known +
                              " for it. Refused: someone may be between you and the bot. If the bot's certificate "
                              "was made anew, delete the line of " +
                              hostPort + " from " + path_ + " and attach again.";
            return verdict;
        }
        verdict.accepted = true;
        return verdict;
    }

    if (content.empty())
        content = kHeader;
    else if (content.back() != '\n')
        content += '\n';
    content += key + " " + presented + "\n";
    const FileResult written = WriteFileAtomically(path_, content);
    if (!written.ok) {
        verdict.message = written.error + " The bot at " + hostPort + " is refused: its certificate fingerprint " +
                          presented + " could not be remembered.";
        return verdict;
    }
    verdict.accepted = true;
    verdict.remembered = true;
    verdict.message = "First attach to " + hostPort + ": its certificate fingerprint " + presented +
                      " is remembered in " + path_ + ".";
    return verdict;
}
