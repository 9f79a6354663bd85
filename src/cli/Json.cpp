#include "cli/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace vsr::cli {

void TJsonWriter::Separate() {
    if (FNeedsComma)
        FText += ", ";
    FNeedsComma = true;
}

TJsonWriter& TJsonWriter::BeginObject() {
    Separate();
    FText += '{';
    FNeedsComma = false;
    return *this;
}

TJsonWriter& TJsonWriter::EndObject() {
    FText += '}';
    FNeedsComma = true;
    return *this;
}

TJsonWriter& TJsonWriter::BeginArray() {
    Separate();
    FText += '[';
    FNeedsComma = false;
    return *this;
}

TJsonWriter& TJsonWriter::EndArray() {
    FText += ']';
    FNeedsComma = true;
    return *this;
}

TJsonWriter& TJsonWriter::Key(std::string_view name) {
    Separate();
    FText += JsonQuote(name);
    FText += ": ";
    FNeedsComma = false;
    return *this;
}

TJsonWriter& TJsonWriter::Value(std::string_view text) {
    Separate();
    FText += JsonQuote(text);
    return *this;
}

TJsonWriter& TJsonWriter::Value(std::int64_t number) {
    Separate();
    FText += std::to_string(number);
    return *this;
}

TJsonWriter& TJsonWriter::Value(double number) {
    Separate();
    if (!std::isfinite(number)) {
        FText += "null"; // JSON has no infinities or NaN
        return *this;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".eE") == std::string::npos)
        text += ".0"; // keep it a float for readers that care
    FText += text;
    return *this;
}

TJsonWriter& TJsonWriter::Value(bool flag) {
    Separate();
    FText += flag ? "true" : "false";
    return *this;
}

TJsonWriter& TJsonWriter::Null() {
    Separate();
    FText += "null";
    return *this;
}

namespace {

bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80           ? 1
                                   : (byte >> 5) == 0x6  ? 2
                                   : (byte >> 4) == 0xE  ? 3
                                   : (byte >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

} // namespace

std::string JsonQuote(std::string_view text) {
    const bool utf8 = IsUtf8(text);
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else if (byte < 0x80 || utf8) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out + "\"";
}

} // namespace vsr::cli
