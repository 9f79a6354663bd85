#pragma once
// Installs a trace sink that records every line for the lifetime of the object, then
// puts the previous sink back.

#include "shell/Trace.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vsr::test {

class TCaptureTracer {
public:
    TCaptureTracer() {
        auto sink = std::make_unique<TSink>();
        FSink = sink.get();
        FPrevious = SetTracer(std::move(sink));
    }
    ~TCaptureTracer() { SetTracer(std::move(FPrevious)); }
    TCaptureTracer(const TCaptureTracer&) = delete;
    TCaptureTracer& operator=(const TCaptureTracer&) = delete;

    std::vector<std::string> Lines() const {
        std::lock_guard lock(FSink->Mutex);
        return FSink->Lines;
    }
    std::size_t CountOf(const std::string& line) const {
        return static_cast<std::size_t>(std::ranges::count(Lines(), line));
    }
    bool Contains(const std::string& line) const { return CountOf(line) > 0; }
    void SetEnabled(bool enabled) { FSink->Enabled = enabled; }
    void Clear() {
        std::lock_guard lock(FSink->Mutex);
        FSink->Lines.clear();
    }

private:
    struct TSink : TTracer {
        mutable std::mutex Mutex;
        std::vector<std::string> Lines;
        void Write(std::string_view text) override {
            std::lock_guard lock(Mutex);
            Lines.emplace_back(text);
        }
    };
    TSink* FSink = nullptr;
    std::unique_ptr<TTracer> FPrevious;
};

} // namespace vsr::test
