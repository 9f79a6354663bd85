#pragma once
// Searching a text index: the query's words are matched, case and accents aside, against whole
// words or their beginnings; several words match words that follow each other on one line
// while all of them are on the screen.

#include "search/TextIndex.h"

#include <string>
#include <string_view>
#include <vector>

namespace vsr {

struct TTextMatch {
    std::uint32_t From = 0; // ms: while every matched word is on the screen
    std::uint32_t To = 0;
    TRect Box;                // around all matched words
    std::vector<TRect> Boxes; // each matched word's
    std::string Text;         // the matched words as recognised, by single spaces
};

// Lower case without accents: "Élan" -> "elan". Letters outside Latin are kept as they are.
std::string FoldText(std::string_view utf8);

// Matches by From, then top to bottom; an empty query matches nothing.
std::vector<TTextMatch> SearchTextIndex(const TTextIndex& index, std::string_view query);

} // namespace vsr
