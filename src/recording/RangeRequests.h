#pragma once
// TRangeRequests: a recording streamed from any web server or object store with standard HTTP
// range requests, each block a GET of the file itself with "Range: bytes=FROM-TO".
//
// The first answer decides: a 206 with Content-Range gives the size and the header bytes; a
// 200 without ranges for a file under 8 MiB brings the whole file, from which every block is
// then taken. Its ETag (or else its Last-Modified) goes back with every later request as
// If-Range, so that a file changed on the server answers 200 and is reported as changed; so is
// a Content-Range of another total. Redirects are followed, at most 5.

#include "recording/StreamAddress.h"
#include "recording/StreamRequests.h"

#include <optional>
#include <string>
#include <string_view>

namespace vsr {

// An http:// or https:// address whose path (before any query) ends in ".vsr".
bool IsRangeAddress(std::string_view address);

// "bytes FROM-TO/TOTAL"; nullopt for anything else (an unknown total "*" included).
struct TContentRange {
    std::int64_t From = 0;
    std::int64_t To = 0;
    std::int64_t Total = 0;
};
std::optional<TContentRange> ParseContentRange(std::string_view value);

class TRangeRequests : public TStreamProtocol {
public:
    static constexpr std::int64_t WholeFileLimit = 8 * 1024 * 1024;
    static constexpr int MaxRedirects = 5;

    TRangeRequests(std::string_view address, const std::atomic<bool>& destroying);

    // The first request. nullopt when the server does not serve the file by ranges (nor whole
    // and small): the caller turns to the server script. Status() then holds its answer's
    // status (0: none arrived).
    std::optional<TFileInformation> Probe(THttpClient& client);
    int ProbeStatus() const { return FProbeStatus; }

    TFileInformation FileInformation(THttpClient& client) override;
    TByteString FetchBlock(THttpClient& client, std::int64_t position,
                           std::int64_t sizeBytes) const override;

private:
    // The headers of a request of bytes [from, to].
    std::vector<std::string> RangeHeaders(std::int64_t from, std::int64_t to) const;

    std::string FAddress;
    int FProbeStatus = 0;
    std::int64_t FSize = 0;
    std::string FValidator;  // ETag or Last-Modified of the first answer
    TByteString FFirstBytes; // the first answer's bytes: the header, or the whole file
    bool FWhole = false;     // FFirstBytes is the whole file
};

} // namespace vsr
