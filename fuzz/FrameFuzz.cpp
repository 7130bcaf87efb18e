// The frame codec on arbitrary bytes: the input is a receive buffer. Every frame it cuts must be one the writer
// would produce byte for byte, every proper prefix of it must wait for more, and the lookups must agree with a
// walk of the attributes.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "protocol/Frame.h"

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace {

std::uint32_t LengthField(const std::uint8_t *p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void CheckFrame(const std::uint8_t *frame, std::size_t size) {
    FUZZ_CHECK(size >= kFrameHeaderSize && size <= kMaxFrameSize, "a cut frame stays within the size limits");
    FUZZ_CHECK(IsValidFrame(frame, size), "a cut frame is valid");
    for (std::size_t n = 0; n < size; ++n) {
        std::size_t ignored = 0;
        FUZZ_CHECK(CutFrame(frame, n, ignored) == CutResult::NeedMore, "every proper prefix of a frame needs more");
    }

    const FrameReader reader(frame, size);
    const FrameHeader &header = reader.Header();
    std::string copy;
    FrameWriter writer(copy, header.type, header.id, header.code);
    std::map<std::pair<std::uint16_t, AttributeTag>, WireAttribute> last;
    FrameReader walk = reader;
    WireAttribute a;
    std::size_t count = 0;
    while (walk.Next(a)) {
        ++count;
        FUZZ_CHECK(a.tag == AttributeTag::Int || a.tag == AttributeTag::Bool || a.tag == AttributeTag::String,
                   "only known tags are read");
        FUZZ_CHECK(a.tag != AttributeTag::Bool || a.intValue == 0 || a.intValue == 1, "booleans read as 0 or 1");
        FUZZ_CHECK(a.tag != AttributeTag::String || IsValidUtf8(a.text), "strings read are valid UTF-8");
        writer.Attribute(a);
        last[{a.number, a.tag}] = a;
    }
    FUZZ_CHECK(count == header.count, "the walk reads as many attributes as the header counts");
    FUZZ_CHECK(writer.Finish(), "a frame that was read can be written again");
    FUZZ_CHECK(copy == std::string_view(reinterpret_cast<const char *>(frame), size),
               "writing what was read gives the same bytes");

    // With duplicated attributes the last one wins, as if they were applied in order.
    for (const auto &[key, attribute] : last) {
        switch (key.second) {
        case AttributeTag::Int: {
            std::int32_t value = 0;
            FUZZ_CHECK(reader.FindInt(key.first, value) && value == attribute.intValue, "FindInt gives the last");
            break;
        }
        case AttributeTag::Bool: {
            bool value = false;
            FUZZ_CHECK(reader.FindBool(key.first, value) && value == (attribute.intValue != 0),
                       "FindBool gives the last");
            break;
        }
        case AttributeTag::String: {
            std::string_view value;
            FUZZ_CHECK(reader.FindString(key.first, value) && value == attribute.text, "FindString gives the last");
            break;
        }
        }
    }
}

} // namespace

int FuzzFrame(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::string repaired = RepairUtf8(text);
    FUZZ_CHECK(IsValidUtf8(repaired), "repaired text is valid UTF-8");
    FUZZ_CHECK(!IsValidUtf8(text) || repaired == text, "valid UTF-8 is left as it is");

    std::size_t offset = 0;
    while (offset < size) {
        std::size_t frameSize = 0;
        const CutResult cut = CutFrame(data + offset, size - offset, frameSize);
        if (cut == CutResult::NeedMore) {
            // Only a plausible length may make the reader wait; anything else must be refused at once.
            const std::size_t left = size - offset;
            if (left >= 4) {
                const std::uint32_t length = LengthField(data + offset);
                FUZZ_CHECK(length >= kFrameHeaderSize - 4 && length <= kMaxFrameSize - 4 && length + 4 > left,
                           "need-more only for a plausible length that has not all arrived");
            }
            break;
        }
        if (cut == CutResult::Broken) {
            break;
        }
        FUZZ_CHECK(frameSize <= size - offset, "a frame never extends past the data");
        CheckFrame(data + offset, frameSize);
        offset += frameSize;
    }
    return 0;
}
