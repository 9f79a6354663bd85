#include "support/Recordings.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "render/CursorPicture.h"
#include "support/Pictures.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <png.h>

namespace vsr {
namespace {

using test::RunProcess;

// A PNG file read back with libpng as opaque 0xAARRGGBB pixels; empty when unreadable.
struct TPngPicture {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<TPixel32> Pixels;
    TConstPixels32 View() const { return PackedPixels(Width, Height, Pixels); }
};

TPngPicture ReadPng(const std::string& fileName) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const bool rgbFile =
        png_image_begin_read_from_file(&image, fileName.c_str()) && image.format == PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(rgbFile ? PNG_IMAGE_SIZE(image) : 0);
    if (!rgbFile || !png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << fileName << " is no plain 8-bit RGB picture: " << image.message;
        return {};
    }
    TPngPicture picture{
        static_cast<std::int32_t>(image.width), static_cast<std::int32_t>(image.height), {}};
    for (std::size_t i = 0; i < rgb.size(); i += 3)
        picture.Pixels.push_back(0xFF000000u | rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
    return picture;
}

class SnapshotCommand : public ::testing::Test {
protected:
    test::TTempDir FDir;
    std::vector<TTimedPicture> FPictures;

    std::string Recording() const { return FDir.File("in.vsr"); }
    std::string Png() const { return FDir.File("out.png"); }

    // 300 x 70 at 16 bits; key frames at 0 and 1500, changes between them.
    void Write() {
        const TScreenPicture first = test::PatternPicture(300, 70, 1);
        const TScreenPicture second = test::WithRect(first, 10, 10, 20, 5, 0xFF0000);
        FPictures = {{0, first},
                     {500, second},
                     {900, test::WithRect(second, 260, 40, 30, 20, 0x00FF00)},
                     {1500, test::PatternPicture(300, 70, 5)}};
        TRecordingOptions options;
        options.KeyFrameInterval = 1000;
        WriteRecordingFile(Recording(),
                           {300,
                            70,
                            FPictures,
                            {{0, 12, 34}, {700, 56, 7}, {1600, 290, 60}},
                            test::Bytes(16, 2),
                            {}},
                           options);
    }

    TScreenPicture ExpectedAt(std::uint32_t time) const {
        TScreenPicture expected;
        for (const TTimedPicture& picture : FPictures)
            if (picture.Time <= time)
                expected = picture.Picture;
        return test::Expanded555(expected);
    }

    test::TProcessResult Snapshot(std::uint32_t time, bool cursor = false) {
        std::vector<std::string> args = {"snapshot",           Recording(), "--at",
                                         std::to_string(time), "-o",        Png()};
        if (cursor)
            args.push_back("--cursor");
        return RunProcess(VSR_TOOL_PATH, args);
    }
};

// The expected picture with the cursor picture's opaque pixels at (x, y), clipped.
TScreenPicture WithCursor(TScreenPicture picture, std::int32_t x, std::int32_t y) {
    const TCursorPicture& cursor = TCursorPicture::Instance();
    for (std::int32_t row = 0; row < TCursorPicture::Height; ++row)
        for (std::int32_t column = 0; column < TCursorPicture::Width; ++column)
            if (!cursor.Transparent(column, row) && x + column < picture.Width &&
                y + row < picture.Height)
                picture.At(x + column, y + row) = cursor.View().At(column, row) & 0xFFFFFF;
    return picture;
}

TEST_F(SnapshotCommand, WritesThePictureHeldAtEachTime) {
    Write();
    for (std::uint32_t time : {499u, 900u, 60000u}) {
        const auto result = Snapshot(time);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_TRUE(test::SamePicture(ReadPng(Png()).View(), ExpectedAt(time))) << "at " << time;
    }
}

TEST_F(SnapshotCommand, CursorDrawnAtTheNextRecordedPosition) {
    Write();
    // At 600 the next position is (56, 7); after the track's end it stays at (290, 60), where
    // the arrow is cut at the right and bottom edges.
    for (const auto& [time, x, y] : {std::tuple{600u, 56, 7}, {5000u, 290, 60}}) {
        ASSERT_EQ(Snapshot(time, true).ExitCode, 0);
        const TPngPicture png = ReadPng(Png());
        EXPECT_TRUE(test::SamePicture(png.View(), WithCursor(ExpectedAt(time), x, y))) << time;
        EXPECT_EQ(png.View().At(x + 9, y + 3), Black32) << time; // the tip
    }
}

TEST_F(SnapshotCommand, FailuresReportOnStandardErrorAndWrongCommandLinesAreRefused) {
    Write();
    test::WriteFileBytes(FDir.File("junk.vsr"), test::Bytes(200, 7));
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{FDir.File("missing.vsr"), Png()}, "missing.vsr"},
        {{FDir.File("junk.vsr"), Png()}, "Invalid Screen Recorder File"},
        {{Recording(), FDir.File("no/such/folder.png")}, "folder.png"}};
    for (const auto& [files, message] : failures) {
        const auto result =
            RunProcess(VSR_TOOL_PATH, {"snapshot", files[0], "--at", "0", "-o", files[1]});
        EXPECT_EQ(result.ExitCode, 1) << message;
        EXPECT_NE(result.Err.find(message), std::string::npos) << result.Err;
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"snapshot", Recording(), "-o", Png()},
          {"snapshot", Recording(), "--at", "12x", "-o", Png()},
          {"snapshot", Recording(), "--at", "4294967296", "-o", Png()},
          {"snapshot", "--at", "5", "-o", Png()}}) {
        const auto result = RunProcess(VSR_TOOL_PATH, args);
        EXPECT_EQ(result.ExitCode, 2) << args[2] << " " << args.back();
        EXPECT_NE(result.Err.find("usage"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(Png()));
}

} // namespace
} // namespace vsr
