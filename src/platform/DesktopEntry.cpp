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

// The first argument of an Exec value, its quoting and "%%" undone.
std::string ExecProgram(std::string_view value) {
    const std::string plain = UnescapedValue(value);
    std::string program;
    const bool quoted = plain.starts_with('"');
    for (std::size_t i = quoted ? 1 : 0; i < plain.size(); ++i) {
        const char c = plain[i];
        if (quoted ? c == '"' : c == ' ')
            break;
        if ((quoted && c == '\\') || (c == '%' && i + 1 < plain.size() && plain[i + 1] == '%'))
            ++i;
        if (i < plain.size())
            program += plain[i];
    }
    return program;
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
        if (line.starts_with("Exec="))
            entry.ExePath = ExecProgram(std::string_view(line).substr(5));
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
