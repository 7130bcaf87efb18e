#include "automation/BotEvent.h"

#include <array>

namespace {

constexpr std::array<const char *, kBotEventTypeCount> kTypeNames = {
    "arrival", "departure", "chat", "whisper", "click", "url", "entry", "disconnect", "timer"};
constexpr std::array<const char *, 3> kClassNames = {"citizen", "visitor", "bot"};

} // namespace

const char *BotEventTypeName(BotEventType type) {
    const auto i = static_cast<std::size_t>(type);
    return i < kTypeNames.size() ? kTypeNames[i] : "";
}

std::optional<BotEventType> BotEventTypeFromName(std::string_view name) {
    for (std::size_t i = 0; i < kTypeNames.size(); ++i) {
        if (name == kTypeNames[i]) {
            return static_cast<BotEventType>(i);
        }
    }
    return std::nullopt;
}

const char *PersonClassName(PersonClass personClass) {
    const auto i = static_cast<std::size_t>(personClass);
    return i < kClassNames.size() ? kClassNames[i] : "";
}

std::optional<PersonClass> PersonClassFromName(std::string_view name) {
    for (std::size_t i = 0; i < kClassNames.size(); ++i) {
        if (name == kClassNames[i]) {
            return static_cast<PersonClass>(i);
        }
    }
    return std::nullopt;
}

PersonClass ClassOfName(std::string_view name) {
    if (!name.empty() && name.front() == '[') {
        return PersonClass::Bot;
    }
    if (!name.empty() && name.front() == '"') {
        return PersonClass::Visitor;
    }
    return PersonClass::Citizen;
}

std::string BareName(std::string_view name) {
    if (name.size() >= 2 &&
        ((name.front() == '[' && name.back() == ']') || (name.front() == '"' && name.back() == '"'))) {
        return std::string(name.substr(1, name.size() - 2));
    }
    return std::string(name);
}
