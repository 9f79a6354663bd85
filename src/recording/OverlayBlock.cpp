#include "recording/OverlayBlock.h"

#include "shell/Messages.h"

namespace vsr {

TOverlayBlockInfo ReadOverlayBlock(TStream& stream, std::int64_t base) {
    TOverlayBlockInfo info;
    stream.SetPosition(base);
    if (!ReadRecord(stream, info.Header) || !HasOverlayMagic(info.Header))
        throw Exception(std::string(sInvalidSRFile));
    if (info.Header.LinkStart != info.Header.LinkEnd) {
        stream.SetPosition(base + info.Header.LinkStart);
        info.Link = ReadOverlayLink(stream);
    }
    return info;
}

std::string ReadOverlayLink(TStream& stream) {
    std::uint16_t length = 0;
    stream.ReadBuffer(std::as_writable_bytes(std::span(&length, 1)));
    std::string link(length, '\0');
    stream.ReadBuffer(std::as_writable_bytes(std::span(link.data(), link.size())));
    return link;
}

} // namespace vsr
