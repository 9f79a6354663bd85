#include "platform/DesktopEntry.h"

#include <sstream>
#include <string_view>

namespace vsr {

namespace {

// An argument with any of these must be quoted; inside quotes the second set is escaped.
constexpr std::string_view cReserved = " \t\n\"'\\><~|&;$*?#()`";
constexpr std::string_view cEscapedInQuotes = "\"`$\\";

std::string QuotedArgument(const std::string& argument) {
    if (argument.find_first_of(cReserved) == std::string::npos)
        return argument;
    std::string quoted = "\"";
    for (const char c : argument) {
        if (cEscapedInQuotes.find(c) != std::string_view::npos)
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// The escapes of a desktop entry's string values.
std::string EscapedValue(std::string_view value) {
    std::string escaped;
    for (const char c : value) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string UnescapedValue(std::string_view value) {
    std::string plain;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            plain += value[i];
            continue;
        }
        const char next = value[++i];
        plain += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
    }
    return plain;
}

std::string Percents(std::string_view value) {
    std::string doubled;
    for (const char c : value)
        doubled += c == '%' ? "%%" : std::string(1, c);
    return doubled;
}

} // namespace

std::string ExecValue(const std::string& exePath) {
    return EscapedValue(Percents(QuotedArgument(exePath))) + " %u";
}

std::string FormatDesktopEntry(const TPlayerDesktopEntry& entry) {
    std::string text = "[Desktop Entry]\nType=Application\nName=VSR Player\n";
    if (!entry.Comment.empty())
        text += "Comment=" + EscapedValue(entry.Comment) + "\n";
    if (!entry.IconPath.empty())
        text += "Icon=" + EscapedValue(entry.IconPath) + "\n";
    text += "Exec=" + ExecValue(entry.ExePath) + "\n";
    text += "Terminal=false\nNoDisplay=true\nMimeType=";
    for (const std::string& mimeType : entry.MimeTypes)
        text += mimeType + ";";
    return text + "\n";
}

TPlayerDesktopEntry ParseDesktopEntry(const std::string& text) {
    TPlayerDesktopEntry entry;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("Comment="))
            entry.Comment = UnescapedValue(std::string_view(line).substr(8));
        if (!line.starts_with("MimeType="))
            continue;
        std::istringstream types(line.substr(9));
        for (std::string type; std::getline(types, type, ';');)
            if (!type.empty())
                entry.MimeTypes.push_back(type);
    }
    return entry;
}

} // namespace vsr
