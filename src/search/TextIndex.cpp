#include "search/TextIndex.h"

#include "platform/Stream.h"
#include "platform/TextFiles.h"

#include <zlib.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <vector>

namespace vsr {

namespace {

std::uint32_t Crc(std::uint32_t crc, std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32_z(crc, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

std::string Hex(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string Numbers(std::initializer_list<std::int64_t> values) {
    std::string text;
    for (const std::int64_t value : values)
        text += std::to_string(value) + " ";
    return text;
}

// Reads "key value..." lines and whole numbers, failing on anything else.
class TLines {
public:
    explicit TLines(std::string_view text) : FText(text) {}

    bool Next(std::string_view& line) {
        const auto end = FText.find('\n', FAt);
        if (end == std::string_view::npos)
            return false;
        line = FText.substr(FAt, end - FAt);
        FAt = end + 1;
        return true;
    }
    // The line "key rest"; false when the next line has another key.
    bool Keyed(std::string_view key, std::string_view& rest) {
        std::string_view line;
        if (!Next(line) || !line.starts_with(key) || line.size() <= key.size() ||
            line[key.size()] != ' ')
            return false;
        rest = line.substr(key.size() + 1);
        return true;
    }
    std::size_t At() const { return FAt; }

private:
    std::string_view FText;
    std::size_t FAt = 0;
};

template <typename T> bool Number(std::string_view& text, T& value, int base = 10) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end == text.data())
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    if (!text.empty()) {
        if (text.front() != ' ')
            return false;
        text.remove_prefix(1);
    }
    return true;
}

} // namespace

std::string VisibleText(std::string_view text) {
    std::string visible;
    for (const char c : text)
        if (static_cast<unsigned char>(c) > ' ' && c != 0x7F)
            visible += c;
    return visible;
}

std::string FormatTextIndex(const TTextIndex& index) {
    std::string text = std::string(TextIndexMagic) + "\n";
    text += "recording " + std::to_string(index.Recording.Size) + " " +
            Hex(index.Recording.Checksum) + "\n";
    text += "interval " + std::to_string(index.IntervalMs) + "\n";
    text += "languages " + VisibleText(index.Languages) + "\n";
    text += "words " + std::to_string(index.Words.size()) + "\n";
    for (const TIndexedWord& word : index.Words)
        text += Numbers({word.From, word.To, word.Box.Left, word.Box.Top, word.Box.Width(),
                         word.Box.Height()}) +
                VisibleText(word.Text) + "\n";
    return text + "end " + Hex(Crc(0, text)) + "\n";
}

std::optional<TTextIndex> ParseTextIndex(std::string_view text) {
    TLines lines(text);
    std::string_view line;
    TTextIndex index;
    std::size_t count = 0;
    if (!lines.Next(line) || line != TextIndexMagic)
        return std::nullopt;
    if (!lines.Keyed("recording", line) || !Number(line, index.Recording.Size) ||
        !Number(line, index.Recording.Checksum, 16) || !line.empty())
        return std::nullopt;
    if (!lines.Keyed("interval", line) || !Number(line, index.IntervalMs) || !line.empty())
        return std::nullopt;
    if (!lines.Keyed("languages", line))
        return std::nullopt;
    index.Languages = line;
    if (!lines.Keyed("words", line) || !Number(line, count) || !line.empty() ||
        count > text.size() / 12)
        return std::nullopt;
    index.Words.resize(count);
    for (TIndexedWord& word : index.Words) {
        std::int32_t width = 0, height = 0;
        if (!lines.Next(line) || !Number(line, word.From) || !Number(line, word.To) ||
            !Number(line, word.Box.Left) || !Number(line, word.Box.Top) || !Number(line, width) ||
            !Number(line, height) || line.empty() || width <= 0 || height <= 0 ||
            word.To < word.From)
            return std::nullopt;
        word.Box.Right = word.Box.Left + width;
        word.Box.Bottom = word.Box.Top + height;
        word.Text = line;
    }
    const std::size_t body = lines.At();
    std::uint32_t checksum = 0;
    if (!lines.Keyed("end", line) || line.size() != 8 || !Number(line, checksum, 16) ||
        checksum != Crc(0, text.substr(0, body)) || lines.At() != text.size())
        return std::nullopt;
    return index;
}

TRecordingIdentity IdentifyRecording(const std::string& fileName) {
    TFileStream file(fileName, TFileMode::OpenRead);
    TRecordingIdentity identity;
    std::vector<std::byte> buffer(1 << 20);
    std::uint32_t crc = 0;
    while (const std::size_t read = file.Read(buffer)) {
        crc = Crc(crc, {reinterpret_cast<const char*>(buffer.data()), read});
        identity.Size += read;
    }
    identity.Checksum = crc;
    return identity;
}

std::string IndexFileBeside(const std::string& recording) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(recording, error);
    return (error ? recording : absolute.string()) + ".vsrx";
}

std::string CachedIndexFile(const TRecordingIdentity& identity) {
    std::string folder;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        folder = cache;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        folder = std::string(home) + "/.cache";
    else
        folder = "/tmp";
    return folder + "/vsrplayer/" + std::to_string(identity.Size) + "-" + Hex(identity.Checksum) +
           ".vsrx";
}

std::optional<TTextIndex> ReadTextIndex(const std::string& fileName,
                                        const TRecordingIdentity& identity) {
    try {
        const auto text = ReadTextFile(fileName);
        if (!text)
            return std::nullopt;
        auto index = ParseTextIndex(*text);
        if (!index || index->Recording != identity)
            return std::nullopt;
        return index;
    } catch (const ETextFile&) {
        return std::nullopt;
    }
}

void WriteTextIndex(const std::string& fileName, const TTextIndex& index) {
    try {
        WriteTextFile(fileName, FormatTextIndex(index));
    } catch (const ETextFile& error) {
        throw EIndex(error.Message());
    }
}

} // namespace vsr
