#pragma once
// The video libraries the export runs on, with their versions.

#include "app/About.h"

#include <vector>

namespace vsr {

std::vector<TLibraryVersion> ExportLibraryVersions();

} // namespace vsr
