#include "shell/Trace.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace vsr {

namespace {

// The sink is owned here and published through an atomic pointer, so that tracing threads
// never see a half-replaced sink.
std::unique_ptr<TTracer>& OwnedTracer() {
    static std::unique_ptr<TTracer> tracer;
    return tracer;
}

std::atomic<TTracer*> gTracer{nullptr};

// Created while the program's modules are initialised, freed at program end.
struct TTracerSetup {
    TTracerSetup() { SetTracer(std::make_unique<TDebugTracer>()); }
    ~TTracerSetup() { SetTracer(nullptr); }
} gTracerSetup;

TTracer& CheckedTracer() {
    TTracer* tracer = gTracer.load(std::memory_order_acquire);
    if (!tracer)
        throw ETracer(Format("A %s is not initialized", "TTracer"));
    return *tracer;
}

// Where the debug channel goes, decided once: -1 discards, otherwise a descriptor.
int DebugChannel() {
    static const int channel = [] {
        const char* target = std::getenv("VSR_TRACE");
        if (!target || !*target)
            return -1;
        if (std::strcmp(target, "stderr") == 0)
            return STDERR_FILENO;
        return ::open(target, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    }();
    return channel;
}

} // namespace

void TTracer::Output(std::string_view text) {
    if (Enabled)
        Write(text);
}

void TTracer::OutputFmt(std::string_view format, std::span<const TFormatArg> args) {
    Output(FormatArgs(format, args));
}

void TDebugTracer::Write(std::string_view text) {
    const int channel = DebugChannel();
    if (channel < 0)
        return;
    std::string line(text.substr(0, text.find('\0')));
    line += '\n';
    // One write per line, so lines of different threads do not mix.
    [[maybe_unused]] const ssize_t written = ::write(channel, line.data(), line.size());
}

std::unique_ptr<TTracer> SetTracer(std::unique_ptr<TTracer> tracer) {
    gTracer.store(nullptr, std::memory_order_release);
    std::unique_ptr<TTracer> previous = std::move(OwnedTracer());
    OwnedTracer() = std::move(tracer);
    gTracer.store(OwnedTracer().get(), std::memory_order_release);
    return previous;
}

void Trace(std::string_view text) {
    CheckedTracer().Output(text);
}

void TraceArgs(std::string_view format, std::span<const TFormatArg> args) {
    CheckedTracer().OutputFmt(format, args);
}

} // namespace vsr
