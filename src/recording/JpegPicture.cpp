#include "recording/JpegPicture.h"

#include <array>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <string>
#include <vector>

#include <jpeglib.h>

namespace vsr {

namespace {

// libjpeg ends the process on an error unless error_exit leaves by other means. It is C, so
// the way out is a longjmp back into DecodeJpeg, which then raises. Nothing between the jump
// and its target has a destructor.
struct TJpegErrorManager {
    jpeg_error_mgr Manager{};
    std::jmp_buf Jump{};
    std::array<char, JMSG_LENGTH_MAX> Message{};
};

extern "C" void JpegErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<TJpegErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->Message.data());
    std::longjmp(errors->Jump, 1);
}

// Warnings (for example a missing end marker) are not worth standard error.
extern "C" void JpegOutputMessage(j_common_ptr) {}

struct TDecompressor {
    jpeg_decompress_struct Info{};
    TJpegErrorManager Errors;
    bool Created = false;

    TDecompressor() {
        Info.err = jpeg_std_error(&Errors.Manager);
        Errors.Manager.error_exit = JpegErrorExit;
        Errors.Manager.output_message = JpegOutputMessage;
    }
    ~TDecompressor() {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;
};

[[noreturn]] void Fail(const std::string& reason) {
    throw EPicture("Invalid JPEG picture: " + reason);
}

// The libjpeg calls; false when one of them failed (the reason is in Errors.Message). The
// picture and the row buffer live in the caller, so the jump skips no destructor.
bool DecodeJpeg(TDecompressor& jpeg, std::span<const std::byte> bytes, TScreenPicture& picture,
                std::vector<JSAMPLE>& row) {
    jpeg_decompress_struct& info = jpeg.Info;
    if (setjmp(jpeg.Errors.Jump) != 0)
        return false;
    jpeg.Created = true;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    CheckPictureSize("Invalid JPEG picture", info.image_width, info.image_height);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3)
        Fail("unexpected colour components");
    picture = TScreenPicture(static_cast<std::int32_t>(info.output_width),
                             static_cast<std::int32_t>(info.output_height));
    row.resize(std::size_t{info.output_width} * 3);
    while (info.output_scanline < info.output_height) {
        const auto y = static_cast<std::int32_t>(info.output_scanline);
        JSAMPROW rows[] = {row.data()};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            Fail("no more rows");
        for (std::int32_t x = 0; x < picture.Width; ++x) {
            const JSAMPLE* rgb = row.data() + std::size_t(x) * 3;
            picture.At(x, y) = std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2];
        }
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

std::unique_ptr<TPicture> TJpegPicture::Clone() const {
    return std::make_unique<TJpegPicture>(*this);
}

TScreenPicture TJpegPicture::Decode(std::span<const std::byte> bytes) const {
    if (bytes.empty())
        Fail("no data");
    TDecompressor jpeg;
    TScreenPicture picture;
    std::vector<JSAMPLE> row;
    if (!DecodeJpeg(jpeg, bytes, picture, row))
        Fail(jpeg.Errors.Message.data());
    return picture;
}

} // namespace vsr
