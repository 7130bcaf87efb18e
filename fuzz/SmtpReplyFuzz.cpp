// The SMTP client's reply reader on whatever a relay sends: replies cut from the bytes as they arrive in pieces
// are the replies cut from the bytes whole, each ends with its final line, and its code is a three-digit number at
// most.
//
// Input: two bytes seeding the piece sizes, then what the relay sends.

#include "fuzz/FuzzBytes.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "mail/SmtpConnection.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string> Replies(std::string_view stream, bool inPieces, std::uint32_t seed) {
    std::vector<std::string> replies;
    std::string received;
    std::size_t scanned = 0;
    PieceSizes sizes(seed);
    while (!stream.empty()) {
        const std::size_t n = inPieces ? std::min(stream.size(), sizes.Next()) : stream.size();
        received.append(stream.substr(0, n));
        stream.remove_prefix(n);
        while (const std::size_t length = SmtpReplyLength(received, scanned)) {
            FUZZ_CHECK(length <= received.size(), "a reply lies within what was received");
            replies.push_back(received.substr(0, length));
            received.erase(0, length);
            scanned = 0;
        }
        FUZZ_CHECK(scanned <= received.size(), "the scan stays within what was received");
    }
    return replies;
}

void CheckReply(std::string_view reply) {
    FUZZ_CHECK(!reply.empty() && reply.back() == '\n', "a reply ends with a line feed");
    std::string_view rest = reply;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        const bool continued = line.size() >= 4 && line[3] == '-';
        FUZZ_CHECK(continued == !rest.empty(), "only the last line of a reply is a final line");
    }
    const int code = SmtpReplyCode(reply);
    FUZZ_CHECK(code >= 0 && code <= 999, "a reply code has three digits at most");
}

} // namespace

int FuzzSmtpReply(const std::uint8_t *data, std::size_t size) {
    FuzzBytes input(data, size);
    const std::uint32_t seed = input.Word();
    const std::string_view stream = input.Rest();
    const std::vector<std::string> whole = Replies(stream, false, seed);
    for (const std::string &reply : whole) {
        CheckReply(reply);
    }
    FUZZ_CHECK(Replies(stream, true, seed) == whole, "replies read in pieces are the replies read whole");
    return 0;
}
