#pragma once
// Format: the program's one text formatter, used by TraceFmt and the message texts.
//
// Conventions: "%s" text, "%d" signed 32- or 64-bit integer, "%u" unsigned, "%x" upper-case
// hexadecimal, "%n" number with thousands separators ("%.2n" two decimals), "%f" fixed,
// "%e" scientific, "%g" general, "%c" character, "%p" pointer, "%%" a percent sign.
// Between '%' and the type: an optional '-' (left-justify), a width and ".precision";
// a width or precision of '*' takes the next argument. A format that does not fit its
// arguments raises EFormatError.

#include "shell/Exception.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace vsr {

class EFormatError : public Exception {
public:
    using Exception::Exception;
};

// One argument of Format: integers keep their signedness, texts are borrowed for the call.
class TFormatArg {
public:
    using TValue =
        std::variant<std::int64_t, std::uint64_t, double, std::string_view, char, const void*>;

    template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
        TFormatArg(T value) { // NOLINT(google-explicit-constructor)
        if constexpr (std::is_signed_v<T>)
            FValue = static_cast<std::int64_t>(value);
        else
            FValue = static_cast<std::uint64_t>(value);
    }
    TFormatArg(bool value) : FValue(static_cast<std::int64_t>(value)) {}
    TFormatArg(char value) : FValue(value) {}
    TFormatArg(double value) : FValue(value) {}
    TFormatArg(float value) : FValue(static_cast<double>(value)) {}
    TFormatArg(std::string_view value) : FValue(value) {}
    TFormatArg(const std::string& value) : FValue(std::string_view(value)) {}
    TFormatArg(const char* value) : FValue(std::string_view(value ? value : "")) {}
    TFormatArg(const void* value) : FValue(value) {}

    const TValue& Value() const { return FValue; }

private:
    TValue FValue;
};

std::string FormatArgs(std::string_view format, std::span<const TFormatArg> args);

template <typename... TArgs> std::string Format(std::string_view format, const TArgs&... args) {
    const TFormatArg list[] = {TFormatArg(args)..., TFormatArg(0)};
    return FormatArgs(format, std::span<const TFormatArg>(list, sizeof...(TArgs)));
}

} // namespace vsr
