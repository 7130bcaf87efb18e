// A connection's two buffers without a socket: bytes arriving in any pieces come out as the same whole frames, a
// frame as large as allowed fits, broken bytes are told, and the output backlog is bounded.

#include "protocol/FrameBuffers.h"

#include "protocol/MessageType.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace {

std::string Frames() {
    std::string out;
    for (std::uint32_t id = 1; id <= 3; ++id)
        FrameWriter(out, static_cast<std::uint16_t>(MessageType::Say), id, 0).String(kFieldText, "line").Finish();
    // The largest frame the wire allows, then a small one after it.
    {
        FrameWriter w(out, static_cast<std::uint16_t>(MessageType::Say), 4, 0);
        for (std::uint16_t n = 9000; out.size() + 4000 + 5 < 3 * 30 + kMaxFrameSize; ++n)
            w.String(n, std::string(4000, 'x'));
        w.Finish();
    }
    FrameWriter(out, static_cast<std::uint16_t>(MessageType::Say), 5, 0).Finish();
    return out;
}

// Feeds `bytes` in pieces of at most `piece` and returns the ids of the frames handed out.
std::vector<std::uint32_t> Feed(FrameInput &in, const std::string &bytes, std::size_t piece, bool &valid) {
    std::vector<std::uint32_t> ids;
    valid = true;
    for (std::size_t at = 0; at < bytes.size() && valid;) {
        std::uint8_t *room = in.Room();
        const std::size_t n = std::min({piece, in.RoomSize(), bytes.size() - at});
        EXPECT_GT(in.RoomSize(), 0u);
        std::memcpy(room, bytes.data() + at, n);
        at += n;
        valid = in.Received(
            n, [] { return true; },
            [&](const std::uint8_t *frame, std::size_t size) { ids.push_back(FrameReader(frame, size).Header().id); });
    }
    return ids;
}

TEST(FrameInput, FramesComeOutWholeHoweverTheBytesArrive) {
    const std::string bytes = Frames();
    ASSERT_GT(bytes.size(), kMaxFrameSize - 4100);
    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{7}, std::size_t{1000}, std::size_t{65536}, bytes.size()}) {
        FrameInput in;
        bool valid = false;
        EXPECT_EQ(Feed(in, bytes, piece, valid), (std::vector<std::uint32_t>{1, 2, 3, 4, 5})) << "pieces of " << piece;
        EXPECT_TRUE(valid);
    }
}

TEST(FrameInput, BrokenBytesAreToldAfterTheFramesBeforeThem) {
    std::string bytes;
    FrameWriter(bytes, static_cast<std::uint16_t>(MessageType::Say), 1, 0).Finish();
    bytes += std::string("\xff\xff\xff\x7f", 4) + std::string(20, 'x');
    FrameInput in;
    bool valid = true;
    EXPECT_EQ(Feed(in, bytes, bytes.size(), valid), std::vector<std::uint32_t>{1});
    EXPECT_FALSE(valid);
}

TEST(FrameInput, FramesLeftWhenToldToStopComeWithTheNextBytes) {
    std::string bytes;
    for (std::uint32_t id = 1; id <= 3; ++id)
        FrameWriter(bytes, static_cast<std::uint16_t>(MessageType::Say), id, 0).Finish();
    FrameInput in;
    std::vector<std::uint32_t> ids;
    const auto take = [&](const std::uint8_t *frame, std::size_t size) {
        ids.push_back(FrameReader(frame, size).Header().id);
    };
    std::memcpy(in.Room(), bytes.data(), bytes.size());
    EXPECT_TRUE(in.Received(
        bytes.size(), [&] { return ids.empty(); }, take));
    EXPECT_EQ(ids, std::vector<std::uint32_t>{1});
    in.Room();
    EXPECT_TRUE(in.Received(
        0, [] { return true; }, take));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST(FrameOutput, TheBacklogCountsWhatWaitsAndWhatIsBeingWritten) {
    FrameOutput out(10);
    out.Append("abcdef");
    EXPECT_FALSE(out.OverLimit());
    const std::string &writing = out.BeginWrite();
    EXPECT_EQ(writing, "abcdef");
    EXPECT_TRUE(out.Writing());
    EXPECT_FALSE(out.HasWaiting());
    out.Append("ghij");
    EXPECT_FALSE(out.OverLimit()) << "ten bytes in all";
    out.Append("k");
    EXPECT_TRUE(out.OverLimit());
    out.DropWaiting();
    out.Written();
    EXPECT_FALSE(out.Writing());
    EXPECT_FALSE(out.HasWaiting());
    out.Append("lmnop");
    out.Sent(2);
    EXPECT_EQ(out.Waiting(), "nop");
}

// A burst (everyone present told about everyone on entry) leaves no megabyte behind; ordinary lines keep their room.
TEST(FrameOutput, ABurstsRoomIsGivenBackOnceWritten) {
    FrameOutput out(8 * 1024 * 1024);
    const std::string line(100, 'x');
    for (int i = 0; i < 10000; ++i)
        out.Append(line);
    out.BeginWrite();
    out.Written();
    out.Append(line);
    out.Sent(line.size());
    EXPECT_LE(out.Held(), 128u * 1024);
    for (int round = 0; round < 3; ++round) {
        out.Append(line);
        out.BeginWrite();
        out.Written();
    }
    EXPECT_GE(out.Held(), line.size()) << "the room of ordinary traffic stays";
}

} // namespace
