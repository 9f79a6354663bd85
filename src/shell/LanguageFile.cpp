#include "shell/LanguageFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace vsr {

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower;
}

std::string_view WithoutEnclosingQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Cuts at most MaxValueLength bytes, never inside a UTF-8 sequence.
std::string_view Cut(std::string_view value) {
    if (value.size() <= TLanguageFile::MaxValueLength)
        return value;
    std::size_t end = TLanguageFile::MaxValueLength;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
        --end;
    return value.substr(0, end);
}

// The section header's name, or nothing when line is no header.
std::optional<std::string> SectionName(std::string_view line) {
    if (!line.starts_with('[') || !line.ends_with(']'))
        return std::nullopt;
    return Lower(Trim(line.substr(1, line.size() - 2)));
}

} // namespace

TLanguageFile TLanguageFile::Load(const std::string& fileName, std::string_view section) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return Parse(text.str(), section);
}

TLanguageFile TLanguageFile::Parse(std::string_view text, std::string_view section) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    TLanguageFile result;
    const std::string wanted = Lower(section);
    bool inside = false;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        const std::string_view trimmed = Trim(line);
        if (const auto name = SectionName(trimmed))
            inside = *name == wanted;
        else if (inside)
            result.Add(trimmed);
    }
    return result;
}

void TLanguageFile::Add(std::string_view line) {
    if (line.empty() || line.starts_with(';') || line.starts_with('#'))
        return;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return;
    const std::string key = Lower(Trim(line.substr(0, equals)));
    if (key.empty())
        return;
    FValues.try_emplace(key, Cut(WithoutEnclosingQuotes(Trim(line.substr(equals + 1)))));
}

std::string TLanguageFile::Value(std::string_view key) const {
    const auto found = FValues.find(Lower(key));
    if (found == FValues.end())
        return {};
    const std::string& value = found->second;
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return value.substr(1, value.size() - 2);
    return value;
}

std::string BackquotesToLineBreaks(std::string_view value) {
    std::string result;
    for (const char c : value)
        result += c == '`' ? std::string_view("\r\n") : std::string_view(&c, 1);
    return result;
}

std::string LanguageFileName(const std::string& executablePath) {
    return std::filesystem::path(executablePath).replace_extension(".lng").string();
}

} // namespace vsr
