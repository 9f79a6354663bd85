#include "export/ExportFormat.h"

#include "shell/Format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

namespace vsr {

namespace {

struct TKnownFormat {
    std::string_view Extension;
    TExportFormat Format;
};

constexpr std::array cFormats{
    TKnownFormat{".mp4", {TExportContainer::Mp4, "mp4", "libx264", "aac"}},
    TKnownFormat{".webm", {TExportContainer::WebM, "webm", "libvpx-vp9", "libopus"}},
    TKnownFormat{".gif", {TExportContainer::Gif, "gif", "gif", ""}},
    TKnownFormat{".mkv", {TExportContainer::Mkv, "matroska", "libx264", "flac"}},
};

} // namespace

std::optional<TExportFormat> FindExportFormat(const std::string& fileName) {
    std::string extension = std::filesystem::path(fileName).extension().string();
    std::ranges::transform(extension, extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const TKnownFormat& known : cFormats)
        if (known.Extension == extension)
            return known.Format;
    return std::nullopt;
}

TExportFormat ExportFormatFor(const std::string& fileName) {
    if (const std::optional<TExportFormat> format = FindExportFormat(fileName))
        return *format;
    throw EExport(Format("Cannot export to \"%s\": the name must end in .mp4, .webm, .gif or .mkv",
                         fileName));
}

} // namespace vsr
