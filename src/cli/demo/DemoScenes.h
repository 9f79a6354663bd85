#pragma once
// The demo's screen: a synthetic 1024 x 768 desktop on which a notes window is dragged to a
// new place, text is typed into it and it is saved, with the pointer's recorded track.

#include "recording/ScreenRecorderFileWriter.h"

#include <cstdint>
#include <vector>

namespace vsr::cli::demo {

inline constexpr std::int32_t ScreenWidth = 1024;
inline constexpr std::int32_t ScreenHeight = 768;
inline constexpr std::uint32_t LengthMs = 30000;

// The screen at a time; the desktop behind the window is drawn once.
class TDemoScreen {
public:
    TDemoScreen();
    TScreenPicture At(std::uint32_t time) const;

private:
    TScreenPicture FDesktop;
};

// The pointer every stepMs.
std::vector<TCursorEntry> DemoCursorTrack(std::uint32_t stepMs = 50);

} // namespace vsr::cli::demo
