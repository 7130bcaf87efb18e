#include "server/UniverseServer.h"

#include "common/DataFolder.h"
#include "common/Descriptors.h"
#include "common/FolderLock.h"
#include "server/Connection.h"
#include "server/DemoContent.h"
#include "server/DemoPeople.h"
#include "server/Store.h"
#include "server/Universe.h"

#include <asio.hpp>
#include <filesystem>
#include <future>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <thread>
#include <unordered_map>

class UniverseServer::Impl {
public:
    explicit Impl(ServerOptions options) : options_(std::move(options)) {}
    ~Impl() { Stop(); }

    bool Start();
    void Stop();

    // Runs f on the server's thread and waits for its result; the default result when the server is stopped.
    template <class F> auto Call(F f) -> decltype(f(std::declval<Universe &>())) {
        using R = decltype(f(std::declval<Universe &>()));
        std::shared_lock lock(lifecycle_);
        if (!io_)
            return R();
        std::promise<R> promise;
        auto future = promise.get_future();
        asio::post(*io_, [&] { promise.set_value(f(*universe_)); });
        return future.get();
    }

    void DropConnections();
    int ConnectionCount();
    bool Running() const {
        std::lock_guard lock(state_);
        return running_;
    }
    int Port() const {
        std::lock_guard lock(state_);
        return running_ ? port_ : 0;
    }
    std::string LastError() const {
        std::lock_guard lock(state_);
        return error_;
    }

private:
    bool Fail(const std::string &error);
    void Accept();
    void DemoTick();
    void Log(const std::string &line) const {
        if (options_.log)
            options_.log(line);
    }

    ServerOptions options_;
    mutable std::mutex state_;
    std::shared_mutex lifecycle_;
    bool running_ = false;
    int port_ = 0;
    int stickyPort_ = 0; // the free port picked at the first start, kept for the next ones
    std::string error_;

    std::unique_ptr<asio::io_context> io_;
    std::unique_ptr<WriteBatch> batch_;
    std::unique_ptr<asio::ip::tcp::acceptor> acceptor_;
    std::unique_ptr<asio::steady_timer> demoTimer_;
    std::thread thread_;
    Store store_;
    std::unique_ptr<Universe> universe_;
    std::unique_ptr<DemoPeople> demo_;
    FolderLock folderLock_; // one server per data folder: two would write one store
    std::unordered_map<Connection *, std::shared_ptr<Connection>> connections_;
};

bool UniverseServer::Impl::Fail(const std::string &error) {
    {
        std::lock_guard lock(state_);
        error_ = error;
    }
    Log(error);
    demo_.reset();
    universe_.reset();
    acceptor_.reset();
    demoTimer_.reset();
    io_.reset();
    batch_.reset();
    store_.Close();
    folderLock_.Release();
    return false;
}

bool UniverseServer::Impl::Start() {
    std::unique_lock lock(lifecycle_);
    if (io_)
        return true;
    std::string path;
    if (!options_.dataFolder.empty()) {
        std::error_code ec;
        CreatePrivateFolder(options_.dataFolder, ec);
        path = (std::filesystem::path(options_.dataFolder) / "universe.db").string();
        folderLock_ = FolderLock((std::filesystem::path(options_.dataFolder) / "universe.lock").string());
        if (folderLock_.Busy()) {
            const std::string holder =
                folderLock_.Holder() > 0 ? "process " + std::to_string(folderLock_.Holder()) : "another process";
            return Fail("the data folder " + options_.dataFolder + " is in use by another universe server (" + holder +
                        "); stop that one first, or give this one a folder of its own with --data DIR");
        }
    }
    std::string error;
    if (!store_.Open(path, error))
        return Fail(error);
    if (options_.demo && store_.IsEmpty() && !FillDemoContent(store_, options_.passwordIterations, error))
        return Fail("cannot fill the demo content: " + error);
    universe_ = std::make_unique<Universe>(store_, options_);
    if (!universe_->Load(error))
        return Fail(error);

    io_ = std::make_unique<asio::io_context>(1);
    batch_ = std::make_unique<WriteBatch>(*io_);
    try {
        asio::ip::tcp::resolver resolver(*io_);
        const int port = options_.port != 0 ? options_.port : stickyPort_;
        const auto endpoints = resolver.resolve(options_.host, std::to_string(port), asio::ip::resolver_base::passive);
        if (endpoints.empty())
            return Fail("cannot resolve " + options_.host);
        const asio::ip::tcp::endpoint endpoint = *endpoints.begin();
        acceptor_ = std::make_unique<asio::ip::tcp::acceptor>(*io_);
        acceptor_->open(endpoint.protocol());
        KeepFromChildren(acceptor_->native_handle());
        // A restarted server must get its port back although the old connections linger in TIME_WAIT.
        acceptor_->set_option(asio::socket_base::reuse_address(true));
        acceptor_->bind(endpoint);
        acceptor_->listen();
        std::lock_guard state(state_);
        port_ = acceptor_->local_endpoint().port();
        if (options_.port == 0)
            stickyPort_ = port_;
    } catch (const std::exception &e) {
        return Fail("cannot listen on " + options_.host + ":" + std::to_string(options_.port) + ": " + e.what());
    }
    Accept();
    if (options_.demo && options_.demoPeople) {
        demo_ = std::make_unique<DemoPeople>(*universe_, options_.demoSeed, options_.demoPopulationPercent);
        demoTimer_ = std::make_unique<asio::steady_timer>(*io_);
        DemoTick();
    }
    {
        std::lock_guard state(state_);
        running_ = true;
        error_.clear();
    }
    thread_ = std::thread([this] { io_->run(); });
    Log("listening on " + options_.host + ":" + std::to_string(port_));
    return true;
}

void UniverseServer::Impl::Accept() {
    acceptor_->async_accept([this](const asio::error_code &ec, asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor_->is_open())
            return;
        if (!ec) {
            KeepFromChildren(socket.native_handle());
            if (connections_.size() >= options_.maxConnections) {
                Log("connection limit reached, refusing a connection");
                asio::error_code ignored;
                socket.close(ignored);
            } else {
                auto c = std::make_shared<Connection>(std::move(socket), *universe_, options_, *batch_,
                                                      [this](Connection *gone) { connections_.erase(gone); });
                connections_[c.get()] = c;
                c->Start();
            }
        }
        Accept();
    });
}

void UniverseServer::Impl::DemoTick() {
    demoTimer_->expires_after(std::chrono::milliseconds(DemoPeople::kTickMilliseconds));
    demoTimer_->async_wait([this](const asio::error_code &ec) {
        if (ec || !demo_)
            return;
        demo_->Tick();
        DemoTick();
    });
}

void UniverseServer::Impl::Stop() {
    std::unique_lock lock(lifecycle_);
    if (!io_)
        return;
    asio::post(*io_, [this] {
        asio::error_code ec;
        acceptor_->close(ec);
        if (demoTimer_)
            demoTimer_->cancel();
        demo_.reset();
        // Aborting removes each connection from the map; work on a copy.
        auto all = connections_;
        for (auto &[raw, c] : all)
            c->Abort();
    });
    // With the acceptor, the timers and every socket closed, the loop runs out of work and returns.
    thread_.join();
    batch_->Clear();
    connections_.clear();
    demoTimer_.reset();
    acceptor_.reset();
    io_.reset();
    batch_.reset();
    universe_.reset();
    store_.Close();
    folderLock_.Release();
    std::lock_guard state(state_);
    running_ = false;
    port_ = 0;
    Log("stopped");
}

void UniverseServer::Impl::DropConnections() {
    std::shared_lock lock(lifecycle_);
    if (!io_)
        return;
    std::promise<void> done;
    asio::post(*io_, [&] {
        auto all = connections_;
        for (auto &[raw, c] : all)
            c->Abort();
        done.set_value();
    });
    done.get_future().get();
}

int UniverseServer::Impl::ConnectionCount() {
    std::shared_lock lock(lifecycle_);
    if (!io_)
        return 0;
    std::promise<int> count;
    asio::post(*io_, [&] { count.set_value(static_cast<int>(connections_.size())); });
    return count.get_future().get();
}

// ---- Public face ---------------------------------------------------------------------------------------------------

UniverseServer::UniverseServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}
UniverseServer::~UniverseServer() = default;

bool UniverseServer::Start() { return impl_->Start(); }
void UniverseServer::Stop() { impl_->Stop(); }
bool UniverseServer::Running() const { return impl_->Running(); }
int UniverseServer::Port() const { return impl_->Port(); }
std::string UniverseServer::LastError() const { return impl_->LastError(); }

int UniverseServer::AddPerson(const std::string &world, const PersonSpec &person) {
    return impl_->Call([&](Universe &u) { return u.AddPerson(world, person); });
}
bool UniverseServer::Say(int session, const std::string &text) {
    return impl_->Call([&](Universe &u) { return u.Say(session, text); });
}
bool UniverseServer::Whisper(int session, int toSession, const std::string &text) {
    return impl_->Call([&](Universe &u) { return u.Whisper(session, toSession, text); });
}
bool UniverseServer::Move(int session, int x, int y, int z, int yaw) {
    return impl_->Call([&](Universe &u) { return u.Move(session, x, y, z, yaw); });
}
bool UniverseServer::ChangeType(int session, int type) {
    return impl_->Call([&](Universe &u) { return u.ChangeType(session, type); });
}
bool UniverseServer::Click(int session, int clickedSession) {
    return impl_->Call([&](Universe &u) { return u.Click(session, clickedSession); });
}
bool UniverseServer::SendUrl(int session, int toSession, const std::string &url, const std::string &target) {
    return impl_->Call([&](Universe &u) { return u.SendUrl(session, toSession, url, target); });
}
bool UniverseServer::AskOwner(int session, const std::string &botName) { return Say(session, botName + " owner"); }
bool UniverseServer::AskVersion(int session, const std::string &botName) { return Say(session, botName + " version"); }
int UniverseServer::EnterWorld(int session, const std::string &world) {
    return impl_->Call([&](Universe &u) { return u.EnterWorld(session, world); });
}
bool UniverseServer::Leave(int session) {
    return impl_->Call([&](Universe &u) { return u.Leave(session); });
}
std::vector<PersonInfo> UniverseServer::PeopleIn(const std::string &world) {
    return impl_->Call([&](Universe &u) { return u.PeopleIn(world); });
}
bool UniverseServer::Person(int session, PersonInfo &info) {
    return impl_->Call([&](Universe &u) { return u.Person(session, info); });
}
std::vector<InboxEntry> UniverseServer::Inbox(int session) {
    return impl_->Call([&](Universe &u) { return u.Inbox(session); });
}
int UniverseServer::ConnectionCount() { return impl_->ConnectionCount(); }
bool UniverseServer::SetWorld(const std::string &world, const std::string &field, const std::string &value) {
    return impl_->Call([&](Universe &u) { return u.SetWorld(world, field, value); });
}
bool UniverseServer::AddWorld(const std::string &world, int build) {
    return impl_->Call([&](Universe &u) { return u.AddWorld(world, build) == 0; });
}
bool UniverseServer::AddCitizen(int number, const std::string &name, const std::string &password,
                                const std::string &homePage) {
    return impl_->Call([&](Universe &u) { return u.AddCitizen(number, name, password, homePage); });
}
void UniverseServer::AdvanceClock(std::chrono::seconds by) {
    impl_->Call([&](Universe &u) {
        u.AdvanceClock(by.count());
        return 0;
    });
}
std::int64_t UniverseServer::Now() {
    return impl_->Call([&](Universe &u) { return u.Now(); });
}
void UniverseServer::DropConnections() { impl_->DropConnections(); }
