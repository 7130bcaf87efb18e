#pragma once

// The wire format, without sockets: length-prefixed frames carrying a message type, a request id, a code and a bag
// of typed attributes. All integers are little-endian.
//
//   u32 length          bytes after this field, kFrameHeaderSize - 4 .. kMaxFrameSize - 4
//   u16 type            MessageType
//   u32 id              request id; 0 for events
//   i32 code            result code (Reply, HelloReply, Close), event number (Event), protocol version (Hello)
//   u16 count           number of attributes, at most kMaxAttributes
//   count times:
//     u16 number        attribute or field number
//     u8  tag           1 integer: i32 | 2 boolean: u8 0 or 1 | 3 string: u16 length, then UTF-8 bytes
//
// Every limit is checked before anything is allocated; a frame that breaks one, or whose attributes do not fill
// it exactly, is refused as a whole.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr std::size_t kFrameHeaderSize = 16;
constexpr std::size_t kMaxFrameSize = 64 * 1024;   // whole frame, length field included
constexpr std::size_t kMaxAttributes = 512;        // per frame
constexpr std::size_t kMaxWireStringLength = 4096; // any string on the wire; attributes have tighter limits

enum class AttributeTag : std::uint8_t { Int = 1, Bool = 2, String = 3 };

struct FrameHeader {
    std::uint16_t type = 0;
    std::uint32_t id = 0;
    std::int32_t code = 0;
    std::uint16_t count = 0;
};

struct WireAttribute {
    std::uint16_t number = 0;
    AttributeTag tag = AttributeTag::Int;
    std::int32_t intValue = 0; // Int and Bool (0 or 1)
    std::string_view text;     // String; points into the frame
};

enum class CutResult { Frame, NeedMore, Broken };

// Looks at the front of a receive buffer. Frame: `size` is the whole first frame, which is complete and valid.
// NeedMore: not all of it has arrived (only when the length field is plausible). Broken: the data can never form a
// valid frame; close the connection with 463.
CutResult CutFrame(const std::uint8_t *data, std::size_t available, std::size_t &size);

// Checks the structure of one complete frame (as CutFrame does) without the length rules; for tests and callers
// that have a frame in hand.
bool IsValidFrame(const std::uint8_t *frame, std::size_t size);

// Reads a frame that CutFrame accepted. Attributes come in wire order.
class FrameReader {
public:
    FrameReader(const std::uint8_t *frame, std::size_t size);

    const FrameHeader &Header() const { return header_; }
    // The next attribute, false after the last.
    bool Next(WireAttribute &attribute);
    // Searches the whole frame; the last occurrence wins, as if the attributes were applied in order.
    bool FindInt(std::uint16_t number, std::int32_t &value) const;
    bool FindBool(std::uint16_t number, bool &value) const;
    bool FindString(std::uint16_t number, std::string_view &value) const;

private:
    const std::uint8_t *frame_;
    std::size_t size_;
    std::size_t offset_ = kFrameHeaderSize;
    std::uint16_t read_ = 0;
    FrameHeader header_;
};

// Appends one frame to a byte string. A string longer than the wire allows, or a frame that would outgrow
// kMaxFrameSize or kMaxAttributes, makes the writer fail: Finish then removes the partial frame and returns false.
class FrameWriter {
public:
    FrameWriter(std::string &out, std::uint16_t type, std::uint32_t id, std::int32_t code);
    FrameWriter(const FrameWriter &) = delete;
    FrameWriter &operator=(const FrameWriter &) = delete;
    ~FrameWriter();

    FrameWriter &Int(std::uint16_t number, std::int32_t value);
    FrameWriter &Bool(std::uint16_t number, bool value);
    FrameWriter &String(std::uint16_t number, std::string_view value);
    // Copies one attribute as read from another frame.
    FrameWriter &Attribute(const WireAttribute &attribute);
    bool Finish();

private:
    bool Room(std::size_t bytes);

    std::string &out_;
    std::size_t start_;
    std::uint16_t count_ = 0;
    bool failed_ = false;
    bool finished_ = false;
};

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);
// Replaces every byte that does not start a well-formed sequence with U+FFFD.
std::string RepairUtf8(std::string_view text);
