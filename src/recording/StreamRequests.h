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
// request ended with status `accepted` (or `alsoAccepted`) in time, else empty; never raises.
// A request still running at the deadline is left running: the caller decides about it.
TByteString HttpGetSync(THttpClient& client, const std::string& address,
                        std::chrono::milliseconds timeout, int accepted = 200,
                        int alsoAccepted = 200);
// HttpGetSync with its address traced; a request that outlived its time-out is aborted, and
// stillBusy tells whether it did.
TByteString TracedGet(THttpClient& client, const std::string& address,
                      std::chrono::milliseconds timeout, bool& stillBusy, int accepted = 200,
                      int alsoAccepted = 200);

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

// How a streamed recording's requests are formed and their answers read. Each call raises
// EScreenRecorderPlaybackStream with the protocol's message for an answer it cannot take.
class TStreamProtocol {
public:
    static constexpr std::chrono::milliseconds DefaultTimeout = std::chrono::seconds(30);

    virtual ~TStreamProtocol() = default;
    // Set before the first request.
    void SetTimeout(std::chrono::milliseconds timeout) { FTimeout = timeout; }
    std::chrono::milliseconds Timeout() const { return FTimeout; }

    // The first request: the file's size and checksum (0 without one); zeros when the stream is
    // being destroyed.
    virtual TFileInformation FileInformation(THttpClient& client) = 0;
    // sizeBytes bytes from position: what arrived (possibly fewer, possibly none).
    virtual TByteString FetchBlock(THttpClient& client, std::int64_t position,
                                   std::int64_t sizeBytes) const = 0;
    // The 72 header bytes, verified; unverified when the stream is being destroyed.
    TVSRHeader FetchHeader(THttpClient& client) const;

protected:
    explicit TStreamProtocol(const std::atomic<bool>& destroying) : FDestroying(destroying) {}
    const std::atomic<bool>& FDestroying;

private:
    std::chrono::milliseconds FTimeout = DefaultTimeout;
};

// The server script's protocol: each request a GET of "vsr_download.php" with a query.
class TStreamRequests : public TStreamProtocol {
public:
    // destroying is the stream's flag: once set, answers are no longer examined.
    TStreamRequests(TStreamAddress address, const std::atomic<bool>& destroying);

    const TStreamAddress& Address() const { return FAddress; }
    TFileInformation FileInformation(THttpClient& client) override;
    TByteString FetchBlock(THttpClient& client, std::int64_t position,
                           std::int64_t sizeBytes) const override;

private:
    std::string QueryAddress(const std::string& query) const;

    TStreamAddress FAddress;
};

} // namespace vsr
