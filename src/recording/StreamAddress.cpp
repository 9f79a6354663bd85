#include "recording/StreamAddress.h"

#include <array>

namespace vsr {

namespace {

struct TPrefix {
    std::string_view Prefix;
    std::string_view Scheme; // of the server script's address
};

constexpr std::array<TPrefix, 3> Prefixes{{
    {"vsrfile://", "http://"},
    {"http://", "http://"},
    {"https://", "https://"},
}};

const TPrefix* FindPrefix(std::string_view text) {
    for (const TPrefix& prefix : Prefixes)
        if (text.starts_with(prefix.Prefix))
            return &prefix;
    return nullptr;
}

bool NeedsEncoding(unsigned char c) {
    return c <= 0x20 || c >= 0x7F || c == '&' || c == '#' || c == '%' || c == '+' || c == '?';
}

// In the script's path "&", "%" and "+" mean what the user typed.
bool NeedsPathEncoding(unsigned char c) {
    return c <= 0x20 || c >= 0x7F || c == '#' || c == '?';
}

template <typename TPredicate>
std::string Encode(std::string_view value, TPredicate needsEncoding) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(value.size());
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (needsEncoding(c)) {
            result += '%';
            result += Hex[c >> 4];
            result += Hex[c & 0x0F];
        } else {
            result += ch;
        }
    }
    return result;
}

} // namespace

bool IsStreamAddress(std::string_view text) {
    return FindPrefix(text) != nullptr;
}

TStreamAddress SplitStreamAddress(std::string_view address) {
    const TPrefix* prefix = FindPrefix(address);
    std::string_view rest = prefix ? address.substr(prefix->Prefix.size()) : address;
    const std::string_view scheme = prefix ? prefix->Scheme : "http://";
    const std::size_t firstSlash = rest.find('/');
    const std::size_t lastSlash = rest.rfind('/');
    TStreamAddress result;
    result.RemoteFileName =
        std::string(firstSlash == std::string_view::npos ? rest : rest.substr(firstSlash + 1));
    const std::string_view folder =
        lastSlash == std::string_view::npos ? std::string_view() : rest.substr(0, lastSlash + 1);
    result.ServerURL = std::string(scheme) + Encode(folder, NeedsPathEncoding) + "vsr_download.php";
    return result;
}

std::string EncodeUnsafeBytes(std::string_view address) {
    return Encode(address, [](unsigned char c) { return c <= 0x20 || c >= 0x7F; });
}

std::string EncodeQueryValue(std::string_view value) {
    return Encode(value, NeedsEncoding);
}

} // namespace vsr
