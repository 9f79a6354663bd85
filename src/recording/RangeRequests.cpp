#include "recording/RangeRequests.h"

#include "shell/Format.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vsr {

namespace {

constexpr int PartialContent = 206;
constexpr auto HeaderBytes = static_cast<std::int64_t>(sizeof(TVSRHeader));

[[noreturn]] void Raise(std::string_view message) {
    throw EScreenRecorderPlaybackStream(std::string(message));
}

// The script protocol's messages for the same cases; a range the file no longer has means the
// file changed.
[[noreturn]] void RaiseForStatus(int status) {
    if (status == 404 || status == 410)
        Raise(sVSRStreamNotFound);
    if (status == 412 || status == 416)
        Raise(sVSRStreamChanged);
    if (status / 100 == 3 || status / 100 == 4)
        Raise(sVSRStreamNotConfigured);
    Raise(sVSRStreamConnectionTimeout); // none, or a server error: retried
}

bool ParseNumber(std::string_view text, std::int64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() && value >= 0;
}

} // namespace

bool IsRangeAddress(std::string_view address) {
    std::string lower(address.substr(0, address.find_first_of("?#")));
    std::ranges::transform(lower, lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return (lower.starts_with("http://") || lower.starts_with("https://")) &&
           lower.ends_with(".vsr");
}

std::optional<TContentRange> ParseContentRange(std::string_view value) {
    constexpr std::string_view unit = "bytes ";
    if (!value.starts_with(unit))
        return std::nullopt;
    value.remove_prefix(unit.size());
    const std::size_t dash = value.find('-');
    const std::size_t slash = value.find('/');
    TContentRange range;
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash ||
        !ParseNumber(value.substr(0, dash), range.From) ||
        !ParseNumber(value.substr(dash + 1, slash - dash - 1), range.To) ||
        !ParseNumber(value.substr(slash + 1), range.Total) || range.To < range.From ||
        range.To >= range.Total)
        return std::nullopt;
    return range;
}

TRangeRequests::TRangeRequests(std::string_view address, const std::atomic<bool>& destroying)
    : TStreamProtocol(destroying), FAddress(EncodeUnsafeBytes(address)) {}

std::vector<std::string> TRangeRequests::RangeHeaders(std::int64_t from, std::int64_t to) const {
    std::vector<std::string> headers{Format("Range: bytes=%d-%d", from, to)};
    if (!FValidator.empty())
        headers.push_back("If-Range: " + FValidator);
    return headers;
}

std::optional<TFileInformation> TRangeRequests::Probe(THttpClient& client) {
    client.SetMaxRedirects(MaxRedirects);
    client.SetRequestHeaders(RangeHeaders(0, HeaderBytes - 1));
    // A server that ignores ranges sends the whole file: a large one is not waited for.
    client.SetMaxBodyBytes(WholeFileLimit);
    bool stillBusy = false;
    TByteString body = TracedGet(client, FAddress, Timeout(), stillBusy, PartialContent, 200);
    // The client goes on with the script's plain requests when this answer is not taken.
    client.SetMaxRedirects(0);
    client.SetRequestHeaders({});
    client.SetMaxBodyBytes(0);
    FProbeStatus = stillBusy ? 0 : client.StatusCode();
    if (FDestroying)
        return TFileInformation{};
    TraceFmt("Range probe: status %d, Content-Range: %s", FProbeStatus,
             client.ResponseHeader("Content-Range"));
    const std::string etag = client.ResponseHeader("ETag");
    FValidator = etag.empty() ? client.ResponseHeader("Last-Modified") : etag;
    if (FProbeStatus == PartialContent) {
        const auto range = ParseContentRange(client.ResponseHeader("Content-Range"));
        if (!range || range->From != 0 || std::ssize(body) != range->To + 1)
            return std::nullopt;
        FSize = range->Total;
    } else if (FProbeStatus == 200 && std::ssize(body) < WholeFileLimit && !body.empty()) {
        FSize = std::ssize(body);
        FWhole = true;
    } else {
        return std::nullopt;
    }
    FFirstBytes = std::move(body);
    TraceFmt("File Size: %d (%s), by ranges%s", FSize, SizeText(FSize),
             FWhole ? ", taken whole" : "");
    return TFileInformation{FSize, 0};
}

TFileInformation TRangeRequests::FileInformation(THttpClient& client) {
    if (const std::optional<TFileInformation> information = Probe(client))
        return *information;
    RaiseForStatus(FProbeStatus);
}

TByteString TRangeRequests::FetchBlock(THttpClient& client, std::int64_t position,
                                       std::int64_t sizeBytes) const {
    const std::int64_t end = std::min(position + sizeBytes, FSize);
    if (position >= end)
        return {};
    const auto held = std::ssize(FFirstBytes);
    if (FWhole || end <= held) {
        if (end > held)
            return {};
        return {FFirstBytes.begin() + position, FFirstBytes.begin() + end};
    }
    client.SetMaxRedirects(MaxRedirects);
    client.SetRequestHeaders(RangeHeaders(position, end - 1));
    bool stillBusy = false;
    TByteString body =
        TracedGet(client, FAddress, Timeout(), stillBusy, PartialContent, PartialContent);
    if (FDestroying)
        return body;
    const int status = stillBusy ? 0 : client.StatusCode();
    if (status == 200)
        Raise(sVSRStreamChanged); // If-Range found another version: the whole new file
    if (status != PartialContent)
        RaiseForStatus(status);
    const std::string contentRange = client.ResponseHeader("Content-Range");
    const auto range = ParseContentRange(contentRange);
    if (range && range->Total != FSize)
        Raise(sVSRStreamChanged);
    if (!range || range->From != position || range->To >= end ||
        std::ssize(body) != range->To - range->From + 1)
        throw EScreenRecorderPlaybackStream(Format(sVSRStreamWrongRange, contentRange));
    return body;
}

} // namespace vsr
