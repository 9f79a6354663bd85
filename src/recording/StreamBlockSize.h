#pragma once
// TStreamBlockSize: a download worker's block size, following the rate of its last request
// so that one request lasts about ten seconds.

#include <chrono>
#include <cstdint>

namespace vsr {

class TStreamBlockSize {
public:
    static constexpr std::int64_t InitialBytes = 32768;
    // A fast link measured over a tiny request would otherwise ask for hundreds of megabytes.
    static constexpr std::int64_t MinBytes = 4 * 1024;
    static constexpr std::int64_t MaxBytes = 4 * 1024 * 1024;

    std::int64_t Bytes() const { return FBytes; }

    // Takes the next size from a request of bytes that lasted elapsed, and traces it. A request
    // measured at 0 ms gives no rate and keeps the size.
    void Adapt(std::int64_t bytes, std::chrono::milliseconds elapsed);

private:
    std::int64_t FBytes = InitialBytes;
};

} // namespace vsr
