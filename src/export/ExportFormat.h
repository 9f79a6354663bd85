#pragma once
// The kinds of file a recording is exported to, chosen by the output's extension.

#include "shell/Exception.h"

#include <optional>
#include <string>
#include <string_view>

namespace vsr {

class EExport : public Exception {
public:
    using Exception::Exception;
};

enum class TExportContainer { Mp4, WebM, Gif, Mkv };

struct TExportFormat {
    TExportContainer Container = TExportContainer::Mp4;
    std::string_view Muxer;        // libavformat's name of the container
    std::string_view VideoEncoder; // libavcodec's encoder names
    std::string_view AudioEncoder; // empty: no sound
};

// By the extension, without regard to case; none for any other name.
std::optional<TExportFormat> FindExportFormat(const std::string& fileName);
// As FindExportFormat; raises EExport naming the extensions there are.
TExportFormat ExportFormatFor(const std::string& fileName);

} // namespace vsr
