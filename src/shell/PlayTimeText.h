#pragma once
// Play times typed by people: "h:mm:ss", "mm:ss" or seconds ("90", "12.5"), as the player's
// "Go to time" box takes them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vsr {

struct TPlayTimeText {
    std::optional<std::uint32_t> Ms; // the time, when the text is one
    std::string Error;               // why it is not, for the person who typed it
};

// Leading and trailing blanks are allowed; minutes and seconds after a colon are two digits
// below 60; a fraction of at most three digits only on plain seconds.
TPlayTimeText ParsePlayTime(std::string_view text);

// "h:mm:ss", the seconds rounded down: 75500 -> "0:01:15".
std::string FormatPlayTime(std::uint32_t ms);

} // namespace vsr
