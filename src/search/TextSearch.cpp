#include "search/TextSearch.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <sstream>
#include <tuple>

namespace vsr {

namespace {

struct TFold {
    char32_t First;
    char32_t Last;
    std::string_view Base;
};

// Latin letters with marks, to their bare lower-case letters.
constexpr std::array<TFold, 56> cFolds{{
    {0xC0, 0xC5, "a"},      {0xC6, 0xC6, "ae"},     {0xC7, 0xC7, "c"},      {0xC8, 0xCB, "e"},
    {0xCC, 0xCF, "i"},      {0xD0, 0xD0, "d"},      {0xD1, 0xD1, "n"},      {0xD2, 0xD6, "o"},
    {0xD8, 0xD8, "o"},      {0xD9, 0xDC, "u"},      {0xDD, 0xDD, "y"},      {0xDE, 0xDE, "th"},
    {0xDF, 0xDF, "ss"},     {0xE0, 0xE5, "a"},      {0xE6, 0xE6, "ae"},     {0xE7, 0xE7, "c"},
    {0xE8, 0xEB, "e"},      {0xEC, 0xEF, "i"},      {0xF0, 0xF0, "d"},      {0xF1, 0xF1, "n"},
    {0xF2, 0xF6, "o"},      {0xF8, 0xF8, "o"},      {0xF9, 0xFC, "u"},      {0xFD, 0xFD, "y"},
    {0xFE, 0xFE, "th"},     {0xFF, 0xFF, "y"},      {0x100, 0x105, "a"},    {0x106, 0x10D, "c"},
    {0x10E, 0x111, "d"},    {0x112, 0x11B, "e"},    {0x11C, 0x123, "g"},    {0x124, 0x127, "h"},
    {0x128, 0x131, "i"},    {0x132, 0x133, "ij"},   {0x134, 0x135, "j"},    {0x136, 0x138, "k"},
    {0x139, 0x142, "l"},    {0x143, 0x14B, "n"},    {0x14C, 0x151, "o"},    {0x152, 0x153, "oe"},
    {0x154, 0x159, "r"},    {0x15A, 0x161, "s"},    {0x162, 0x167, "t"},    {0x168, 0x173, "u"},
    {0x174, 0x175, "w"},    {0x176, 0x178, "y"},    {0x179, 0x17E, "z"},    {0x17F, 0x17F, "s"},
    {0x1E9E, 0x1E9E, "ss"}, {0x2018, 0x2019, "'"},  {0x201C, 0x201D, "\""}, {0x2010, 0x2015, "-"},
    {0xFB00, 0xFB00, "ff"}, {0xFB01, 0xFB01, "fi"}, {0xFB02, 0xFB02, "fl"}, {0x00B4, 0x00B4, "'"},
}};

// The next code point of text from at; a byte that starts none stands for itself.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const int length = lead < 0x80         ? 1
                       : (lead >> 5) == 6  ? 2
                       : (lead >> 4) == 14 ? 3
                       : (lead >> 3) == 30 ? 4
                                           : 1;
    if (length == 1 || at + length > text.size()) {
        ++at;
        return lead;
    }
    char32_t value = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return lead;
        }
        value = value << 6 | (byte(at + i) & 0x3F);
    }
    at += length;
    return value;
}

void Append(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | c >> 6);
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | c >> 12);
        text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | c >> 18);
        text += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsWordCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || std::isalnum(u);
}

// The folded word without the punctuation around it: "Player!" -> "player".
std::string Key(std::string_view word) {
    std::string folded = FoldText(word);
    const auto first = std::ranges::find_if(folded, IsWordCharacter);
    const auto last = std::find_if(folded.rbegin(), folded.rend(), IsWordCharacter).base();
    return first < last ? std::string(first, last) : std::string();
}

bool SameLine(const TRect& a, const TRect& b) {
    const std::int32_t overlap = std::min(a.Bottom, b.Bottom) - std::max(a.Top, b.Top);
    return overlap * 2 >= std::min(a.Height(), b.Height());
}

// The nearest word right of word i on its line, while both are on the screen, whose key
// begins with want.
std::optional<std::size_t> NextOnLine(const TTextIndex& index, const std::vector<std::string>& keys,
                                      std::size_t i, std::uint32_t from, std::uint32_t to,
                                      const std::string& want) {
    const TRect& box = index.Words[i].Box;
    std::optional<std::size_t> next;
    for (std::size_t j = 0; j < index.Words.size(); ++j) {
        const TIndexedWord& other = index.Words[j];
        if (j == i || other.To < from || other.From > to || other.Box.Left < box.Right - 2 ||
            other.Box.Left > box.Right + 3 * box.Height() || !SameLine(box, other.Box) ||
            !keys[j].starts_with(want))
            continue;
        if (!next || other.Box.Left < index.Words[*next].Box.Left)
            next = j;
    }
    return next;
}

} // namespace

std::string FoldText(std::string_view utf8) {
    std::string folded;
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, at);
        if (c < 0x80) {
            folded += static_cast<char>(std::tolower(static_cast<int>(c)));
            continue;
        }
        const auto fold = std::ranges::find_if(
            cFolds, [c](const TFold& f) { return c >= f.First && c <= f.Last; });
        if (fold != cFolds.end())
            folded += fold->Base;
        else
            Append(folded, c);
    }
    return folded;
}

std::vector<TTextMatch> SearchTextIndex(const TTextIndex& index, std::string_view query) {
    std::vector<std::string> wanted;
    std::istringstream words{std::string(query)};
    for (std::string word; words >> word;)
        if (std::string key = Key(word); !key.empty())
            wanted.push_back(std::move(key));
    if (wanted.empty())
        return {};
    std::vector<std::string> keys;
    keys.reserve(index.Words.size());
    for (const TIndexedWord& word : index.Words)
        keys.push_back(Key(word.Text));
    std::vector<TTextMatch> found;
    for (std::size_t i = 0; i < index.Words.size(); ++i) {
        if (!keys[i].starts_with(wanted[0]))
            continue;
        const TIndexedWord& first = index.Words[i];
        TTextMatch match{first.From, first.To, first.Box, {first.Box}, first.Text};
        std::size_t at = i;
        bool whole = true;
        for (std::size_t w = 1; w < wanted.size() && whole; ++w) {
            const auto next = NextOnLine(index, keys, at, match.From, match.To, wanted[w]);
            whole = next.has_value();
            if (!whole)
                break;
            const TIndexedWord& word = index.Words[*next];
            match.From = std::max(match.From, word.From);
            match.To = std::min(match.To, word.To);
            match.Box = UnionRect(match.Box, word.Box);
            match.Boxes.push_back(word.Box);
            match.Text += " " + word.Text;
            at = *next;
        }
        if (whole)
            found.push_back(std::move(match));
    }
    std::ranges::sort(found, [](const TTextMatch& a, const TTextMatch& b) {
        return std::tuple(a.From, a.Box.Top, a.Box.Left) <
               std::tuple(b.From, b.Box.Top, b.Box.Left);
    });
    return found;
}

} // namespace vsr
