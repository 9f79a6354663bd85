#include "sndkit/FrameCheck.h"

#include <array>
#include <cstddef>

namespace vsr::sndkit {

namespace {

// Bits of a wideband layer by its submode (3 bits); negative: no such submode.
constexpr std::array<int, 8> WidebandLayerBits = {0, 36, 112, 192, 352, -1, -1, -1};
constexpr int WidebandSubmodeBits = 3;
constexpr unsigned Terminator = 15;
constexpr unsigned InbandRequest = 14;
constexpr unsigned UserInband = 13;
constexpr unsigned HighestMode = 8;

// Reads as libspeex's bit buffer does: past the end it overflows, and then yields 0 and has
// no bits remaining.
class TBitReader {
public:
    explicit TBitReader(std::span<const unsigned char> bytes)
        : FBytes(bytes), FSize(bytes.size() * 8) {}

    long Remaining() const { return FOverflow ? -1 : static_cast<long>(FSize - FPos); }

    unsigned Read(int count) {
        if (FOverflow || FPos + static_cast<std::size_t>(count) > FSize) {
            FOverflow = true;
            return 0;
        }
        unsigned value = 0;
        for (int i = 0; i < count; ++i, ++FPos)
            value = (value << 1) | ((FBytes[FPos / 8] >> (7 - FPos % 8)) & 1U);
        return value;
    }

    void Skip(int count) {
        if (FOverflow || FPos + static_cast<std::size_t>(count) > FSize)
            FOverflow = true;
        else
            FPos += static_cast<std::size_t>(count);
    }

private:
    std::span<const unsigned char> FBytes;
    std::size_t FSize;
    std::size_t FPos = 0;
    bool FOverflow = false;
};

enum class TLayer { Skipped, Damaged };

TLayer SkipWidebandLayer(TBitReader& bits) {
    const int layerBits = WidebandLayerBits[bits.Read(WidebandSubmodeBits)];
    if (layerBits < 0)
        return TLayer::Damaged;
    bits.Skip(layerBits - (WidebandSubmodeBits + 1));
    return TLayer::Skipped;
}

} // namespace

bool IsDamagedNarrowbandFrame(std::span<const unsigned char> payload) {
    TBitReader bits(payload);
    unsigned mode = 0;
    do {
        if (bits.Remaining() < 5)
            return false; // the decoder ends the frame quietly
        if (bits.Read(1) != 0) {
            if (SkipWidebandLayer(bits) == TLayer::Damaged)
                return true;
            if (bits.Remaining() < 5)
                return false;
            if (bits.Read(1) != 0) {
                if (SkipWidebandLayer(bits) == TLayer::Damaged)
                    return true;
                if (bits.Read(1) != 0)
                    return true; // a third wideband layer
            }
        }
        if (bits.Remaining() < 4)
            return false;
        mode = bits.Read(4);
        if (mode == Terminator)
            return false;
        if (mode == InbandRequest) {
            const unsigned id = bits.Read(4);
            bits.Skip(id < 2 ? 1 : id < 8 ? 4 : id < 10 ? 8 : id < 12 ? 16 : id < 14 ? 32 : 64);
        } else if (mode == UserInband) {
            bits.Skip(5 + 8 * static_cast<int>(bits.Read(4)));
        } else if (mode > HighestMode) {
            return true;
        }
    } while (mode > HighestMode);
    return false;
}

} // namespace vsr::sndkit
