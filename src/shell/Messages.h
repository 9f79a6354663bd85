#pragma once
// Message texts: named constants with their built-in English values. The code reads
// the constant each time it needs the text.

#include <string_view>

namespace vsr {

inline constexpr std::string_view sLanguageNotFound =
    "%s language not found.\r\nPlease contact your vendor for futher details.";
inline constexpr std::string_view sInvalidSRFile = "Invalid Screen Recorder File";
inline constexpr std::string_view sFileNotFound = "File %s not found.";
inline constexpr std::string_view sSRPlayerLinkName = "%s Screen Recorder Playback";
inline constexpr std::string_view sVSRFilter =
    "Screen Recorder Files (*.vsr)|*.vsr|All files (*.*)|*.*";
inline constexpr std::string_view sInvalidVSRHandler = "Invalid vsrfile command line";
inline constexpr std::string_view sVSRStreamCantSeekNow =
    "Seeking is disabled until fully downloaded";
inline constexpr std::string_view sVSRStreamConnectionTimeout = "Connection timeout.";
inline constexpr std::string_view sVSRStreamUnknownAnswer = "Unexpected response from server: %s";
inline constexpr std::string_view sVSRStreamNoData = "Server returned no data";
// Has no name of its own in the carried English texts.
inline constexpr std::string_view sVSRStreamTooMuchData = "Server returned too much data";
inline constexpr std::string_view sAudioAndVisual = "Audio & Visual Recording";
inline constexpr std::string_view sVSRStreamConnecting = "connecting...";
inline constexpr std::string_view sVSRStreamBuffering = "buffering, please wait...";
inline constexpr std::string_view sVSRStreamChecking = "checking data...";
inline constexpr std::string_view sVSRStreamNotFound = "File not found on server";
inline constexpr std::string_view sVSRStreamChanged =
    "The recording was changed on the server while it played; open it again to play it";
inline constexpr std::string_view sVSRStreamWrongRange = "Server returned a wrong range: %s";
inline constexpr std::string_view sVSRStreamNotConfigured =
    "Server is not responding or is not properly configured for streaming .vsr files";

} // namespace vsr
