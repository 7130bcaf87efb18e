#include "app/AttachStart.h"

#include "attach/AttachAddress.h"
#include "common/AtomicFile.h"
#include "crypto/KnownFingerprints.h"
#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"
#include "sdk/Sdk.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace {

constexpr int kBadPassword = 43;

std::map<std::string, std::int64_t> ReadAttachTimes(const std::string &home) {
    std::map<std::string, std::int64_t> times;
    std::ifstream in(home + "/attached.txt");
    std::string line;
    while (std::getline(in, line)) {
        const auto space = line.rfind(' ');
        if (space == std::string::npos || space == 0)
            continue;
        std::int64_t time = 0;
        const char *end = line.data() + line.size();
        if (std::from_chars(line.data() + space + 1, end, time).ptr == end && time > 0)
            times[line.substr(0, space)] = time;
    }
    return times;
}

} // namespace

AttachStart AskAttachedBot(const std::string &host, int port, const std::string &password, bool tls,
                           const std::string &home) {
    AttachStart start;
    const std::string where = host + ":" + std::to_string(port);
    auto refusal = std::make_shared<std::string>();
    SdkTuning tuning = SdkGetTuning();
    tuning.tlsCheck = nullptr;
    if (tls) {
        tuning.tlsCheck = [known = KnownFingerprints(home + "/" + kKnownFingerprintsFileName), where,
                           refusal](const std::string &fingerprint) {
            const FingerprintVerdict verdict = known.Check(where, fingerprint);
            *refusal = verdict.accepted ? std::string() : verdict.message;
            return verdict.accepted;
        };
    }
    SdkSetTuning(tuning);
    if (const int r = SdkCreate(host, port, 0); r != 0) {
        start.error =
            !refusal->empty() ? *refusal : "Unable to reach the bot at " + where + " (reason: " + ReasonText(r) + ").";
        return start;
    }
    SdkSetString(kAttrLoginPassword, password);
    if (const int r = SdkLogin(); r != 0) {
        start.error = r == kBadPassword
                          ? "The bot at " + where + " refused the password."
                          : "Unable to attach to the bot at " + where + " (reason: " + ReasonText(r) + ").";
        SdkDestroy();
        return start;
    }
    start.ok = true;
    start.login.citizen = SdkGetInt(kAttrLoginCitizen);
    start.login.botName = SdkGetString(kAttrLoginName);
    start.login.world = SdkGetString(kAttrWorldName);
    start.login.startX = SdkGetInt(kAttrMyX);
    start.login.startY = SdkGetInt(kAttrMyY);
    start.login.startZ = SdkGetInt(kAttrMyZ);
    start.login.startYaw = SdkGetInt(kAttrMyYaw);
    start.login.startAvatar = SdkGetInt(kAttrMyType);
    start.login.privilegePassword = password;
    start.login.universeHost = host;
    start.login.universePort = port;
    SdkDestroy();
    return start;
}

AttachStart BeginAttach(const std::string &home, const std::string &address, const std::string &password, bool tls,
                        std::string &where) {
    AttachAddress parsed;
    AttachStart start;
    if (!ParseAttachAddress(address, parsed, start.error)) {
        return start;
    }
    start = AskAttachedBot(parsed.host, parsed.port, password, tls, home);
    if (!start.ok) {
        return start;
    }
    where = parsed.host + ":" + std::to_string(parsed.port);
    SdkTuning tuning = SdkGetTuning();
    // A window that never attached here asks for all the bot kept (the newest lines of it): 1970 on.
    tuning.backlogSince = static_cast<std::int32_t>(std::max<std::int64_t>(1, LastAttach(home, where)));
    SdkSetTuning(tuning);
    // Should this window not end cleanly, the next attach asks for everything from this one's start on.
    RememberAttach(home, where, static_cast<std::int64_t>(std::time(nullptr)));
    return start;
}

void EndAttach(const std::string &home, const std::string &where) {
    if (!where.empty()) {
        RememberAttach(home, where, static_cast<std::int64_t>(std::time(nullptr)));
    }
}

std::int64_t LastAttach(const std::string &home, const std::string &address) {
    const auto times = ReadAttachTimes(home);
    const auto it = times.find(address);
    return it == times.end() ? 0 : it->second;
}

bool RememberAttach(const std::string &home, const std::string &address, std::int64_t time) {
    auto times = ReadAttachTimes(home);
    times[address] = time;
    std::ostringstream text;
    for (const auto &[where, when] : times)
        text << where << ' ' << when << '\n';
    return WriteFileAtomically(home + "/attached.txt", text.str()).ok;
}
