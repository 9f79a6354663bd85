#include "export/ExportLibraries.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace vsr {

std::vector<TLibraryVersion> ExportLibraryVersions() {
    return {{"FFmpeg", av_version_info()}};
}

} // namespace vsr
