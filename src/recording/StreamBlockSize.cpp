#include "recording/StreamBlockSize.h"

#include "shell/Trace.h"

#include <algorithm>

namespace vsr {

void TStreamBlockSize::Adapt(std::int64_t bytes, std::chrono::milliseconds elapsed) {
    const std::int64_t ms = elapsed.count();
    if (ms > 0) {
        // a block is at most a few megabytes: the product stays far inside 64 bits
        const std::int64_t tenSeconds = std::max<std::int64_t>(bytes, 0) * 10000 / ms;
        FBytes = std::clamp(tenSeconds, MinBytes, MaxBytes);
    }
    TraceFmt("downloaded %d bytes in %d ms -> new block size: %d", bytes, ms, FBytes);
}

} // namespace vsr
