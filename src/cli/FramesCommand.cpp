#include "cli/Commands.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "recording/TileDib.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace vsr::cli {

namespace {

// Width, height and bit count from the tile's header; zeros when the payload is cut short.
TBitmapInfoHeader TileHeader(const TMemoryStream& payload) {
    TBitmapInfoHeader header{};
    if (payload.Memory().size() >= sizeof header)
        std::memcpy(&header, payload.Memory().data(), sizeof header);
    return header;
}

} // namespace

int FramesCommand(const TArguments& args) {
    TScreenRecorderPlaybackFile reader(SingleFile(args));
    TMemoryStream payload;
    std::uint32_t time = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    while (reader.ReadFrame(time, x, y, payload)) {
        const TBitmapInfoHeader tile = TileHeader(payload);
        std::printf("%" PRId32 " %" PRIu32 " %" PRId32 " %" PRId32 " %" PRId32 " %" PRId32
                    " %u %zu\n",
                    reader.CurrentKeyFrame(), time, x, y, tile.biWidth, tile.biHeight,
                    unsigned{tile.biBitCount}, payload.Memory().size());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace vsr::cli
