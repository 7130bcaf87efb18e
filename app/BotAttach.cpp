#include "app/BotAttach.h"

#include "app/Bot.h"
#include "app/Session.h"
#include "chat/ChatPane.h"
#include "chat/HistoryRecorder.h"
#include "history/HistoryReader.h"

#include <algorithm>
#include <ctime>

BotAttach::BotAttach(Bot &bot, BotAttachOptions options)
    : bot_(bot), options_(std::move(options)), listener_(options_.listen) {
    AttachHubOptions hub;
    hub.password = options_.password;
    hub.firstFailureDelay = options_.firstFailureDelay;
    hub.log = options_.listen.log;
    hub.timestampOwnLines = bot_.GetSettings().timestampMsgs;
    hub.enterWorld = [this](const std::string &world) {
        Session &session = bot_.GetSession();
        session.SetWorldToEnter(world);
        session.EnterWorld();
        return 0;
    };
    hub.ownLine = [this](const PaneLine &line) { OwnLine(line); };
    hub.backlog = [this](std::int64_t since) { return Backlog(since); };
    hub.universeTime = [this]() -> std::int64_t {
        const Session &session = bot_.GetSession();
        return session.UniverseTimeKnown() ? std::time(nullptr) - session.UniverseTimeOffset() : 0;
    };
    hub_ = std::make_unique<AttachHub>(listener_, std::move(hub));
    pump_.setInterval(static_cast<int>(options_.pumpInterval.count()));
    // The windows' answers and events travel in the bot's SdkWait: it runs as often as the windows are looked at.
    QObject::connect(&pump_, &QTimer::timeout, [this] {
        bot_.GetSession().Pump();
        hub_->Pump();
    });
}

BotAttach::~BotAttach() {
    pump_.stop();
    listener_.Stop();
    hub_.reset();
}

bool BotAttach::Start(std::string &error) {
    if (!listener_.Start(error))
        return false;
    pump_.start();
    return true;
}

void BotAttach::OwnLine(const PaneLine &line) {
    ChatPane &chat = bot_.Chat();
    const ChatPane::LineContextScope scope(chat, {static_cast<LineKind>(line.kind), line.speaker, {}, line.flags});
    if (line.timed) {
        chat.AppendTimestampPrefix(static_cast<std::time_t>(line.time));
    }
    chat.AppendChatLine(line.text, line.colour, line.bold, line.italic, line.underline, true);
}

std::vector<PaneLine> BotAttach::Backlog(std::int64_t since) {
    std::vector<PaneLine> lines;
    HistoryRecorder &history = bot_.History();
    if (HistoryWriter *writer = history.Writer()) {
        writer->Flush(); // the newest lines too
    }
    HistoryReader reader;
    std::string error;
    if (!reader.Open(bot_.Home(), false, error)) {
        return lines;
    }
    HistoryFilter filter;
    filter.from = since * 1000;
    const int limit = static_cast<int>(std::min<std::size_t>(options_.maxBacklogLines, HistoryReader::kMaxLimit));
    HistoryResult found = reader.Search({}, filter, limit);
    if (!found.ok) {
        return lines;
    }
    if (found.lines.size() >= static_cast<std::size_t>(limit)) {
        PaneLine notice;
        notice.text = "Earlier lines since your last visit are in the bot's history (Log, Search History there).";
        notice.colour = ChatColour::Red;
        notice.kind = static_cast<int>(LineKind::Notice);
        notice.time = since;
        lines.push_back(notice);
    }
    // Newest first from the search; oldest first to the window.
    for (auto it = found.lines.rbegin(); it != found.lines.rend(); ++it) {
        PaneLine line;
        line.text = it->text;
        line.colour = it->colour;
        line.bold = it->bold;
        line.italic = it->italic;
        line.underline = it->underline;
        line.timed = it->timeShown;
        line.time = it->time / 1000;
        line.kind = static_cast<int>(it->kind);
        line.speaker = it->speaker;
        line.flags = it->paneFlags;
        lines.push_back(std::move(line));
    }
    return lines;
}
