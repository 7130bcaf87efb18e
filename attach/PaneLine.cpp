#include "attach/PaneLine.h"

#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"

#include <algorithm>

namespace {
std::string_view Cut(std::string_view text, std::size_t limit) {
    std::size_t n = std::min(text.size(), limit);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xc0) == 0x80)
        --n;
    return text.substr(0, n);
}
} // namespace

std::string PaneLineEvent(const PaneLine &line) {
    const int style = (line.bold ? kPaneLineBold : 0) | (line.italic ? kPaneLineItalic : 0) |
                      (line.underline ? kPaneLineUnderline : 0) | (line.timed ? kPaneLineTimed : 0);
    std::string frame;
    const std::string text = RepairUtf8(Cut(line.text, kMaxLongStringLength));
    const std::string speaker = RepairUtf8(Cut(line.speaker, kMaxStringLength));
    FrameWriter(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventPaneLine)
        .String(kAttrPaneLineText, Cut(text, kMaxLongStringLength))
        .Int(kAttrPaneLineColour, static_cast<std::int32_t>(line.colour & 0xFFFFFF))
        .Int(kAttrPaneLineStyle, style)
        .Int(kAttrPaneLineTime, static_cast<std::int32_t>(std::clamp<std::int64_t>(line.time, 0, INT32_MAX)))
        .Int(kAttrPaneLineKind, line.kind)
        .String(kAttrPaneLineSpeaker, Cut(speaker, kMaxStringLength))
        .Int(kAttrPaneLineFlags, line.flags)
        .Finish();
    return frame;
}
