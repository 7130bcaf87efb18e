#include "app/Session.h"

#include "app/Commands.h"
#include "app/MainView.h"
#include "chat/ChatPane.h"
#include "common/Decimal.h"
#include "common/TextCase.h"
#include "sdk/Attributes.h"
#include "sdk/CallbackRequest.h"
#include "sdk/ReasonText.h"
#include "sdk/Sdk.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <array>

namespace {

constexpr std::uint32_t kBlue = ChatColour::Blue;
constexpr std::uint32_t kGreen = ChatColour::Green;
constexpr std::uint32_t kTeal = ChatColour::Teal;
constexpr std::uint32_t kRed = ChatColour::Red;
constexpr std::uint32_t kRose = ChatColour::Rose;

constexpr const char *kNoRightToSpeak = "You do not have the right to speak in this world.";
constexpr const char *kSelectName = "Select a name from the userlist.";
constexpr const char *kNotSaid = "Not said (reason: %s); the text stays in the say box.";
constexpr const char *kNotWhispered = "Not whispered (reason: %s); the text stays in the whisper box.";
constexpr const char *kNotSentGlobally = "Not sent to the world (reason: %s); the text stays in the say box.";
constexpr int kReasonStringTooLong = 450;

// Names that would pass the bot off as one of the universe's staff.
constexpr std::array<std::string_view, 9> kReservedBotNames = {
    "Administrator", "Admin", "Caretaker", "Moderator", "Immigration", "Universe", "System", "Server", "Sysop"};

std::string WithReason(std::string_view format, int code) {
    // Every "(reason: %s)." message is formed here, each from its own ReasonText call.
    std::string text(format);
    const auto at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, ReasonText(code));
    }
    return text;
}

std::string LongLocalDateTime() {
    return QLocale::system().toString(QDateTime::currentDateTime(), QLocale::LongFormat).toStdString();
}

} // namespace

Session::Session(MainView &view, ChatPane &chat, Settings &settings) : view_(view), chat_(chat), settings_(settings) {}

Session::~Session() = default;

bool Session::IsReservedBotName(std::string_view name) {
    for (const std::string_view reserved : kReservedBotNames) {
        if (EqualsNoCase(name, reserved)) {
            return true;
        }
    }
    return false;
}

void Session::Append(const std::string &text, std::uint32_t colour, bool bold, bool italic) {
    chat_.AppendChatLine(text, colour, bold, italic, false, true);
}

void Session::StartBot() {
    LogOut();
    startFailure_.reset();
    const std::string buildText = std::to_string(kGabblerBuild);
    Append("Attempting to start Gabbler Build " + buildText + "...", kBlue, true);
    Append("Gabbler is made by the Gabbler developers.", kBlue, true);
    Append("Release notes and help are in the Help menu.", kBlue, true);

    using Step = StartFailure::Step;
    if (login_.citizen == 0) {
        FailStart(Step::LoginValues, 0, "Sorry, you must be a registered citizen.");
        return;
    }
    if (login_.botName.empty() || login_.privilegePassword.empty()) {
        FailStart(Step::LoginValues, 0, "You must supply a bot name and a privilege password.");
        return;
    }
    if (IsReservedBotName(login_.botName)) {
        FailStart(Step::LoginValues, 0, "Sorry, use of that bot name is prohibited.");
        return;
    }
    if (login_.world.empty()) {
        startFailure_ = StartFailure{Step::LoginValues, 0, "You must input a world to go to."};
        Append(startFailure_->message, kRed, true, true);
        return;
    }

    InstallHandlers();

    if (const int r = SdkCreate(login_.universeHost, login_.universePort, 0); r != 0) {
        FailStart(Step::Create, r, WithReason("Unable to create bot instance (reason: %s).", r));
        return;
    }
    SdkSetInt(kAttrLoginCitizen, login_.citizen);
    SdkSetString(kAttrLoginPassword, login_.privilegePassword);
    SdkSetString(kAttrApplication, "Gabbler Build " + buildText);
    SdkSetString(kAttrLoginName, login_.botName);
    if (const int r = SdkLogin(); r == 43) {
        FailStart(Step::Login, r, "You have entered an invalid password.");
        Append("Please verify that you have entered your privilege password and not your citizen password.", kBlue);
        return;
    } else if (r != 0) {
        FailStart(Step::Login, r, WithReason("Unable to login (reason: %s).", r));
        return;
    }
    loggedIn_ = true;

    ownerName_ = SdkCitizenByNumber(login_.citizen) == 0 ? SdkGetString(kAttrCitizenName)
                                                         : "<" + std::to_string(login_.citizen) + ">";

    reentryPending_ = false;
    SdkSetBool(kAttrEnterGlobal, settings_.enterGlobal);
    if (const int r = SdkEnter(login_.world); r == 467) {
        LogoutAfterFailure(r, "Sorry, your bot doesn't have entrance here.");
        return;
    } else if (r != 0) {
        LogoutAfterFailure(r, WithReason("Unable to enter world (reason: %s).", r));
        return;
    }

    ReportGlobalMode();
    SdkSetInt(kAttrMyX, login_.startX);
    SdkSetInt(kAttrMyZ, login_.startZ);
    SdkSetInt(kAttrMyYaw, login_.startYaw);
    SdkSetInt(kAttrMyY, login_.startY);
    SdkSetInt(kAttrMyType, login_.startAvatar ? *login_.startAvatar
                           : avatarLookup_    ? avatarLookup_(SdkGetString(kAttrWorldName))
                                              : 0);
    if (const int r = SdkStateChange(); r != 0) {
        LogoutAfterFailure(r, WithReason("Unable to change state (reason: %s).", r));
        return;
    }

    started_ = true;
    Append("Bot started at " + LongLocalDateTime() + ".", kBlue, true);
    AppendWorldInfoLines();
    view_.SetMapCentre(SdkGetInt(kAttrMyX), SdkGetInt(kAttrMyZ));
    RequestWorldList();
    view_.SetMapManualScale(30);
    view_.SetMapGrid(1000);
    EnableWorldItems();
    SetWhisperLabelForBuild();
    if (settings_.showAvatarMap) {
        view_.ShowAvatarMap(true);
    }
    if (settings_.playLoginSound && !settings_.loginWaveLocation.empty()) {
        view_.PlaySound(settings_.loginWaveLocation);
    }
    if (login_.citizen == 1) {
        view_.EnableCommand(Command::UniverseEjections, true);
    }
    view_.ApplyMapZoomType();
    // The title, the rights box and the speech rules follow with the world attributes event of this entry.
    if (people_.worldEntered) {
        people_.worldEntered();
    }
    if (onStarted) {
        onStarted();
    }
}

void Session::LogOut() {
    if (!loggedIn_ && !started_ && !startFailure_) {
        return; // never started: nothing to leave
    }
    SdkDestroy();
    loggedIn_ = false;
    started_ = false;
    reentryPending_ = false;
    globalMode_ = false;
    worldListRefusal_ = 0;
    pendingDisconnectBox_.reset();
    SdkSetCallbackHandler(kCallbackEnterResult, {});
    SessionReset();
    EnableWorldItems(false);
    view_.EnableCommand(Command::WorldEjections, false);
    view_.EnableCommand(Command::LoadObject, false);
    view_.EnableCommand(Command::UniverseEjections, false);
    view_.SetRights({"Rights:"});
    view_.SetTitle("Gabbler");
    worlds_.Clear();
    if (onWorldListComplete) {
        onWorldListComplete();
    }
}

void Session::EnableWorldItems(bool enabled) {
    for (const int command :
         {Command::CitLookup, Command::ChangeAvatar, Command::Planter, Command::Teleport, Command::WorldFeatures,
          Command::WorldRights, Command::UniverseOptions, Command::MoveNorth, Command::MoveSouth, Command::MoveEast,
          Command::MoveWest, Command::MoveUp, Command::MoveDown, Command::FaceNorth, Command::FaceSouth,
          Command::FaceWest, Command::FaceEast, Command::Remember}) {
        view_.EnableCommand(command, enabled);
    }
    for (const int control : {Control::SayBox, Control::RightsBox, Control::ShowMap, Control::HideMap}) {
        view_.EnableControl(control, enabled);
    }
}

void Session::SetWhisperLabelForBuild() {
    view_.SetWhisperLabel(SdkGetInt(kAttrWorldBuildNumber) > 16 ? kSelectName : "World doesn't support whisper.");
}

void Session::FailStart(StartFailure::Step step, int reason, const std::string &message) {
    startFailure_ = StartFailure{step, reason, message};
    Append(message, kBlue);
}

void Session::LogoutAfterFailure(int reason, const std::string &message) {
    FailStart(StartFailure::Step::Enter, reason, message);
    SdkDestroy();
    loggedIn_ = false;
    Append("Gabbler has logged out of the universe.", kBlue);
}

void Session::InstallHandlers() {
    // The roster installs events 0, 6, 2, 1, 20, 21 and 29 in their places; the world events are the session's.
    if (people_.install) {
        people_.install();
    }
    SdkSetEventHandler(kEventWorldAttributes, [this] { OnWorldAttributes(); });
    SdkSetEventHandler(kEventWorldDisconnect, [this] { OnWorldDisconnected(); });
    SdkSetEventHandler(kEventWorldInfo, [this] { OnWorldInfo(); });
    SdkSetEventHandler(kEventUniverseTime, [this] { OnUniverseTime(); });
    SdkSetCallbackHandler(kCallbackWorldListResult, [this](int result) { OnWorldListResult(result); });
}

void Session::OnWorldListResult(int result) {
    if (result != 0 && IsUnanswered(result)) {
        // The timer asks every 30 seconds: one line per outage is enough, and none before the bot is in a world.
        if (started_ && result != worldListRefusal_) {
            Append(WithReasonText("Unable to query world list.", result), kRed);
        }
        worldListRefusal_ = result;
        return;
    }
    worldListRefusal_ = 0;
    if (result != 0) {
        Append("Unable to query world list.", kRed);
        return;
    }
    if (SdkGetBool(kAttrWorldListMore)) {
        RequestWorldList();
        return;
    }
    if (onWorldListComplete) {
        onWorldListComplete();
    }
}

void Session::SessionReset() {
    if (people_.reset) {
        people_.reset();
    }
    selectedUser = {};
    view_.SetWhisperText("");
    view_.SetWhisperLabel(kSelectName);
    view_.EnableControl(Control::WhisperBox, false);
}

void Session::SetNowhereTitle() { view_.SetTitle("Gabbler - [" + login_.botName + "] in nowhere"); }

void Session::EnterWorld() {
    SessionReset();
    Append("Immigration Officer: Attempting to enter world.", kGreen);
    reentryPending_ = false;
    SdkSetBool(kAttrEnterGlobal, settings_.enterGlobal);
    SdkRequestWithCallback(
        kCallbackEnterResult, [this](int result) { OnEnterResult(result, false); },
        [this] { return SdkEnter(worldToEnter_); });
    SetNowhereTitle();
}

void Session::EnterWorldAt(const std::string &world, int z, int x, int y, int yaw) {
    SessionReset();
    Append("Immigration Officer: Attempting to enter " + world + ".", kGreen);
    SetNowhereTitle();
    pendingArrival_ = Position{x, y, z, yaw};
    reentryPending_ = false;
    SdkSetBool(kAttrEnterGlobal, settings_.enterGlobal);
    SdkRequestWithCallback(
        kCallbackEnterResult, [this](int result) { OnEnterResult(result, true); },
        [&world] { return SdkEnter(world); });
}

void Session::OnEnterResult(int result, bool atPendingPosition) {
    SdkSetCallbackHandler(kCallbackEnterResult, {});
    if (result == 467) {
        Append("Immigration Officer: Sorry, your bot doesn't have entrance here.", kGreen);
        return;
    }
    if (result != 0) {
        Append(WithReason("Immigration Officer: Unable to enter world (reason: %s).", result), kGreen);
        return;
    }
    ReportGlobalMode();
    const Position arrival = atPendingPosition ? pendingArrival_ : Position{};
    SdkSetInt(kAttrMyX, arrival.x);
    SdkSetInt(kAttrMyY, arrival.y);
    SdkSetInt(kAttrMyZ, arrival.z);
    SdkSetInt(kAttrMyYaw, arrival.yaw);
    SdkSetInt(kAttrMyType, avatarLookup_ ? avatarLookup_(SdkGetString(kAttrWorldName)) : 0);
    SdkStateChange();
    view_.SetMapCentre(SdkGetInt(kAttrMyX), SdkGetInt(kAttrMyZ));
    OnWorldAttributes();
    AppendWorldInfoLines();
    SetWhisperLabelForBuild();
    if (people_.worldEntered) {
        people_.worldEntered();
    }
}

void Session::ReportGlobalMode() {
    globalMode_ = false;
    if (settings_.enterGlobal) {
        if (SdkGetBool(kAttrEnterGlobal) && SdkGetBool(kAttrWorldCaretaker) && SdkGetInt(kAttrWorldBuildNumber) >= 39) {
            chat_.AppendChatLine("Global Operator: Gabbler has successfully entered global mode.", kTeal, false, false,
                                 false, true);
            globalMode_ = true;
        } else {
            Append("Global Operator: Unable to enter global mode.", kRose);
        }
    }
    view_.SetSayByteLimit(SayByteLimit());
}

bool Session::EminentDomain() const {
    if (!SdkGetBool(kAttrWorldBuild)) {
        return false;
    }
    const std::string list = SdkGetString(kAttrWorldEminentDomainRight);
    std::size_t at = 0;
    while (at < list.size()) {
        const std::size_t start = list.find_first_not_of(", ", at);
        if (start == std::string::npos) {
            break;
        }
        std::size_t stop = list.find_first_of(", ", start);
        if (stop == std::string::npos) {
            stop = list.size();
        }
        const std::string_view token(list.data() + start, stop - start);
        if (token.find('*') != std::string_view::npos || ReadDecimal(token) == login_.citizen) {
            return true;
        }
        at = stop;
    }
    return false;
}

void Session::OnWorldAttributes() {
    const int build = SdkGetInt(kAttrWorldBuildNumber);
    const bool speech = SdkGetBool(kAttrWorldSpeech);
    const bool eminent = EminentDomain();
    std::vector<std::string> rights{"Rights:"};
    view_.SetTitle("Gabbler - [" + login_.botName + "] in " + SdkGetString(kAttrWorldName) + " world");
    if (SdkGetBool(kAttrWorldBuild)) {
        rights.push_back("Build");
    }
    if (SdkGetBool(kAttrWorldCaretaker)) {
        rights.push_back("Caretaker");
    }
    if (SdkGetBool(kAttrWorldEject)) {
        rights.push_back("Eject");
    }
    if (eminent) {
        rights.push_back("Eminent Domain");
    }
    if (SdkGetBool(kAttrWorldPublicSpeaker)) {
        rights.push_back("Public Speaker");
    }
    view_.EnableCommand(Command::WorldEjections, SdkGetBool(kAttrWorldCaretaker) && build >= 23);
    view_.EnableCommand(Command::LoadObject, eminent && build >= 21);
    if (build <= 16) {
        rights.push_back("Speech");
        view_.SetWhisperText("");
        view_.EnableControl(Control::WhisperBox, false);
        view_.EnableControl(Control::SayBox, true);
    } else {
        if (speech) {
            rights.push_back("Speech");
            view_.EnableControl(Control::SayBox, true);
        }
        view_.SetWhisperText("");
        if (!speech) {
            view_.EnableControl(Control::SayBox, false);
            view_.SetSayText(kNoRightToSpeak);
        } else if (view_.SayText() == kNoRightToSpeak) {
            view_.SetSayText("");
        }
    }
    view_.SetRights(rights);
    view_.ApplyMapZoomType();
    if (reentryPending_) {
        Append("Immigration Officer: Gabbler has successfully reentered the world.", kGreen);
        reentryPending_ = false;
    }
}

void Session::OnWorldInfo() {
    worlds_.Report(SdkGetString(kAttrWorldListName), SdkGetInt(kAttrWorldListStatus), SdkGetInt(kAttrWorldListUsers));
}

void Session::OnWorldDisconnected() {
    reentryPending_ = false;
    const int reason = SdkGetInt(kAttrDisconnectReason);
    if (people_.reset) {
        people_.reset();
    }
    if (people_.disconnected) {
        people_.disconnected(reason);
    }
    view_.SetWhisperText("");
    view_.SetWhisperLabel(kSelectName);
    view_.EnableControl(Control::WhisperBox, false);
    if ((settings_.reenterWorld || alwaysReenter_) && reason == 471) {
        reentryPending_ = true;
        Append(WithReason("Immigration Officer: You have been disconnected from this world (reason: %s).", reason),
               kGreen);
        return;
    }
    SdkExit();
    if (reason == 466) {
        Append("Immigration Officer: You have been ejected from this world.", kGreen);
        pendingDisconnectBox_ = "You have been ejected from this world.";
    } else {
        Append(WithReason("Immigration Officer: You have been disconnected from this world (reason: %s).", reason),
               kGreen);
        pendingDisconnectBox_ = WithReason("You have been disconnected from this world (reason: %s).", reason);
    }
    if (onStranded) {
        onStranded(reason, *pendingDisconnectBox_);
    }
}

void Session::OnUniverseTime() {
    const int universeTime = SdkGetInt(kAttrUniverseTime);
    if (universeTime != 0) {
        universeTimeOffset_ = static_cast<std::int64_t>(std::time(nullptr)) - universeTime;
        universeTimeKnown_ = true;
    }
}

void Session::AppendWorldInfoLines() {
    const std::string welcome = SdkGetString(kAttrWorldWelcomeMessage);
    Append(welcome.empty() ? "Immigration Officer: You have entered the world." : "Immigration Officer: " + welcome,
           kGreen);
    const std::string homePage = SdkGetString(kAttrWorldHomePage);
    Append(homePage.empty() ? "Immigration Officer: This world doesn't have a default homepage set."
                            : "Immigration Officer: The webpage for this world is:  " + homePage,
           kGreen);
    static constexpr const char *kRatings[] = {"G", "PG", "R", "X"};
    const int rating = SdkGetInt(kAttrWorldRating);
    if (rating >= 0 && rating <= 3) {
        Append(std::string("Immigration Officer: This world is rated ") + kRatings[rating] + ".", kGreen);
    }
}

void Session::Pump() {
    SdkWait(0);
    if (pendingDisconnectBox_) {
        const std::string text = std::move(*pendingDisconnectBox_);
        pendingDisconnectBox_.reset();
        view_.ShowError(text);
        if (const auto target = view_.AskTeleport()) {
            EnterWorldAt(target->world, target->position.z, target->position.x, target->position.y,
                         target->position.yaw);
        }
    }
}

void Session::RequestWorldList() {
    // Without a login the universe can only refuse, and the timer would say so every 30 seconds for ever.
    if (!loggedIn_) {
        return;
    }
    SdkRequestWithCallback(
        kCallbackWorldListResult, [this](int result) { OnWorldListResult(result); }, SdkWorldList);
}

std::string Session::ClockText(std::time_t now) const {
    return ChatPane::ClockText(now, universeTimeOffset_, universeTimeKnown_, settings_.use12HourTime);
}

std::size_t Session::SayByteLimit() const {
    // In global mode the text travels as a console message behind the bot's name, in one attribute of its own.
    return globalMode_ ? kMaxStringLength - std::min(kMaxStringLength, GlobalPrefix().size()) : kMaxStringLength;
}

std::string Session::GlobalPrefix() const { return "[" + login_.botName + "]:\t"; }

void Session::NotSent(std::string_view format, int code) {
    // The box keeps its text, so the user can send it again or shorten it.
    Append(WithReason(format, code), kRed);
}

void Session::Send() {
    const std::string whisper = view_.WhisperText();
    const std::string say = view_.SayText();
    const int build = SdkGetInt(kAttrWorldBuildNumber);
    if (!whisper.empty() && build > 16 && WhisperLine(whisperTarget, whisper) == 0) {
        view_.SetWhisperText("");
    }
    if (say.empty() || (build > 16 && !SdkGetBool(kAttrWorldSpeech))) {
        return;
    }
    if (SayLine(say) == 0) {
        view_.SetSayText("");
    }
}

int Session::SayLine(const std::string &text) { return globalMode_ ? SendGlobal(text) : SendSay(text); }

int Session::WhisperLine(const PersonRef &to, const std::string &text) {
    const int r = text.size() > kMaxStringLength ? kReasonStringTooLong : SdkWhisper(to.session, text);
    if (r != 0) {
        NotSent(kNotWhispered, r);
        return r;
    }
    const ChatPane::LineContextScope line(chat_, {LineKind::Own, login_.botName, {}, ChatLineFlag::Whisper});
    if (settings_.timestampMsgs) {
        chat_.AppendTimestampPrefix();
    }
    chat_.AppendChatLine("[" + login_.botName + "] (to " + to.name + "): " + text, kBlue, false, true, false, true);
    return 0;
}

int Session::SendSay(const std::string &text) {
    const int r = text.size() > kMaxStringLength ? kReasonStringTooLong : SdkSay(text);
    if (r != 0) {
        NotSent(kNotSaid, r);
        return r;
    }
    const ChatPane::LineContextScope line(chat_, {LineKind::Own, login_.botName, {}, 0});
    if (settings_.timestampMsgs) {
        chat_.AppendTimestampPrefix();
    }
    chat_.AppendChatLine("[" + login_.botName + "]: " + text, kBlue, SdkGetBool(kAttrWorldPublicSpeaker), false, false,
                         true);
    return 0;
}

int Session::SendGlobal(const std::string &text) {
    // A message that does not fit must not go out as whatever the attribute held before (another caretaker's
    // message, say). No timestamp here: the message comes back to the bot as a console message with its own.
    int r = SdkSetString(kAttrConsoleMessage, GlobalPrefix() + text);
    if (r == 0) {
        SdkSetInt(kAttrConsoleRed, settings_.globalChat.red);
        SdkSetInt(kAttrConsoleGreen, settings_.globalChat.green);
        SdkSetInt(kAttrConsoleBlue, settings_.globalChat.blue);
        SdkSetBool(kAttrConsoleBold, settings_.chatBold);
        SdkSetBool(kAttrConsoleItalics, settings_.chatItalics);
        r = SdkConsoleMessage(0);
    }
    if (r != 0) {
        NotSent(kNotSentGlobally, r);
    }
    return r;
}

void Session::Shutdown() {
    loggedIn_ = false;
    SdkDestroy();
    SdkTerm();
}
