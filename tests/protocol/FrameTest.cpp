#include "protocol/Frame.h"

#include "protocol/MessageType.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(const std::string &s) { return {s.begin(), s.end()}; }

std::string Le16(std::uint16_t v) { return {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)}; }
std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff), static_cast<char>((v >> 16) & 0xff),
            static_cast<char>(v >> 24)};
}

// Header with a length computed from the body, so a case can break exactly one thing.
std::string Frame(std::uint16_t count, const std::string &body, std::uint16_t type = 4) {
    std::string rest = Le16(type) + Le32(7) + Le32(11) + Le16(count) + body;
    return Le32(static_cast<std::uint32_t>(rest.size())) + rest;
}

std::string IntAttr(std::uint16_t n, std::uint32_t v) { return Le16(n) + "\x01" + Le32(v); }
std::string StrAttr(std::uint16_t n, const std::string &s) {
    return Le16(n) + "\x03" + Le16(static_cast<std::uint16_t>(s.size())) + s;
}

TEST(FrameCodec, RoundTripsEveryKindOfAttribute) {
    std::string out;
    FrameWriter w(out, static_cast<std::uint16_t>(MessageType::Event), 0, 13);
    w.Int(206, -5).Bool(328, true).Bool(57, false).String(207, "[Bob]").String(223, "").Int(208, 2147483647);
    ASSERT_TRUE(w.Finish());

    std::size_t size = 0;
    ASSERT_EQ(CutFrame(reinterpret_cast<const std::uint8_t *>(out.data()), out.size(), size), CutResult::Frame);
    EXPECT_EQ(size, out.size());
    FrameReader r(reinterpret_cast<const std::uint8_t *>(out.data()), size);
    EXPECT_EQ(r.Header().type, static_cast<std::uint16_t>(MessageType::Event));
    EXPECT_EQ(r.Header().code, 13);
    EXPECT_EQ(r.Header().count, 6);

    WireAttribute a;
    std::vector<std::pair<int, std::string>> seen;
    while (r.Next(a))
        seen.emplace_back(a.number, a.tag == AttributeTag::String ? std::string(a.text) : std::to_string(a.intValue));
    const std::vector<std::pair<int, std::string>> expected = {{206, "-5"},    {328, "1"}, {57, "0"},
                                                               {207, "[Bob]"}, {223, ""},  {208, "2147483647"}};
    EXPECT_EQ(seen, expected);

    std::int32_t i = 0;
    bool b = false;
    std::string_view s;
    EXPECT_TRUE(r.FindInt(206, i));
    EXPECT_EQ(i, -5);
    EXPECT_TRUE(r.FindBool(328, b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(r.FindString(207, s));
    EXPECT_EQ(s, "[Bob]");
    EXPECT_FALSE(r.FindInt(207, i)) << "a string is not found as an integer";
}

TEST(FrameCodec, IsLittleEndianOnTheWire) {
    std::string out;
    FrameWriter(out, 0x0102, 0x03040506, -2).Int(0x0708, 0x0a0b0c0d).Finish();
    using namespace std::string_literals;
    const std::string expected = Le32(19) + "\x02\x01"s + "\x06\x05\x04\x03"s + "\xfe\xff\xff\xff"s + "\x01\x00"s +
                                 "\x08\x07\x01"s + "\x0d\x0c\x0b\x0a"s;
    EXPECT_EQ(out, expected);
}

TEST(FrameCodec, CutsFramesOneByOneAndWaitsForPartialOnes) {
    std::string stream;
    FrameWriter(stream, 4, 0, 0).Int(1, 1).Finish();
    FrameWriter(stream, 4, 0, 1).String(207, "second").Finish();
    const auto bytes = Bytes(stream);

    std::size_t first = 0;
    ASSERT_EQ(CutFrame(bytes.data(), bytes.size(), first), CutResult::Frame);
    std::size_t second = 0;
    ASSERT_EQ(CutFrame(bytes.data() + first, bytes.size() - first, second), CutResult::Frame);
    EXPECT_EQ(first + second, bytes.size());

    // Every proper prefix of a frame is "need more", never a frame and never broken.
    for (std::size_t n = 0; n < first; ++n) {
        std::size_t size = 0;
        EXPECT_EQ(CutFrame(bytes.data(), n, size), CutResult::NeedMore) << "prefix of " << n << " bytes";
    }
}

TEST(FrameCodec, RefusesBrokenFrames) {
    struct Case {
        const char *name;
        std::string bytes;
    };
    const std::string goodBody = IntAttr(1, 2);
    const Case cases[] = {
        {"length below the header", Le32(11) + std::string(11, '\0')},
        {"length above the frame limit", Le32(kMaxFrameSize - 3) + std::string(16, '\0')},
        {"length of all ones", Le32(0xffffffff) + std::string(16, '\0')},
        {"ASCII instead of a frame", "GET / HTTP/1.0\r\n\r\n"},
        {"count above the limit", Frame(static_cast<std::uint16_t>(kMaxAttributes + 1), "")},
        {"count larger than the attributes", Frame(2, goodBody)},
        {"count smaller than the attributes", Frame(0, goodBody)},
        {"unknown tag", Frame(1, Le16(1) + "\x09" + Le32(0))},
        {"tag zero", Frame(1, Le16(1) + std::string("\x00", 1) + Le32(0))},
        {"integer cut short", Frame(1, Le16(1) + "\x01" + "\x01\x02")},
        {"boolean other than 0 or 1", Frame(1, Le16(1) + "\x02\x02")},
        {"boolean missing its byte", Frame(1, Le16(1) + "\x02")},
        {"string longer than the frame", Frame(1, Le16(1) + "\x03" + Le16(10) + "abc")},
        {"string longer than the wire limit", Frame(1, StrAttr(1, std::string(kMaxWireStringLength + 1, 'a')))},
        {"string length cut short", Frame(1, Le16(1) + "\x03" + "\x05")},
        {"attribute number cut short", Frame(1, "\x01")},
        {"invalid UTF-8", Frame(1, StrAttr(1, "\xc3\x28"))},
        {"overlong UTF-8", Frame(1, StrAttr(1, "\xc0\xaf"))},
        {"UTF-16 surrogate", Frame(1, StrAttr(1, "\xed\xa0\x80"))},
        {"truncated UTF-8", Frame(1, StrAttr(1, "ab\xe2\x82"))},
    };
    for (const Case &c : cases) {
        const auto bytes = Bytes(c.bytes);
        std::size_t size = 0;
        EXPECT_EQ(CutFrame(bytes.data(), bytes.size(), size), CutResult::Broken) << c.name;
    }
    const auto good = Bytes(Frame(1, goodBody));
    std::size_t size = 0;
    EXPECT_EQ(CutFrame(good.data(), good.size(), size), CutResult::Frame) << "the frame the cases start from";
}

TEST(FrameCodec, WriterRefusesWhatTheReaderWouldRefuse) {
    struct Case {
        const char *name;
        void (*fill)(FrameWriter &);
    };
    const Case cases[] = {
        {"string above the wire limit",
         [](FrameWriter &w) { w.String(1, std::string(kMaxWireStringLength + 1, 'x')); }},
        {"invalid UTF-8", [](FrameWriter &w) { w.String(1, "\xff"); }},
        {"too many attributes",
         [](FrameWriter &w) {
             for (std::size_t i = 0; i <= kMaxAttributes; ++i)
                 w.Bool(1, true);
         }},
        {"frame above the size limit",
         [](FrameWriter &w) {
             for (int i = 0; i < 20; ++i)
                 w.String(1, std::string(kMaxWireStringLength, 'x'));
         }},
    };
    for (const Case &c : cases) {
        std::string out = "kept";
        FrameWriter w(out, 4, 0, 0);
        c.fill(w);
        EXPECT_FALSE(w.Finish()) << c.name;
        EXPECT_EQ(out, "kept") << c.name << ": the partial frame is removed";
    }
}

TEST(Utf8, RepairsWhatIsNotWellFormed) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"a\xff"
         "b",
         "a\xef\xbf\xbd"
         "b"},
        {"\xe2\x82", "\xef\xbf\xbd\xef\xbf\xbd"},
        {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(RepairUtf8(c.in), c.out) << c.in;
        EXPECT_TRUE(IsValidUtf8(RepairUtf8(c.in))) << c.in;
    }
}

} // namespace
