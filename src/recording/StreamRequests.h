#pragma once
// The requests of the download protocol: the file information, the header and the blocks,
// each an HTTP GET of the server script with a query, and the synchronous GET they run on.
//
// Threads: a TStreamRequests object is shared by the download workers; each call uses only the
// client it is given, which belongs to the calling worker.

#include "platform/HttpClient.h"
#include "recording/StreamAddress.h"
#include "recording/VSRRecords.h"
#include "shell/Exception.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vsr {

// Every failure of a streamed recording.
class EScreenRecorderPlaybackStream : public Exception {
public:
    using Exception::Exception;
};

using TByteString = std::vector<std::byte>;

// GETs address and waits for the answer, at most timeout (0: one day). The body when the
// request ended with status 200 in time, else empty; never raises. A request still running
// at the deadline is left running: the caller decides about it.
TByteString HttpGetSync(THttpClient& client, const std::string& address,
                        std::chrono::milliseconds timeout);

// A 64-bit decimal integer; raises "'%s' is not a valid integer value" otherwise.
std::int64_t ParseInteger(const std::string& text);
// The size as a short text: "%d B", "%.2n KB", "%.2n MB" or "%.2n GB".
std::string SizeText(std::int64_t sizeBytes);

struct TFileInformation {
    std::int64_t FileSize = 0;
    std::uint32_t Checksum = 0;
};

// The answers of the script, read as the requests below read them; each raises
// EScreenRecorderPlaybackStream with the protocol's message for an answer it cannot take.
// "OK|size|checksum|...": the file's size and checksum.
TFileInformation ReadFileInformation(int status, const TByteString& body);
// "OK|" and at most sizeBytes bytes: the bytes.
TByteString ReadBlockAnswer(int status, TByteString body, std::int64_t sizeBytes);
// The 72 bytes of a recording's header.
TVSRHeader ReadHeaderBytes(const TByteString& bytes);

class TStreamRequests {
public:
    static constexpr std::chrono::milliseconds DefaultTimeout = std::chrono::seconds(30);

    // destroying is the stream's flag: once set, answers are no longer examined.
    TStreamRequests(TStreamAddress address, const std::atomic<bool>& destroying,
                    std::chrono::milliseconds timeout = DefaultTimeout);

    const TStreamAddress& Address() const { return FAddress; }
    // Set before the first request.
    void SetTimeout(std::chrono::milliseconds timeout) { FTimeout = timeout; }

    // The file's size and checksum; zeros when the stream is being destroyed.
    TFileInformation FileInformation(THttpClient& client) const;
    // sizeBytes bytes from position: what arrived (possibly fewer, possibly none).
    TByteString FetchBlock(THttpClient& client, std::int64_t position,
                           std::int64_t sizeBytes) const;
    // The 72 header bytes, verified; unverified when the stream is being destroyed.
    TVSRHeader FetchHeader(THttpClient& client) const;

private:
    std::string QueryAddress(const std::string& query) const;
    // The body of a GET; a request that outlived its time-out is aborted. stillBusy tells
    // whether it did.
    TByteString Get(THttpClient& client, const std::string& address, bool& stillBusy) const;

    TStreamAddress FAddress;
    const std::atomic<bool>& FDestroying;
    std::chrono::milliseconds FTimeout;
};

} // namespace vsr
