#include "cli/Commands.h"
#include "cli/PngFile.h"
#include "platform/TempFiles.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "render/Bitmap32.h"
#include "render/Geometry.h"
#include "render/Snapshot.h"
#include "shell/Exception.h"
#include "shell/Format.h"

#include <charconv>
#include <cstdint>

namespace vsr::cli {

namespace {

std::uint32_t PlayTimeArgument(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        throw EUsage{"--at needs a play time in milliseconds, not \"" + text + "\""};
    return value;
}

} // namespace

int SnapshotCommand(const TArguments& arguments) {
    TArguments args = arguments;
    const std::string at = TakeOption(args, "--at");
    const std::string output = TakeOption(args, "-o");
    const bool withCursor = TakeFlag(args, "--cursor");
    if (at.empty() || output.empty())
        throw EUsage{"snapshot needs --at MS and -o OUT.png"};
    const std::uint32_t time = PlayTimeArgument(at);
    const std::string input = SingleFile(args);

    TScreenRecorderPlaybackFile reader(input);
    const TVSRHeader& header = reader.Header();
    if (header.Width <= 0 || header.Height <= 0 || header.Width > TBitmap32::MaxSide ||
        header.Height > TBitmap32::MaxSide)
        throw Exception(
            Format("%s: invalid picture size %d x %d", input, header.Width, header.Height));
    TBitmap32 bitmap;
    PrepareBitmap(bitmap, header.Width, header.Height);
    ComposeAt(reader, time, bitmap);
    if (withCursor)
        DrawRecordedCursor(bitmap, CursorPosAt(reader.Cursors(), time));
    TOutputFile file(output);
    WritePngFile(file.TempName(), bitmap.View());
    file.Commit();
    return 0;
}

} // namespace vsr::cli
