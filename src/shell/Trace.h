#pragma once
// Debug tracing: short diagnostic lines from every part of the program.
//
// There is one process-wide sink. Trace and TraceFmt take no lock and may be called from
// any thread; the sink is set at start-up (a TDebugTracer) and not changed while other
// threads run. Tests swap in a capturing sink with SetTracer.

#include "shell/Exception.h"
#include "shell/Format.h"

#include <memory>
#include <span>
#include <string_view>

namespace vsr {

class ETracer : public Exception {
public:
    using Exception::Exception;
};

class TTracer {
public:
    TTracer() = default;
    virtual ~TTracer() = default;
    TTracer(const TTracer&) = delete;
    TTracer& operator=(const TTracer&) = delete;

    bool Enabled = true;

    void Output(std::string_view text);
    void OutputFmt(std::string_view format, std::span<const TFormatArg> args);

protected:
    // One call is one line; no line end is passed.
    virtual void Write(std::string_view text) = 0;
};

// The debug channel. Linux has no debugger output, so lines go where the environment
// variable VSR_TRACE says: "stderr", or the path of a file the lines are appended to.
// Unset, lines are discarded, like debug output with no debugger attached. A line is cut at
// its first byte 0, as the debugger channel would cut it.
class TDebugTracer : public TTracer {
protected:
    void Write(std::string_view text) override;
};

// Replaces the process-wide sink and returns the previous one (which may be empty).
std::unique_ptr<TTracer> SetTracer(std::unique_ptr<TTracer> tracer);

void Trace(std::string_view text);
void TraceArgs(std::string_view format, std::span<const TFormatArg> args);

template <typename... TArgs> void TraceFmt(std::string_view format, const TArgs&... args) {
    const TFormatArg list[] = {TFormatArg(args)..., TFormatArg(0)};
    TraceArgs(format, std::span<const TFormatArg>(list, sizeof...(TArgs)));
}

} // namespace vsr
