#pragma once
// Streaming addresses: which texts are one, how one splits into the address of the server
// script and the file name it is asked for, and how query values are written.

#include <string>
#include <string_view>

namespace vsr {

// True when text begins with "vsrfile://", "http://" or "https://" (case-sensitive).
bool IsStreamAddress(std::string_view text);

struct TStreamAddress {
    std::string ServerURL;      // the address of the server script "vsr_download.php"
    std::string RemoteFileName; // the file's path from the server root, the fname value
};

// Splits a streaming address; "https://" addresses reach the script over https, the others
// over http. Bytes that no address may hold (space, control and non-ASCII bytes) and "#" and
// "?" are percent-encoded in the script's address. Call only with a text IsStreamAddress
// accepts.
TStreamAddress SplitStreamAddress(std::string_view address);

// address with the bytes no address may hold (space, control and non-ASCII bytes)
// percent-encoded; everything else, a query string included, stays as typed.
std::string EncodeUnsafeBytes(std::string_view address);

// value with the characters a query value cannot hold percent-encoded (space, "&", "#", "%",
// "+", "?", control and non-ASCII bytes); everything else, "/" included, stays as it is.
std::string EncodeQueryValue(std::string_view value);

} // namespace vsr
