#include "history/HistoryTypes.h"

namespace {
constexpr const char *kNames[kLineKindCount] = {"chat", "whisper", "console", "notice", "own"};
}

const char *LineKindName(LineKind kind) {
    const auto i = static_cast<int>(kind);
    return i >= 0 && i < kLineKindCount ? kNames[i] : nullptr;
}

std::optional<LineKind> LineKindFromName(const std::string &name) {
    for (int i = 0; i < kLineKindCount; ++i) {
        if (name == kNames[i])
            return static_cast<LineKind>(i);
    }
    return std::nullopt;
}
