#pragma once
// The demo's header picture (shown again as trailer) and its closing link.

#include "recording/ScreenRecorderFileWriter.h"

#include <string_view>

namespace vsr::cli::demo {

inline constexpr std::string_view DemoLink = "https://example.com/vsr-player";

TRecordingOverlay DemoOverlay();

// A 24-bit bottom-up Windows bitmap file of picture.
std::vector<std::byte> BitmapFileOf(const TScreenPicture& picture);

} // namespace vsr::cli::demo
