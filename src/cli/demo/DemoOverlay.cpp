#include "cli/demo/DemoOverlay.h"

#include "cli/demo/DemoFont.h"

namespace vsr::cli::demo {

namespace {

constexpr std::int32_t cWidth = 640;
constexpr std::int32_t cHeight = 360;

void Put(std::vector<std::byte>& bytes, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<std::byte>(value >> (8 * i)));
}

void Centred(TScreenPicture& picture, std::int32_t y, std::string_view text, std::int32_t scale,
             std::uint32_t colour) {
    DrawText(picture, (picture.Width - TextWidth(text, scale)) / 2, y, text, scale, colour);
}

TScreenPicture TitleCard() {
    TScreenPicture picture(cWidth, cHeight, 0x15324Au);
    FillRect(picture, 0, 0, cWidth, 8, 0xF2C14Eu);
    FillRect(picture, 0, cHeight - 8, cWidth, 8, 0xF2C14Eu);
    Centred(picture, 80, "VSR PLAYER", 8, 0xFFFFFFu);
    Centred(picture, 170, "DEMO RECORDING", 4, 0xF2C14Eu);
    Centred(picture, 250, "EXAMPLE.COM/VSR-PLAYER", 2, 0xB0C4DEu);
    return picture;
}

} // namespace

std::vector<std::byte> BitmapFileOf(const TScreenPicture& picture) {
    const auto rowBytes = static_cast<std::uint32_t>((picture.Width * 3 + 3) / 4 * 4);
    const std::uint32_t dataBytes = rowBytes * static_cast<std::uint32_t>(picture.Height);
    std::vector<std::byte> bytes{std::byte{'B'}, std::byte{'M'}};
    Put(bytes, 54 + dataBytes, 4);
    Put(bytes, 0, 4);
    Put(bytes, 54, 4);
    Put(bytes, 40, 4);
    Put(bytes, static_cast<std::uint32_t>(picture.Width), 4);
    Put(bytes, static_cast<std::uint32_t>(picture.Height), 4);
    Put(bytes, 1, 2);
    Put(bytes, 24, 2);
    for (int field = 0; field < 6; ++field) // no compression, sizes and colours left out
        Put(bytes, field == 1 ? dataBytes : 0, 4);
    for (std::int32_t y = picture.Height - 1; y >= 0; --y) {
        for (std::int32_t x = 0; x < picture.Width; ++x)
            Put(bytes, picture.At(x, y), 3); // B, G, R
        bytes.resize(bytes.size() + rowBytes - static_cast<std::uint32_t>(picture.Width) * 3);
    }
    return bytes;
}

TRecordingOverlay DemoOverlay() {
    TRecordingOverlay overlay;
    overlay.HeaderPicture = {TOverlayPictureType::Bitmap, BitmapFileOf(TitleCard())};
    overlay.HeaderDelaySeconds = 3;
    overlay.TrailerDelaySeconds = 3;
    overlay.Link = std::string(DemoLink);
    return overlay;
}

} // namespace vsr::cli::demo
