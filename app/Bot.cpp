#include "app/Bot.h"

#include "app/BotEvents.h"
#include "app/Session.h"
#include "app/SessionActions.h"
#include "automation/Automation.h"
#include "automation/RuleEngine.h"
#include "automation/RulesFile.h"
#include "automation/ScriptHost.h"
#include "chat/ChatPane.h"
#include "chat/HistoryRecorder.h"
#include "chat/People.h"
#include "history/HistoryReader.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <chrono>
#include <cstdio>

Bot::Bot(std::string home, Settings settings) : home_(std::move(home)), settings_(std::move(settings)) {
    chat_ = std::make_unique<ChatPane>(static_cast<std::size_t>(settings_.scrollbackLines));
    BuildHistory();
    LoadPlaces();
    pump_.setInterval(200);
    worldListTimer_.setInterval(30000);
    automationTick_.setInterval(1000);
}

Bot::~Bot() { Shutdown(); }

void Bot::BuildHistory() {
    // The writer's thread reports through the event loop: only this thread touches the pane. The timer is the
    // context, so a report that comes after the program's end is dropped.
    auto problem = [this](const std::string &text) {
        QMetaObject::invokeMethod(
            &pump_, [this, text] { chat_->AppendChatLine(text, ChatColour::Red, true); }, Qt::QueuedConnection);
    };
    history_ =
        std::make_unique<HistoryRecorder>(home_, std::move(problem), [] { return SdkGetString(kAttrWorldName); });
    SetRecordHistory(settings_.recordHistory);
    // Also while recording is off: what was recorded before can still be read back.
    lines_.SetHistory(history_.get());
    chat_->SetHistory(&lines_);
}

void Bot::SetRecordHistory(bool record) { history_->SetEnabled(record); }

void Bot::LoadPlaces() {
    teleports_.Load(File("teleport.txt"));
    avatars_.Load(File("avatars.txt"));
    // Said now, while the user can still do something about the file; the run's changes are kept either way.
    for (const std::string *problem : {&teleports_.LoadMessage(), &avatars_.LoadMessage()}) {
        if (!problem->empty()) {
            chat_->AppendChatLine(*problem, ChatColour::Red, true, false, false, true);
        }
    }
}

void Bot::Plug(MainView &main, PeopleView &people) {
    session_ = std::make_unique<Session>(main, *chat_, settings_);
    session_->SetAvatarLookup([this](const std::string &world) { return avatars_.LookupAvatar(world); });
    BuildPeople(people);
    BuildAutomation();
    QObject::connect(&pump_, &QTimer::timeout, [this] { session_->Pump(); });
    QObject::connect(&automationTick_, &QTimer::timeout, [this] {
        if (automationOn_) {
            scripts_->Poll();
            events_->OnTick();
        }
    });
    QObject::connect(&worldListTimer_, &QTimer::timeout, [this] { session_->RequestWorldList(); });
}

void Bot::BuildPeople(PeopleView &view) {
    const Settings &s = settings_;
    Session &session = *session_;
    people_ =
        std::make_unique<People>(*chat_, view,
                                 PeopleSettings{s.displayEnterExit, s.timestampMsgs, s.playAvEntrySound,
                                                s.avEntryWaveLocation, s.playWave, s.waveLocation, s.showAvClicks},
                                 PeopleSession{session.Login().botName, session.Login().citizen, session.OwnerName(),
                                               PersonSlot{session.selectedUser.name, session.selectedUser.session},
                                               PersonSlot{session.whisperTarget.name, session.whisperTarget.session},
                                               [&session] { return session.GlobalModeActive(); }});
    session.SetPeopleHooks({[this] { people_->Reset(); }, [this] { people_->InstallHandlers(); },
                            [this] {
                                if (automationOn_) {
                                    events_->OnWorldEntered(session_->Login().botName);
                                }
                            },
                            [this](int reason) {
                                if (automationOn_) {
                                    events_->OnDisconnected(reason);
                                }
                                for (const auto &listener : disconnectListeners_) {
                                    listener(reason);
                                }
                            }});
}

void Bot::BuildAutomation() {
    actions_ = std::make_unique<SessionActions>(*session_, *people_, *chat_, home_);
    automation_ = std::make_unique<Automation>(*actions_, GuardSettings{}, [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    });
    // What the rules and scripts did goes into the history with who did it, while the history records.
    automation_->SetRecorder([this](const AutomaticAction &a) {
        if (HistoryWriter *writer = history_->Writer()) {
            writer->RecordAutomatic(a.time, SdkGetString(kAttrWorldName), a.source, a.action, a.target, a.text,
                                    a.result);
        }
    });
    events_ = std::make_unique<BotEvents>(*automation_, [this](std::int64_t since) {
        std::vector<std::string> names;
        HistoryReader reader;
        std::string error;
        HistoryFilter today;
        today.from = since;
        if (reader.Open(home_, false, error)) {
            for (const VisitorSummary &visitor : reader.Visitors(today, automation_->Now())) {
                names.push_back(visitor.name);
            }
        }
        return names;
    });
    ScriptHostOptions scripts;
    scripts.folder = File("scripts");
    scripts.storeFolder = File("script-data");
    scripts_ = std::make_unique<ScriptHost>(*automation_, scripts, [this](const std::string &line, bool problem) {
        chat_->AppendChatLine(line, problem ? ChatColour::Red : ChatColour::Green, problem, false, false, true);
    });
    people_->SetListener([this](const PeopleEvent &event) {
        if (automationOn_) {
            events_->OnPeopleEvent(event);
        }
        for (const auto &listener : peopleListeners_) {
            listener(event);
        }
    });
    rules_ = std::make_unique<RuleEngine>(*automation_);
}

void Bot::SetAutomationOn(bool on) {
    if (on == automationOn_) {
        return;
    }
    automationOn_ = on;
    automationRead_ = false;
    if (!on) {
        scripts_->UnloadAll();
        rules_->SetRules({});
    }
}

void Bot::ReloadRules() {
    for (const std::string &problem : rules_->LoadFile(File(kRulesFileName))) {
        chat_->AppendChatLine(std::string("Rules: ") + kRulesFileName + " " + problem, ChatColour::Red, false, false,
                              false, true);
    }
}

void Bot::AddPeopleListener(std::function<void(const PeopleEvent &event)> listener) {
    peopleListeners_.push_back(std::move(listener));
}

void Bot::AddDisconnectListener(std::function<void(int reason)> listener) {
    disconnectListeners_.push_back(std::move(listener));
}

void Bot::StartTimers() {
    pump_.start();
    worldListTimer_.start();
    automationTick_.start();
}

void Bot::Start(const LoginValues &values) {
    if (automationOn_ && !automationRead_) {
        automationRead_ = true;
        ReloadRules();
        // The scripts there at the start hear the first entry.
        scripts_->Poll();
    }
    session_->SetLoginValues(values);
    session_->StartBot();
}

void Bot::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    pump_.stop();
    worldListTimer_.stop();
    automationTick_.stop();
    if (session_) {
        session_->Shutdown();
    }
    // The end of the program ends every visit still open; what waits is written before the files below.
    SetRecordHistory(false);
    // No message box on the way out (a log-out must not wait for a click); each file keeps its old version, and
    // what could not be written is said on the terminal.
    for (const FileResult &saved : {settings_.Save(File("gabbler.ini")), teleports_.Save(File("teleport.txt")),
                                    avatars_.Save(File("avatars.txt"))}) {
        if (!saved.ok) {
            std::fprintf(stderr, "gabbler: %s\n", saved.error.c_str());
        }
    }
}
