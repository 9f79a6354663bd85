#pragma once
// Recordings made in the tests with the project's writer: damaged tracks appended to a written
// file, and the server's answers for a recording streamed.

#include "recording/ScreenRecorderFileWriter.h"
#include "recording/VSRRecords.h"
#include "recording/ZCompressionStream.h"
#include "support/FaultServer.h"
#include "support/Files.h"
#include "support/Pictures.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vsr::test {

// Appends a zlib stream of count followed by the entries' bytes; returns where it starts.
inline std::int64_t AppendTrack(const std::string& fileName, std::int32_t count,
                                std::span<const std::byte> entries) {
    TFileStream file(fileName, TFileMode::OpenReadWrite);
    const std::int64_t offset = file.Seek(0, TSeekOrigin::End);
    TZCompressionStream track(file);
    WriteRecord(track, count);
    track.WriteBuffer(entries);
    track.Finish();
    return offset;
}

// Append a replacement key-frame index or cursor track and point the header at it; count may
// differ from the entries given, to make damaged tracks.
inline void ReplaceKeyFrameIndex(const std::string& fileName, std::int32_t count,
                                 const std::vector<TKeyFrameEntry>& entries) {
    const std::int64_t offset = AppendTrack(fileName, count, std::as_bytes(std::span(entries)));
    PatchValue(fileName, offsetof(TVSRHeader, KeyFrameIndexOffset), offset);
}
inline void ReplaceCursorTrack(const std::string& fileName, std::int32_t count,
                               const std::vector<TCursorEntry>& entries) {
    const std::int64_t offset = AppendTrack(fileName, count, std::as_bytes(std::span(entries)));
    PatchValue(fileName, offsetof(TVSRHeader, CursorTrackOffset), offset);
}

inline bool IsInformationRequest(const TFaultRequest& request) { // flag=-1
    return request.Query("flag") == "-1";
}

// Answers the download protocol for fileBytes as the server script does: "OK|size|crc|" for
// flag=-1, "OK|" and the bytes for flag=1.
inline TFaultReply ServeRecording(const std::vector<std::byte>& fileBytes,
                                  const TFaultRequest& request) {
    const auto size = static_cast<std::int64_t>(fileBytes.size());
    if (IsInformationRequest(request))
        return TFaultReply::Answer(200, "OK|" + std::to_string(size) + "|1234|");
    const std::int64_t position =
        std::clamp<std::int64_t>(request.QueryNumber("position"), 0, size);
    const std::int64_t count =
        std::clamp<std::int64_t>(request.QueryNumber("size"), 0, size - position);
    const auto* first = reinterpret_cast<const char*>(fileBytes.data()) + position;
    return TFaultReply::Answer(200, "OK|" + std::string(first, static_cast<std::size_t>(count)));
}

// Answers a GET of the file as a static web server does: with a Range "bytes=FROM-TO" a 206
// with Content-Range, else (and when If-Range names another version) a 200 with it all; the
// version is etag.
inline TFaultReply ServeRange(const std::vector<std::byte>& fileBytes, const TFaultRequest& request,
                              const std::string& etag = "\"v1\"") {
    const auto size = static_cast<std::int64_t>(fileBytes.size());
    const auto* bytes = reinterpret_cast<const char*>(fileBytes.data());
    const std::string range = request.Header("Range"), ifRange = request.Header("If-Range");
    TFaultReply reply = TFaultReply::Answer(200, {});
    reply.Headers = "ETag: " + etag + "\r\nAccept-Ranges: bytes\r\n";
    if (!range.starts_with("bytes=") || (!ifRange.empty() && ifRange != etag)) {
        reply.Body.assign(bytes, fileBytes.size());
        return reply;
    }
    const std::int64_t from = std::strtoll(range.c_str() + 6, nullptr, 10);
    const std::int64_t to = std::min<std::int64_t>(
        std::strtoll(range.c_str() + range.find('-') + 1, nullptr, 10), size - 1);
    reply.Status = 206;
    reply.Body.assign(bytes + from, static_cast<std::size_t>(to - from + 1));
    reply.Headers += "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(to) +
                     "/" + std::to_string(size) + "\r\n";
    return reply;
}

} // namespace vsr::test
