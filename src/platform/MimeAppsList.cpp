#include "platform/MimeAppsList.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace vsr {

namespace {

constexpr std::string_view cSection = "[Default Applications]";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

struct TSectionPlace {
    std::optional<std::size_t> Header;
    std::size_t End = 0; // one past its last non-blank line
    std::optional<std::size_t> Line;
};

TSectionPlace FindLine(const std::vector<std::string>& lines, std::string_view mimeType) {
    TSectionPlace place;
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        if (line.starts_with('[')) {
            inside = line == cSection && !place.Header;
            if (inside)
                place.Header = place.End = i + 1;
        } else if (inside && !line.empty()) {
            place.End = i + 1;
            const auto equals = line.find('=');
            if (equals != std::string_view::npos && Trim(line.substr(0, equals)) == mimeType)
                place.Line = i;
        }
    }
    return place;
}

std::vector<std::string> Handlers(std::string_view line) {
    std::vector<std::string> handlers;
    std::string_view list = Trim(line.substr(line.find('=') + 1));
    while (!list.empty()) {
        const auto end = list.find(';');
        if (const auto item = Trim(list.substr(0, end)); !item.empty())
            handlers.emplace_back(item);
        list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);
    }
    return handlers;
}

std::string HandlerLine(std::string_view mimeType, const std::vector<std::string>& handlers) {
    std::string line = std::string(mimeType) + "=";
    for (const std::string& handler : handlers)
        line += handler + ";";
    return line;
}

} // namespace

std::string WithDefaultHandler(std::string_view text, std::string_view mimeType,
                               std::string_view desktopId) {
    std::vector<std::string> lines = SplitLines(text);
    const TSectionPlace place = FindLine(lines, mimeType);
    std::vector<std::string> handlers{std::string(desktopId)};
    if (place.Line) {
        for (std::string& handler : Handlers(lines[*place.Line]))
            if (handler != desktopId)
                handlers.push_back(std::move(handler));
        lines[*place.Line] = HandlerLine(mimeType, handlers);
    } else if (place.Header) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.End),
                     HandlerLine(mimeType, handlers));
    } else {
        if (!lines.empty() && !Trim(lines.back()).empty())
            lines.emplace_back();
        lines.emplace_back(cSection);
        lines.push_back(HandlerLine(mimeType, handlers));
    }
    return JoinLines(lines);
}

std::string WithoutDefaultHandler(std::string_view text, std::string_view mimeType,
                                  std::string_view desktopId) {
    std::vector<std::string> lines = SplitLines(text);
    const TSectionPlace place = FindLine(lines, mimeType);
    if (!place.Line)
        return std::string(text);
    std::vector<std::string> handlers = Handlers(lines[*place.Line]);
    const auto ours = std::remove(handlers.begin(), handlers.end(), desktopId);
    if (ours == handlers.end())
        return std::string(text);
    handlers.erase(ours, handlers.end());
    if (handlers.empty())
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*place.Line));
    else
        lines[*place.Line] = HandlerLine(mimeType, handlers);
    return JoinLines(lines);
}

bool IsEmptyMimeAppsList(std::string_view text) {
    return std::ranges::all_of(SplitLines(text), [](const std::string& line) {
        const std::string_view trimmed = Trim(line);
        return trimmed.empty() || trimmed == cSection;
    });
}

} // namespace vsr
