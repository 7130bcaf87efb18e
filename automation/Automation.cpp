#include "automation/Automation.h"

namespace {

// Events raised while listeners run (an action that leads straight to another event) are not delivered again:
// an automatic action never triggers automation by itself.
constexpr int kMaxDepth = 1;

} // namespace

class Automation::Guarded : public BotActions {
public:
    Guarded(Automation &owner, std::string source) : owner_(owner), source_(std::move(source)) {}

    ActionResult Say(const std::string &text) override {
        return Line("say", "", text, [&] { return owner_.actions_.Say(text); });
    }
    ActionResult Whisper(int session, const std::string &text) override {
        return Line("whisper", NameOf(session), text, [&] { return owner_.actions_.Whisper(session, text); });
    }
    ActionResult ConsoleMessage(int session, const std::string &text) override {
        return Line("console", session == 0 ? std::string() : NameOf(session), text,
                    [&] { return owner_.actions_.ConsoleMessage(session, text); });
    }
    ActionResult Eject(int session, int minutes) override {
        return Act("eject", NameOf(session), std::to_string(minutes) + " minutes",
                   [&] { return owner_.actions_.Eject(session, minutes); });
    }
    ActionResult Teleport(const std::string &world, int x, int y, int z, int yaw) override {
        const std::string where =
            std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + " " + std::to_string(yaw);
        return Act("teleport", world, where, [&] { return owner_.actions_.Teleport(world, x, y, z, yaw); });
    }
    void Notice(const std::string &text) override {
        Act("notice", "", text, [&] {
            owner_.actions_.Notice(text);
            return ActionResult{};
        });
    }
    void Notify(const std::string &title, const std::string &text) override {
        Act("notify", title, text, [&] {
            owner_.actions_.Notify(title, text);
            return ActionResult{};
        });
    }
    std::vector<PresentPerson> PeoplePresent() override { return owner_.actions_.PeoplePresent(); }
    std::optional<PresentPerson> FindPerson(const std::string &name) override {
        return owner_.actions_.FindPerson(name);
    }
    std::string World() override { return owner_.actions_.World(); }
    int WorldBuild() override { return owner_.actions_.WorldBuild(); }
    std::vector<HistoryHit> SearchHistory(const std::string &query, const std::string &person, int limit) override {
        return owner_.actions_.SearchHistory(query, person, limit);
    }

private:
    std::string NameOf(int session) {
        for (const PresentPerson &person : owner_.actions_.PeoplePresent()) {
            if (person.session == session) {
                return person.name;
            }
        }
        return "session " + std::to_string(session);
    }

    template <class Do>
    ActionResult Act(const char *action, const std::string &target, const std::string &text, Do act) {
        if (!owner_.guard_.Fire(source_)) {
            return {kActionPaused, source_ + " is paused."};
        }
        return Record(action, target, text, act());
    }

    // A line others read: also within the global budget.
    template <class Do>
    ActionResult Line(const char *action, const std::string &target, const std::string &text, Do act) {
        if (!owner_.guard_.Fire(source_)) {
            return {kActionPaused, source_ + " is paused."};
        }
        if (!owner_.guard_.Spend()) {
            return Record(action, target, text, {kActionBudget, "The automation's budget of lines is spent."});
        }
        return Record(action, target, text, act());
    }

    ActionResult Record(const char *action, const std::string &target, const std::string &text, ActionResult result) {
        if (owner_.recorder_) {
            owner_.recorder_({owner_.clock_(), source_, action, target, text, result.code});
        }
        return result;
    }

    Automation &owner_;
    std::string source_;
};

Automation::Automation(BotActions &actions, GuardSettings settings, AutomationGuard::Clock clock)
    : actions_(actions), clock_(clock),
      guard_(settings, std::move(clock), [this](const std::string &line) { actions_.Notice(line); }) {}

Automation::~Automation() = default;

void Automation::Raise(BotEvent event) {
    if (depth_ >= kMaxDepth || !guard_.Hears(event)) {
        return;
    }
    if (event.time == 0) {
        event.time = clock_();
    }
    ++depth_;
    for (const Listener &listener : listeners_) {
        listener(event);
    }
    --depth_;
}

BotActions &Automation::ActionsFor(const std::string &source) {
    std::unique_ptr<Guarded> &slot = guarded_[source];
    if (!slot) {
        slot = std::make_unique<Guarded>(*this, source);
    }
    return *slot;
}
