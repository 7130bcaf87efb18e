#include "automation/ExampleRules.h"

#include "automation/RulesFile.h"

#include <filesystem>
#include <system_error>

std::string_view ExampleRules() {
    return R"(# Gabbler's rules. Each starts with its name in brackets, then "key = value" lines; see the manual.

[Greeter]
on = yes
when = arrival first-visit
class = citizen visitor
cooldown-person = 600
then = whisper Welcome to {world}, {name}! Ask "what are the rules here?" if you like.

[Answers: rules]
on = yes
when = chat
words = rules here, the rules
cooldown-rule = 30
then = say {name}: be kind, no flooding, and have fun. {people} people are here now.

[Answers: events]
on = yes
when = chat
regex = \b(next|upcoming)\s+event
cooldown-rule = 30
then = say {name}: there is a guided walk to the hills every half hour; the next announcement tells you.

[Flood guard]
on = yes
when = chat
flood = 5 10
class = citizen visitor
warn = {name}, please slow down: one more flood and you will be ejected for 5 minutes.
then = eject 5
then = notice Flood guard: ejected {name} for 5 minutes.

[Announcement]
on = yes
when = every 30
world = Town
then = say It is {time} in {world}: the guided walk to the hills starts at the fountain. {people} people here.
)";
}

FileResult InstallExampleRules(const std::string &folder) {
    const std::string path = folder + "/" + kRulesFileName;
    std::error_code error;
    if (std::filesystem::exists(path, error) || error) {
        return {};
    }
    return WriteFileAtomically(path, ExampleRules());
}
