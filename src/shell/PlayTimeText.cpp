#include "shell/PlayTimeText.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace vsr {

namespace {

constexpr std::string_view cFormError =
    "Enter a time as h:mm:ss, mm:ss or seconds, for example 1:05:30, 5:30 or 330.";
constexpr std::string_view cRangeError = "Minutes and seconds after a colon go from 00 to 59.";
constexpr std::string_view cTooLongError = "That time is too far: at most 999:59:59.";
constexpr std::uint64_t cMaxMs = 999ull * 3600'000 + 59 * 60'000 + 59'000 + 999;

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::uint64_t> Digits(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

TPlayTimeText Refused(std::string_view why) {
    return {std::nullopt, std::string(why)};
}

TPlayTimeText Checked(std::uint64_t ms) {
    if (ms > cMaxMs)
        return Refused(cTooLongError);
    return {static_cast<std::uint32_t>(ms), {}};
}

// Plain seconds, with an optional fraction of up to three digits.
TPlayTimeText Seconds(std::string_view text) {
    const auto dot = text.find('.');
    const auto whole = Digits(text.substr(0, dot), 7);
    if (!whole)
        return Refused(cFormError);
    std::uint64_t ms = *whole * 1000;
    if (dot != std::string_view::npos) {
        const std::string_view fraction = text.substr(dot + 1);
        const auto digits = Digits(fraction, 3);
        if (!digits)
            return Refused(cFormError);
        std::uint64_t scaled = *digits;
        for (std::size_t i = fraction.size(); i < 3; ++i)
            scaled *= 10;
        ms += scaled;
    }
    return Checked(ms);
}

} // namespace

TPlayTimeText ParsePlayTime(std::string_view text) {
    text = Trimmed(text);
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const auto colon = text.find(':', start);
        fields.push_back(text.substr(start, colon - start));
        if (colon == std::string_view::npos)
            break;
        start = colon + 1;
    }
    if (fields.size() == 1)
        return Seconds(text);
    if (fields.size() > 3)
        return Refused(cFormError);
    // The first field is hours or minutes and may have any width; the others are two digits.
    const auto first = Digits(fields.front(), 3);
    if (!first)
        return Refused(cFormError);
    std::uint64_t seconds = *first;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const auto field = fields[i].size() == 2 ? Digits(fields[i], 2) : std::nullopt;
        if (!field)
            return Refused(cFormError);
        if (*field > 59)
            return Refused(cRangeError);
        seconds = seconds * 60 + *field;
    }
    return Checked(seconds * 1000);
}

std::string FormatPlayTime(std::uint32_t ms) {
    const std::uint32_t seconds = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

} // namespace vsr
