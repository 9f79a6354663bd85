#pragma once
// The picture class for a picture type code of the overlay block.

#include "recording/Picture.h"

#include <cstdint>
#include <memory>

namespace vsr {

// 1 bitmap, 2 JPEG, 3 GIF; nullptr for any other code.
std::unique_ptr<TPicture> CreatePicture(std::uint8_t typeCode);

} // namespace vsr
