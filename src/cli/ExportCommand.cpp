#include "cli/Commands.h"
#include "cli/Progress.h"
#include "export/VideoExport.h"
#include "shell/Format.h"
#include "shell/PlayTimeText.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace vsr::cli {

namespace {

std::optional<std::int32_t> NumberOption(TArguments& args, const std::string& option) {
    const std::string text = TakeOption(args, option);
    if (text.empty())
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw EUsage{option + " needs a whole number, not \"" + text + "\""};
    return value;
}

} // namespace

int ExportCommand(const TArguments& arguments) {
    TArguments args = arguments;
    const std::string output = TakeOption(args, "-o");
    TExportOptions options;
    options.From = TimeOption(args, "--from");
    options.To = TimeOption(args, "--to");
    options.Fps = NumberOption(args, "--fps").value_or(options.Fps);
    options.Width = NumberOption(args, "--width");
    options.Quality = NumberOption(args, "--quality").value_or(options.Quality);
    options.Cursor = !TakeFlag(args, "--no-cursor");
    const bool quiet = TakeFlag(args, "--quiet");
    const std::string input = SingleFile(args);
    if (output.empty())
        throw EUsage{"export needs -o OUT.mp4, .webm, .gif or .mkv"};
    TVideoExport exporter(input, output, options);
    TProgressLine line(options.Fps);
    const bool showProgress = !quiet && ::isatty(STDERR_FILENO);
    Interrupted = false;
    const TInterruptScope interrupts;
    try {
        exporter.Run(
            [&](std::int64_t done, std::int64_t frames) {
                if (showProgress)
                    line.Show(done, frames);
            },
            Interrupted);
    } catch (const EExportCancelled&) {
        if (showProgress)
            std::fputc('\n', stderr);
        std::fputs("Export interrupted; nothing was written\n", stderr);
        return 130;
    }
    return 0;
}

} // namespace vsr::cli
