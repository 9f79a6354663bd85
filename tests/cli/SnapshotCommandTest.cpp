#include "recording/RecordingTestSupport.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "render/CursorPicture.h"
#include "render/RenderTestSupport.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <png.h>

namespace vsr {
namespace {

using test::RunProcess;

// A PNG file read back with libpng; Width 0 when it is no 8-bit RGB picture.
struct TPngPicture {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<TPixel32> Pixels;
    TConstPixels32 View() const { return PackedPixels(Width, Height, Pixels); }
};

TPngPicture ReadPng(const std::string& fileName) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, fileName.c_str())) {
        ADD_FAILURE() << fileName << ": " << image.message;
        return {};
    }
    EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_RGB)) << "not plain 8-bit RGB";
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << fileName << ": " << image.message;
        return {};
    }
    TPngPicture picture;
    picture.Width = static_cast<std::int32_t>(image.width);
    picture.Height = static_cast<std::int32_t>(image.height);
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
        TRecordingContent content;
        content.Width = 300;
        content.Height = 70;
        content.Pictures = FPictures;
        content.Cursors = {{0, 12, 34}, {700, 56, 7}, {1600, 290, 60}};
        content.SoundTrack = test::Bytes(16, 2);
        TRecordingOptions options;
        options.KeyFrameInterval = 1000;
        WriteRecordingFile(Recording(), content, options);
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
    for (std::uint32_t time : {0u, 499u, 500u, 899u, 900u, 1499u, 1500u, 60000u}) {
        const auto result = Snapshot(time);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        const TPngPicture png = ReadPng(Png());
        EXPECT_TRUE(test::SamePicture(png.View(), ExpectedAt(time))) << "at " << time;
    }
}

TEST_F(SnapshotCommand, CursorDrawnAtTheNextRecordedPosition) {
    Write();
    ASSERT_EQ(Snapshot(600, true).ExitCode, 0);
    TPngPicture png = ReadPng(Png());
    EXPECT_TRUE(test::SamePicture(png.View(), WithCursor(ExpectedAt(600), 56, 7)));
    EXPECT_EQ(png.View().At(56 + 9, 7 + 3), Black32); // the arrow's tip

    // Next position (290, 60): the arrow is cut at the right and bottom edges.
    ASSERT_EQ(Snapshot(1000, true).ExitCode, 0);
    png = ReadPng(Png());
    EXPECT_TRUE(test::SamePicture(png.View(), WithCursor(ExpectedAt(1000), 290, 60)));
    EXPECT_EQ(png.View().At(299, 63), Black32);
}

TEST_F(SnapshotCommand, CursorStaysAtTheLastPositionAfterTheTrack) {
    Write();
    ASSERT_EQ(Snapshot(5000, true).ExitCode, 0);
    EXPECT_TRUE(test::SamePicture(ReadPng(Png()).View(), WithCursor(ExpectedAt(5000), 290, 60)));
}

TEST_F(SnapshotCommand, FailuresReportOnStandardError) {
    Write();
    auto result =
        RunProcess(VSR_TOOL_PATH, {"snapshot", FDir.File("missing.vsr"), "--at", "0", "-o", Png()});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("missing.vsr"), std::string::npos) << result.Err;

    test::WriteFileBytes(FDir.File("junk.vsr"), test::Bytes(200, 7));
    result =
        RunProcess(VSR_TOOL_PATH, {"snapshot", FDir.File("junk.vsr"), "--at", "0", "-o", Png()});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("Invalid Screen Recorder File"), std::string::npos) << result.Err;

    result = RunProcess(VSR_TOOL_PATH, {"snapshot", Recording(), "--at", "0", "-o",
                                        FDir.File("no/such/folder.png")});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find("folder.png"), std::string::npos) << result.Err;
}

TEST_F(SnapshotCommand, WrongCommandLinesAreRefused) {
    Write();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"snapshot", Recording(), "-o", Png()},
          {"snapshot", Recording(), "--at", "12x", "-o", Png()},
          {"snapshot", Recording(), "--at", "-1", "-o", Png()},
          {"snapshot", Recording(), "--at", "4294967296", "-o", Png()},
          {"snapshot", Recording(), "--at", "5"},
          {"snapshot", "--at", "5", "-o", Png()}}) {
        const auto result = RunProcess(VSR_TOOL_PATH, args);
        EXPECT_EQ(result.ExitCode, 2) << args[2] << " " << args.back();
        EXPECT_NE(result.Err.find("usage"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(Png()));
}

} // namespace
} // namespace vsr
