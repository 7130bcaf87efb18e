#include "protocol/Frame.h"

#include <cstring>

namespace {

std::uint16_t Read16(const std::uint8_t *p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t Read32(const std::uint8_t *p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Put16(std::string &out, std::uint16_t v) {
    const char bytes[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    out.append(bytes, 2);
}

void Put32(std::string &out, std::uint32_t v) {
    const char bytes[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                           static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
    out.append(bytes, 4);
}

void Patch16(std::string &out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<char>(v & 0xff);
    out[at + 1] = static_cast<char>(v >> 8);
}

void Patch32(std::string &out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

FrameHeader ReadHeader(const std::uint8_t *frame) {
    FrameHeader h;
    h.type = Read16(frame + 4);
    h.id = Read32(frame + 6);
    h.code = static_cast<std::int32_t>(Read32(frame + 10));
    h.count = Read16(frame + 14);
    return h;
}

// Length of a well-formed UTF-8 sequence starting at text[i], or 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (c >= 0xc2 && c <= 0xdf) {
        n = 2;
        cp = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
        n = 3;
        cp = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xc0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i + k) & 0x3f);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
        return 0;
    return n;
}

} // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        // Plain ASCII is by far the common case; skip it quickly.
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string RepairUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0) {
            out += "\xef\xbf\xbd";
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

bool IsValidFrame(const std::uint8_t *frame, std::size_t size) {
    if (size < kFrameHeaderSize || size > kMaxFrameSize || Read32(frame) != size - 4)
        return false;
    const FrameHeader h = ReadHeader(frame);
    if (h.count > kMaxAttributes)
        return false;
    std::size_t offset = kFrameHeaderSize;
    for (std::uint16_t i = 0; i < h.count; ++i) {
        if (size - offset < 3)
            return false;
        const auto tag = frame[offset + 2];
        offset += 3;
        switch (tag) {
        case static_cast<std::uint8_t>(AttributeTag::Int):
            if (size - offset < 4)
                return false;
            offset += 4;
            break;
        case static_cast<std::uint8_t>(AttributeTag::Bool):
            if (size - offset < 1 || frame[offset] > 1)
                return false;
            offset += 1;
            break;
        case static_cast<std::uint8_t>(AttributeTag::String): {
            if (size - offset < 2)
                return false;
            const std::size_t length = Read16(frame + offset);
            offset += 2;
            if (length > kMaxWireStringLength || size - offset < length)
                return false;
            if (!IsValidUtf8(std::string_view(reinterpret_cast<const char *>(frame + offset), length)))
                return false;
            offset += length;
            break;
        }
        default:
            return false;
        }
    }
    return offset == size;
}

CutResult CutFrame(const std::uint8_t *data, std::size_t available, std::size_t &size) {
    if (available < 4)
        return CutResult::NeedMore;
    const std::uint32_t length = Read32(data);
    if (length < kFrameHeaderSize - 4 || length > kMaxFrameSize - 4)
        return CutResult::Broken;
    const std::size_t total = static_cast<std::size_t>(length) + 4;
    if (available < total)
        return CutResult::NeedMore;
    if (!IsValidFrame(data, total))
        return CutResult::Broken;
    size = total;
    return CutResult::Frame;
}

FrameReader::FrameReader(const std::uint8_t *frame, std::size_t size)
    : frame_(frame), size_(size), header_(ReadHeader(frame)) {}

bool FrameReader::Next(WireAttribute &a) {
    // The frame was validated when it was cut, so only the attribute count bounds the walk; the size check keeps a
    // misuse with an unchecked frame from reading past it.
    if (read_ >= header_.count || size_ - offset_ < 3)
        return false;
    const std::uint8_t *p = frame_ + offset_;
    a.number = Read16(p);
    a.tag = static_cast<AttributeTag>(p[2]);
    p += 3;
    switch (a.tag) {
    case AttributeTag::Int:
        a.intValue = static_cast<std::int32_t>(Read32(p));
        a.text = {};
        offset_ += 7;
        break;
    case AttributeTag::Bool:
        a.intValue = p[0] != 0;
        a.text = {};
        offset_ += 4;
        break;
    case AttributeTag::String: {
        const std::size_t length = Read16(p);
        a.intValue = 0;
        a.text = std::string_view(reinterpret_cast<const char *>(p + 2), length);
        offset_ += 5 + length;
        break;
    }
    default:
        return false;
    }
    ++read_;
    return true;
}

bool FrameReader::FindInt(std::uint16_t number, std::int32_t &value) const {
    FrameReader r(frame_, size_);
    WireAttribute a;
    bool found = false;
    while (r.Next(a))
        if (a.number == number && a.tag == AttributeTag::Int) {
            value = a.intValue;
            found = true;
        }
    return found;
}

bool FrameReader::FindBool(std::uint16_t number, bool &value) const {
    FrameReader r(frame_, size_);
    WireAttribute a;
    bool found = false;
    while (r.Next(a))
        if (a.number == number && a.tag == AttributeTag::Bool) {
            value = a.intValue != 0;
            found = true;
        }
    return found;
}

bool FrameReader::FindString(std::uint16_t number, std::string_view &value) const {
    FrameReader r(frame_, size_);
    WireAttribute a;
    bool found = false;
    while (r.Next(a))
        if (a.number == number && a.tag == AttributeTag::String) {
            value = a.text;
            found = true;
        }
    return found;
}

FrameWriter::FrameWriter(std::string &out, std::uint16_t type, std::uint32_t id, std::int32_t code)
    : out_(out), start_(out.size()) {
    Put32(out_, 0);
    Put16(out_, type);
    Put32(out_, id);
    Put32(out_, static_cast<std::uint32_t>(code));
    Put16(out_, 0);
}

FrameWriter::~FrameWriter() {
    if (!finished_)
        Finish();
}

bool FrameWriter::Room(std::size_t bytes) {
    if (failed_)
        return false;
    if (count_ >= kMaxAttributes || out_.size() - start_ + bytes > kMaxFrameSize) {
        failed_ = true;
        return false;
    }
    return true;
}

FrameWriter &FrameWriter::Int(std::uint16_t number, std::int32_t value) {
    if (Room(7)) {
        Put16(out_, number);
        out_ += static_cast<char>(AttributeTag::Int);
        Put32(out_, static_cast<std::uint32_t>(value));
        ++count_;
    }
    return *this;
}

FrameWriter &FrameWriter::Bool(std::uint16_t number, bool value) {
    if (Room(4)) {
        Put16(out_, number);
        out_ += static_cast<char>(AttributeTag::Bool);
        out_ += static_cast<char>(value ? 1 : 0);
        ++count_;
    }
    return *this;
}

FrameWriter &FrameWriter::String(std::uint16_t number, std::string_view value) {
    if (value.size() > kMaxWireStringLength || !IsValidUtf8(value)) {
        failed_ = true;
        return *this;
    }
    if (Room(5 + value.size())) {
        Put16(out_, number);
        out_ += static_cast<char>(AttributeTag::String);
        Put16(out_, static_cast<std::uint16_t>(value.size()));
        out_.append(value);
        ++count_;
    }
    return *this;
}

FrameWriter &FrameWriter::Attribute(const WireAttribute &a) {
    switch (a.tag) {
    case AttributeTag::Int:
        return Int(a.number, a.intValue);
    case AttributeTag::Bool:
        return Bool(a.number, a.intValue != 0);
    case AttributeTag::String:
        return String(a.number, a.text);
    }
    failed_ = true;
    return *this;
}

bool FrameWriter::Finish() {
    if (finished_)
        return !failed_;
    finished_ = true;
    if (failed_) {
        out_.resize(start_);
        return false;
    }
    Patch32(out_, start_, static_cast<std::uint32_t>(out_.size() - start_ - 4));
    Patch16(out_, start_ + 14, count_);
    return true;
}
