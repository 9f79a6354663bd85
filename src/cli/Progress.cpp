#include "cli/Progress.h"

#include "shell/Format.h"
#include "shell/PlayTimeText.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace vsr::cli {

std::atomic<bool> Interrupted = false;

namespace {

extern "C" void StopCommand(int) {
    Interrupted = true;
}

std::string Clock(double seconds) {
    const auto whole = static_cast<int>(seconds + 0.5);
    return Format("%d:%.2d", whole / 60, whole % 60);
}

} // namespace

TInterruptScope::TInterruptScope() {
    struct sigaction action {};
    action.sa_handler = StopCommand;
    for (std::size_t i = 0; i < std::size(cSignals); ++i)
        ::sigaction(cSignals[i], &action, &FOld[i]);
}

TInterruptScope::~TInterruptScope() {
    for (std::size_t i = 0; i < std::size(cSignals); ++i)
        ::sigaction(cSignals[i], &FOld[i], nullptr);
}

std::optional<std::uint32_t> TimeOption(TArguments& args, const std::string& option) {
    const std::string text = TakeOption(args, option);
    if (text.empty())
        return std::nullopt;
    const TPlayTimeText time = ParsePlayTime(text);
    if (!time.Ms)
        throw EUsage{option + ": " + time.Error};
    return time.Ms;
}

void TProgressLine::Show(std::int64_t done, std::int64_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (done < total && now - FShown < std::chrono::milliseconds(250))
        return;
    FShown = now;
    const double elapsed = std::chrono::duration<double>(now - FStart).count();
    const double seconds = static_cast<double>(done) / FUnitsPerSecond;
    const double speed = elapsed > 0 ? seconds / elapsed : 0;
    const double left =
        speed > 0 ? (static_cast<double>(total - done) / FUnitsPerSecond) / speed : 0;
    constexpr int cBar = 30;
    const std::int64_t all = std::max<std::int64_t>(total, 1);
    const auto filled = static_cast<int>(cBar * done / all);
    std::fprintf(stderr, "\r[%s%s] %3d%%  %.1fx  %s left ", std::string(filled, '#').c_str(),
                 std::string(cBar - filled, ' ').c_str(), static_cast<int>(100 * done / all), speed,
                 Clock(left).c_str());
    if (done == total)
        std::fputc('\n', stderr);
}

} // namespace vsr::cli
