#pragma once
// What the long commands (export, index) share: the progress line on a terminal, the
// interrupt that stops them cleanly, and time options.

#include "cli/Commands.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>

namespace vsr::cli {

// Set by Ctrl+C (and SIGTERM, SIGHUP) while a TInterruptScope lives.
extern std::atomic<bool> Interrupted;

// Ctrl+C and the like end the command cleanly, so that its partial file goes.
class TInterruptScope {
public:
    TInterruptScope();
    ~TInterruptScope();
    TInterruptScope(const TInterruptScope&) = delete;
    TInterruptScope& operator=(const TInterruptScope&) = delete;

private:
    static constexpr int cSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction FOld[std::size(cSignals)]{};
};

// A play time ("1:05", "65.5") after option, removed from args; nullopt when absent.
std::optional<std::uint32_t> TimeOption(TArguments& args, const std::string& option);

// One line on a terminal, rewritten a few times a second: percent, speed (times real time)
// and time left. Units are what the command counts (pictures, milliseconds).
class TProgressLine {
public:
    explicit TProgressLine(double unitsPerSecond) : FUnitsPerSecond(unitsPerSecond) {}
    void Show(std::int64_t done, std::int64_t total);

private:
    double FUnitsPerSecond;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point FShown{};
};

} // namespace vsr::cli
