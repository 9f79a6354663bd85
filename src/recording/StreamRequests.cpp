#include "recording/StreamRequests.h"

#include "shell/Format.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <charconv>
#include <cstring>

namespace vsr {

namespace {

using TClock = std::chrono::steady_clock;

constexpr auto PollStep = std::chrono::milliseconds(20);
constexpr std::string_view SuccessPrefix = "OK|";
constexpr std::string_view NotFoundAnswer = "22";

std::string_view AsText(const TByteString& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The trace channel ends a line at its first byte 0 anyway; a block can be megabytes long.
std::string_view TraceText(const TByteString& bytes) {
    const std::string_view text = AsText(bytes);
    return text.substr(0, text.find('\0'));
}

[[noreturn]] void Raise(std::string_view message) {
    throw EScreenRecorderPlaybackStream(std::string(message));
}

// A redirect being followed goes on too.
bool WaitGoesOn(const THttpClient& client, int accepted, int alsoAccepted) {
    const int status = client.StatusCode();
    return client.Busy() &&
           (status == 0 || status == accepted || status == alsoAccepted || status / 100 == 3);
}

} // namespace

TByteString HttpGetSync(THttpClient& client, const std::string& address,
                        std::chrono::milliseconds timeout, int accepted, int alsoAccepted) {
    TByteString result;
    try {
        auto sink = std::make_shared<THttpSink>();
        client.SetAddress(address);
        client.SetSink(sink);
        client.Get();
        const auto deadline =
            TClock::now() + (timeout.count() == 0 ? std::chrono::hours(24) : timeout);
        // Steps of at most PollStep, ended early by arriving data.
        while (TClock::now() < deadline && WaitGoesOn(client, accepted, alsoAccepted)) {
            client.ProcessEvents();
            client.WaitForActivity(PollStep);
        }
        const int status = client.StatusCode();
        if (!client.Busy() && (status == accepted || status == alsoAccepted))
            result = std::move(*sink);
    } catch (const std::exception&) {
        result.clear();
    }
    return result;
}

std::int64_t ParseInteger(const std::string& text) {
    std::int64_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last)
        throw EScreenRecorderPlaybackStream(Format("'%s' is not a valid integer value", text));
    return value;
}

std::string SizeText(std::int64_t sizeBytes) {
    constexpr std::int64_t KiB = 1024;
    constexpr std::int64_t MiB = 1024 * KiB;
    constexpr std::int64_t GiB = 1024 * MiB;
    const auto size = static_cast<double>(sizeBytes);
    if (sizeBytes < KiB)
        return Format("%d B", sizeBytes);
    if (sizeBytes < MiB)
        return Format("%.2n KB", size / KiB);
    if (sizeBytes < GiB)
        return Format("%.2n MB", size / MiB);
    return Format("%.2n GB", size / GiB);
}

TByteString TracedGet(THttpClient& client, const std::string& address,
                      std::chrono::milliseconds timeout, bool& stillBusy, int accepted,
                      int alsoAccepted) {
    TraceFmt("Call URL: %s", address);
    TByteString body = HttpGetSync(client, address, timeout, accepted, alsoAccepted);
    stillBusy = client.Busy();
    if (stillBusy)
        client.Abort(); // a late answer must not run into the next request
    return body;
}

TStreamRequests::TStreamRequests(TStreamAddress address, const std::atomic<bool>& destroying)
    : TStreamProtocol(destroying), FAddress(std::move(address)) {}

std::string TStreamRequests::QueryAddress(const std::string& query) const {
    return FAddress.ServerURL + "?fname=" + EncodeQueryValue(FAddress.RemoteFileName) + query;
}

TFileInformation ReadFileInformation(int status, const TByteString& body) {
    if (status / 100 == 3 || status >= 400)
        Raise(sVSRStreamNotConfigured);
    if (status != 200)
        Raise(sVSRStreamConnectionTimeout);
    std::string text(AsText(body));
    if (!text.starts_with(SuccessPrefix)) {
        if (text == NotFoundAnswer)
            Raise(sVSRStreamNotFound);
        throw EScreenRecorderPlaybackStream(Format(sVSRStreamUnknownAnswer, text));
    }
    text.erase(0, SuccessPrefix.size());
    const std::size_t sizeEnd = text.find('|');
    const std::string sizeText = text.substr(0, sizeEnd);
    text = sizeEnd == std::string::npos ? std::string() : text.substr(sizeEnd + 1);
    const std::string checksumText = text.substr(0, text.find('|'));
    TFileInformation information;
    information.FileSize = ParseInteger(sizeText);
    information.Checksum = static_cast<std::uint32_t>(ParseInteger(checksumText));
    TraceFmt("File Size: %d (%s), CRC: %d", information.FileSize, SizeText(information.FileSize),
             information.Checksum);
    return information;
}

TByteString ReadBlockAnswer(int status, TByteString body, std::int64_t sizeBytes) {
    if (status != 200)
        Raise(sVSRStreamConnectionTimeout);
    if (!AsText(body).starts_with(SuccessPrefix))
        throw EScreenRecorderPlaybackStream(Format(sVSRStreamUnknownAnswer, TraceText(body)));
    body.erase(body.begin(), body.begin() + SuccessPrefix.size());
    if (static_cast<std::int64_t>(body.size()) > sizeBytes)
        Raise(sVSRStreamTooMuchData);
    return body;
}

TVSRHeader ReadHeaderBytes(const TByteString& bytes) {
    TVSRHeader header{};
    if (bytes.size() != sizeof(TVSRHeader))
        Raise(sInvalidSRFile);
    std::memcpy(&header, bytes.data(), sizeof(header));
    if (!HasVSRMagic(header))
        Raise(sInvalidSRFile);
    return header;
}

TFileInformation TStreamRequests::FileInformation(THttpClient& client) {
    bool stillBusy = false;
    const TByteString body = TracedGet(client, QueryAddress("&flag=-1"), Timeout(), stillBusy);
    if (FDestroying)
        return {};
    TraceFmt("Flag=-1, Result=%s", TraceText(body));
    return ReadFileInformation(client.StatusCode(), body);
}

TByteString TStreamRequests::FetchBlock(THttpClient& client, std::int64_t position,
                                        std::int64_t sizeBytes) const {
    bool stillBusy = false;
    TByteString body =
        TracedGet(client, QueryAddress(Format("&flag=1&position=%d&size=%d", position, sizeBytes)),
                  Timeout(), stillBusy);
    if (FDestroying)
        return body;
    TraceFmt("Flag=1, Result=%s", TraceText(body));
    if (stillBusy)
        Raise(sVSRStreamConnectionTimeout);
    return ReadBlockAnswer(client.StatusCode(), std::move(body), sizeBytes);
}

TVSRHeader TStreamProtocol::FetchHeader(THttpClient& client) const {
    const TByteString bytes = FetchBlock(client, 0, sizeof(TVSRHeader));
    if (FDestroying)
        return {};
    return ReadHeaderBytes(bytes);
}

} // namespace vsr
