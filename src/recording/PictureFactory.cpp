#include "recording/PictureFactory.h"

#include "recording/BitmapPicture.h"
#include "recording/GifPicture.h"
#include "recording/JpegPicture.h"
#include "recording/VSRRecords.h"

namespace vsr {

std::unique_ptr<TPicture> CreatePicture(std::uint8_t typeCode) {
    switch (static_cast<TOverlayPictureType>(typeCode)) {
    case TOverlayPictureType::Bitmap:
        return std::make_unique<TBitmapPicture>();
    case TOverlayPictureType::Jpeg:
        return std::make_unique<TJpegPicture>();
    case TOverlayPictureType::Gif:
        return std::make_unique<TGifPicture>();
    case TOverlayPictureType::None:
        break;
    }
    return nullptr;
}

} // namespace vsr
