#pragma once
// TBitmap32: the off-screen picture of the recorded screen (the window's FBitmap).
//
// Pixels are 0xFFRRGGBB, rows top-down and tightly packed (stride = Width * 4 bytes), so a
// window paints them through a QImage of Format_RGB32 that wraps Bits() without copying.
//
// Threads: the picture carries its own canvas lock. Whoever draws into it or reads it while
// another thread may draw takes the lock (CanvasLock(), or Lock/Unlock); the drawing functions
// of render/ that are named so take it themselves (BlitTile, DrawCentred). SetSize changes
// the memory itself and is only called while no other thread uses the picture.
// The modified counter may be read from any thread without the lock.

#include "render/Pixels32.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace vsr {

class TBitmap32 {
public:
    // The largest width or height SetSize accepts; larger sizes raise vsr::Exception.
    static constexpr std::int32_t MaxSide = 32768;

    TBitmap32() = default;
    TBitmap32(std::int32_t width, std::int32_t height) { SetSize(width, height); }
    TBitmap32(const TBitmap32&) = delete;
    TBitmap32& operator=(const TBitmap32&) = delete;

    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    std::int32_t StrideBytes() const { return FWidth * 4; }

    // Pixels kept where old and new size overlap; new pixels are black. A width or height of
    // 0 drops the whole content. Raises vsr::Exception for a negative or too large size.
    void SetSize(std::int32_t width, std::int32_t height);
    void Fill(TPixel32 colour);

    TPixel32* Bits() { return FPixels.data(); }
    const TPixel32* Bits() const { return FPixels.data(); }
    std::span<TPixel32> Pixels() { return FPixels; }
    std::span<const TPixel32> Pixels() const { return FPixels; }
    TPixel32* Row(std::int32_t y) { return FPixels.data() + static_cast<std::size_t>(y) * FWidth; }
    TPixel32& At(std::int32_t x, std::int32_t y) { return Row(y)[x]; }
    TPixel32 At(std::int32_t x, std::int32_t y) const {
        return FPixels[static_cast<std::size_t>(y) * FWidth + x];
    }
    TConstPixels32 View() const { return {FWidth, FHeight, FWidth, FPixels.data()}; }

    // The canvas lock.
    void Lock() { FCanvasLock.lock(); }
    void Unlock() { FCanvasLock.unlock(); }
    [[nodiscard]] std::unique_lock<std::mutex> CanvasLock() {
        return std::unique_lock(FCanvasLock);
    }

    // Counts changes of the content, so a painter can tell whether anything was drawn.
    void MarkModified() { FModifiedCount.fetch_add(1, std::memory_order_release); }
    std::uint64_t ModifiedCount() const { return FModifiedCount.load(std::memory_order_acquire); }

private:
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
    std::vector<TPixel32> FPixels;
    std::mutex FCanvasLock;
    std::atomic<std::uint64_t> FModifiedCount{0};
};

// The window's PrepareBitmap: drop the content by going through width 0, take the size and
// fill the picture black.
void PrepareBitmap(TBitmap32& bitmap, std::int32_t width, std::int32_t height);

} // namespace vsr
