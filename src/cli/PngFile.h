#pragma once
// PNG output of the `vsr` tool, through libpng: 8-bit RGB, no alpha.

#include "render/Pixels32.h"

#include <string>

namespace vsr::cli {

// Writes picture (0x..RRGGBB pixels, the top byte ignored) to fileName, replacing it.
// Raises vsr::Exception with libpng's reason when the file cannot be written.
void WritePngFile(const std::string& fileName, const TConstPixels32& picture);

} // namespace vsr::cli
