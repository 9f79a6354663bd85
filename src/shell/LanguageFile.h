#pragma once
// The language file: an INI-style text file beside the program whose entries replace the
// window texts. One section is read at a time.
//
// Reading rules: a section starts with a line "[name]" (the name compared without regard to
// case); an entry is a line key=value; keys are compared without regard to case; blanks around
// key and value are dropped, then one pair of enclosing single or double quotes; values are cut
// to MaxValueLength characters. Our choices: the first of two entries with the same key wins
// (as the system's reader does), and lines whose first non-blank character is ';' or '#' are
// comments. The file is read as UTF-8; a byte-order mark is skipped.

#include <map>
#include <string>
#include <string_view>

namespace vsr {

class TLanguageFile {
public:
    static constexpr std::size_t MaxValueLength = 2047;

    TLanguageFile() = default;
    // The entries of section; none when the file or the section does not exist.
    static TLanguageFile Load(const std::string& fileName, std::string_view section);
    static TLanguageFile Parse(std::string_view text, std::string_view section);

    // The text of key with the single-quote rule applied (a value of two characters or more
    // that starts and ends with a single quote loses both); empty when there is none.
    std::string Value(std::string_view key) const;
    bool Empty() const { return FValues.empty(); }

private:
    void Add(std::string_view line);

    std::map<std::string, std::string> FValues; // keys in lower case
};

// Every backquote becomes a line break (carriage return and line feed).
std::string BackquotesToLineBreaks(std::string_view value);

// The program's path with its extension replaced by ".lng".
std::string LanguageFileName(const std::string& executablePath);

} // namespace vsr
