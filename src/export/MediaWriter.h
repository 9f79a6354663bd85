#pragma once
// TMediaWriter: pictures and voice encoded into a video file with the FFmpeg libraries. The
// pictures come at a fixed rate, scaled to the output size (odd sides padded by repeating the
// edge, for 4:2:0 chroma); the voice comes as the player plays it (8000 Hz, mono, 16-bit) and is
// resampled to the encoder's rate. Both start at the file's time 0.
//
// One thread. Without Finish the file is left incomplete (the caller removes it).

#include "export/ExportFormat.h"
#include "render/Bitmap32.h"
#include "render/PictureSequence.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vsr {

struct TMediaSettings {
    TExportFormat Format;
    std::int32_t SourceWidth = 0; // of the pictures handed in
    std::int32_t SourceHeight = 0;
    std::int32_t Width = 0; // of the video's picture, before padding
    std::int32_t Height = 0;
    std::int32_t Fps = 10;
    std::int32_t Quality = 80; // 1 (smallest) to 100 (best)
    bool Voice = true;         // a sound stream, when the format has one
    // GIF: the colours (0xRRGGBB, at most 256) every picture is drawn with, nearest first.
    std::vector<std::uint32_t> Palette;
};

class TMediaWriter {
public:
    // Raises EExport when the file or an encoder cannot be set up.
    TMediaWriter(const std::string& fileName, const TMediaSettings& settings);
    ~TMediaWriter();
    TMediaWriter(const TMediaWriter&) = delete;
    TMediaWriter& operator=(const TMediaWriter&) = delete;

    // The next picture; its size is the settings' source size. Only changed needs converting
    // again: the rest is as in the previous picture.
    void WritePicture(const TBitmap32& picture, const TChangedArea& changed);
    // The next samples of the voice; ignored without a sound stream.
    void WriteVoice(std::span<const std::int16_t> samples);
    // Flushes the encoders and completes the file.
    void Finish();

private:
    struct TState;
    std::unique_ptr<TState> F;
};

} // namespace vsr
