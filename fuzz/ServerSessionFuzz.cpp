// The server's request handling behind the decoder: a fresh universe (store in memory, two citizens, worlds of
// several builds, a few simulated people) and four client connections fed arbitrary bytes, with simulated people
// acting in between. The connection layer is played as the server's Connection plays it: frames are cut from each
// connection's own receive buffer, the first must be a Hello, a broken one closes that connection.
//
// What the server must keep: it writes only whole, valid frames; it never writes to a connection it has let go
// (those are freed, so the sanitizer sees a write after it); and no input crashes it.
//
// Input, repeated: a byte whose low two bits pick a connection and whose next bit picks data or an action.
//   data:   a length byte, then that many bytes that arrive on the connection
//   action: an action byte and its arguments (see Act)

#include "fuzz/FuzzBytes.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/Store.h"
#include "server/Universe.h"

#include <arpa/inet.h>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kLinks = 4;
constexpr int kProtocolError = 463;
constexpr int kVersionMismatch = 454;

const char *const kWorlds[] = {"Town", "Old", "Lower", "Nowhere"};

class FakeLink : public ClientLink {
public:
    explicit FakeLink(std::uint32_t address) : address_(address) {}

    void Send(const std::string &frames) override {
        std::size_t offset = 0;
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(frames.data());
        while (offset < frames.size()) {
            std::size_t size = 0;
            FUZZ_CHECK(CutFrame(bytes + offset, frames.size() - offset, size) == CutResult::Frame,
                       "the server sends only whole, valid frames");
            offset += size;
        }
        sent_ += frames.size();
    }
    void Close(int reason) override {
        FUZZ_CHECK(reason >= 0, "a close reason is a result code");
        closing_ = true;
    }
    std::uint32_t Address() const override { return address_; }

    bool closing_ = false;
    bool hello_ = false;
    std::string in_;
    std::size_t sent_ = 0;

private:
    std::uint32_t address_;
};

struct Harness {
    ServerOptions options;
    Store store;
    std::unique_ptr<Universe> universe;
    std::array<std::unique_ptr<FakeLink>, kLinks> links;
    std::vector<int> people; // sessions of simulated people, some of them gone

    Harness() {
        options.passwordIterations = 1;
        options.worldListBatch = 2;
        options.hearingRadius = 20000;
        std::string error;
        FUZZ_CHECK(store.Open("", error), "the store opens in memory");
        // Straight into the store, one write per world: a fresh universe for every input must be quick to make.
        // Town has every feature, Old predates whispers, Lower predates global mode and lets only citizen 2 in.
        const auto world = [this](const char *name, int build, const char *caretakers, const char *enter) {
            WorldRecord w;
            w.name = name;
            w.build = build;
            w.caretakers = caretakers;
            w.attributes = DefaultWorldAttributes(name);
            w.attributes[kAttrWorldEnterRight] = std::string(enter);
            return store.AddWorld(w);
        };
        FUZZ_CHECK(world("Town", 63, "1", "*") && world("Old", 16, "", "*") && world("Lower", 38, "2", "2"),
                   "the worlds are made");
        universe = std::make_unique<Universe>(store, options);
        FUZZ_CHECK(universe->Load(error), "the universe loads");
        universe->AddCitizen(1, "Founder", "founder-pw");
        universe->AddCitizen(2, "Tester", "tester-pw");
        PersonSpec alice;
        alice.name = "Alice";
        alice.citizen = 5;
        alice.privilege = 5;
        people.push_back(universe->AddPerson("Town", alice));
        PersonSpec visitor;
        visitor.name = "\"Visitor\"";
        visitor.x = 30000;
        people.push_back(universe->AddPerson("Town", visitor));
    }

    ~Harness() {
        for (auto &link : links) {
            if (link) {
                universe->Detach(link.get());
            }
        }
    }

    // A connection the server closed is let go of, as the real one is once its farewell is out.
    void Sweep() {
        for (auto &link : links) {
            if (link && link->closing_) {
                universe->Detach(link.get());
                link.reset();
            }
        }
    }

    void Arrive(int index, std::string_view bytes) {
        auto &link = links[static_cast<std::size_t>(index)];
        if (!link) {
            // A new connection from an address of its own.
            link = std::make_unique<FakeLink>(htonl(0x7f000001u + static_cast<std::uint32_t>(index)));
        }
        link->in_.append(bytes);
        std::size_t offset = 0;
        while (link && !link->closing_) {
            const auto *data = reinterpret_cast<const std::uint8_t *>(link->in_.data()) + offset;
            std::size_t size = 0;
            const CutResult cut = CutFrame(data, link->in_.size() - offset, size);
            if (cut == CutResult::NeedMore) {
                break;
            }
            if (cut == CutResult::Broken) {
                link->Close(kProtocolError);
                break;
            }
            Handle(*link, data, size);
            offset += size;
            Sweep();
        }
        if (link) {
            link->in_.erase(0, offset);
        }
        Sweep();
    }

    void Handle(FakeLink &link, const std::uint8_t *frame, std::size_t size) {
        const FrameReader r(frame, size);
        const auto type = static_cast<MessageType>(r.Header().type);
        if (!link.hello_) {
            if (type != MessageType::Hello) {
                link.Close(kProtocolError);
                return;
            }
            if (r.Header().code != kProtocolVersion) {
                link.Close(kVersionMismatch);
                return;
            }
            std::int32_t build = 0;
            r.FindInt(kFieldNumber, build);
            link.hello_ = true;
            universe->Attach(&link, build);
            return;
        }
        if (type == MessageType::Ping) {
            return;
        }
        if (type == MessageType::Close || !IsRequestType(r.Header().type)) {
            link.Close(type == MessageType::Close ? 0 : kProtocolError);
            return;
        }
        universe->Handle(&link, r);
    }

    int SomeSession(FuzzBytes &in) {
        // Known sessions mostly, now and then one nobody has.
        const std::uint8_t pick = in.Byte();
        if (pick >= 200 || people.empty()) {
            return pick - 200;
        }
        return people[pick % people.size()];
    }

    std::string Text(FuzzBytes &in) { return std::string(in.Piece()); }

    void Act(FuzzBytes &in) {
        switch (in.Byte() % 10) {
        case 0: {
            PersonSpec spec;
            spec.name = Text(in);
            spec.citizen = in.Byte();
            spec.privilege = spec.citizen;
            spec.x = static_cast<int>(in.Int32());
            spec.z = static_cast<int>(in.Int32());
            const int session = universe->AddPerson(kWorlds[in.Byte() % std::size(kWorlds)], spec);
            if (session > 0) {
                people.push_back(session);
            }
            break;
        }
        case 1: {
            const int session = SomeSession(in);
            universe->Say(session, Text(in));
            break;
        }
        case 2: {
            const int from = SomeSession(in);
            const int to = static_cast<int>(in.Byte());
            universe->Whisper(from, to, Text(in));
            break;
        }
        case 3: {
            const int session = SomeSession(in);
            const int x = static_cast<int>(in.Int32());
            const int z = static_cast<int>(in.Int32());
            universe->Move(session, x, 0, z, static_cast<int>(in.Word()));
            break;
        }
        case 4: {
            const int session = SomeSession(in);
            universe->Leave(session);
            break;
        }
        case 5: {
            const int session = SomeSession(in);
            universe->EnterWorld(session, kWorlds[in.Byte() % std::size(kWorlds)]);
            break;
        }
        case 6: {
            const int session = SomeSession(in);
            universe->Click(session, static_cast<int>(in.Byte()));
            break;
        }
        case 7: {
            const int session = SomeSession(in);
            const int to = static_cast<int>(in.Byte());
            const std::string url = Text(in);
            universe->SendUrl(session, to, url, Text(in));
            break;
        }
        case 8: {
            const char *const fields[] = {"caretakers", "build", "status", "max_users", "size", "expiration", "52"};
            const char *world = kWorlds[in.Byte() % std::size(kWorlds)];
            const char *field = fields[in.Byte() % 7];
            universe->SetWorld(world, field, Text(in));
            break;
        }
        default:
            universe->AdvanceClock(static_cast<std::int64_t>(in.Word()) * 60);
            break;
        }
        Sweep();
    }
};

} // namespace

int FuzzServerSession(const std::uint8_t *data, std::size_t size) {
    Harness harness;
    FuzzBytes in(data, size);
    while (!in.Empty()) {
        const std::uint8_t what = in.Byte();
        if (what & 4) {
            harness.Act(in);
        } else {
            harness.Arrive(what & 3, in.Piece());
        }
    }
    return 0;
}
