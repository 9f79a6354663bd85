#include "cli/Commands.h"
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

std::atomic<bool> Interrupted = false;

extern "C" void StopExport(int) {
    Interrupted = true;
}

// Ctrl+C and the like end the export cleanly, so that its partial file goes.
class TInterruptScope {
public:
    TInterruptScope() {
        struct sigaction action {};
        action.sa_handler = StopExport;
        for (std::size_t i = 0; i < std::size(cSignals); ++i)
            ::sigaction(cSignals[i], &action, &FOld[i]);
    }
    ~TInterruptScope() {
        for (std::size_t i = 0; i < std::size(cSignals); ++i)
            ::sigaction(cSignals[i], &FOld[i], nullptr);
    }
    TInterruptScope(const TInterruptScope&) = delete;
    TInterruptScope& operator=(const TInterruptScope&) = delete;

private:
    static constexpr int cSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction FOld[std::size(cSignals)]{};
};

std::optional<std::uint32_t> TimeOption(TArguments& args, const std::string& option) {
    const std::string text = TakeOption(args, option);
    if (text.empty())
        return std::nullopt;
    const TPlayTimeText time = ParsePlayTime(text);
    if (!time.Ms)
        throw EUsage{option + ": " + time.Error};
    return time.Ms;
}

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

std::string Clock(double seconds) {
    const auto whole = static_cast<int>(seconds + 0.5);
    return Format("%d:%.2d", whole / 60, whole % 60);
}

// One line on a terminal, rewritten a few times a second.
class TProgressLine {
public:
    explicit TProgressLine(std::int32_t fps) : FFps(fps) {}
    void Show(std::int64_t done, std::int64_t frames) {
        const auto now = std::chrono::steady_clock::now();
        if (done < frames && now - FShown < std::chrono::milliseconds(250))
            return;
        FShown = now;
        const double elapsed = std::chrono::duration<double>(now - FStart).count();
        const double exported = static_cast<double>(done) / FFps;
        const double speed = elapsed > 0 ? exported / elapsed : 0;
        const double left = speed > 0 ? (static_cast<double>(frames - done) / FFps) / speed : 0;
        constexpr int cBar = 30;
        const auto filled = static_cast<int>(cBar * done / std::max<std::int64_t>(frames, 1));
        std::fprintf(stderr, "\r[%s%s] %3d%%  %.1fx  %s left ", std::string(filled, '#').c_str(),
                     std::string(cBar - filled, ' ').c_str(),
                     static_cast<int>(100 * done / std::max<std::int64_t>(frames, 1)), speed,
                     Clock(left).c_str());
        if (done == frames)
            std::fputc('\n', stderr);
    }

private:
    std::int32_t FFps;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point FShown{};
};

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
