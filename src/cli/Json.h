#pragma once
// A small writer of compact JSON text for the tool's machine-readable output.

#include <cstdint>
#include <string>
#include <string_view>

namespace vsr::cli {

class TJsonWriter {
public:
    TJsonWriter& BeginObject();
    TJsonWriter& EndObject();
    TJsonWriter& BeginArray();
    TJsonWriter& EndArray();
    TJsonWriter& Key(std::string_view name);
    TJsonWriter& Value(std::string_view text);
    TJsonWriter& Value(const char* text) { return Value(std::string_view(text)); }
    TJsonWriter& Value(std::int64_t number);
    TJsonWriter& Value(double number);
    TJsonWriter& Value(bool flag);
    TJsonWriter& Null();

    const std::string& Text() const { return FText; }

private:
    std::string FText;
    bool FNeedsComma = false;

    void Separate();
};

// Quotes text for JSON. Text that is not UTF-8 (links in recordings are 8-bit text) is taken
// as Latin-1.
std::string JsonQuote(std::string_view text);

} // namespace vsr::cli
