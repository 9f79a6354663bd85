// Export to ordinary video: each format written and read back with the FFmpeg libraries (size,
// length, frames, pictures against the composed ones, the voice where it was recorded and in
// step with the pictures), the part between two times, refusals before any work, and no file
// left behind by a cancelled export.
#include "audio/SndKitLibrary.h"
#include "export/VideoExport.h"
#include "render/Snapshot.h"
#include "support/ErrorOf.h"
#include "support/Recordings.h"
#include "support/TempDir.h"
#include "support/Voice.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace vsr::test {
namespace {

// A video file decoded whole: pictures as 0xRRGGBB, the sound as mono floats.
struct TDecoded {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    double Duration = 0;
    std::vector<std::pair<double, TScreenPicture>> Frames; // time in seconds
    int Rate = 0;
    std::vector<float> Samples;

    const TScreenPicture& FrameAt(double time) const {
        auto shown = Frames.begin();
        for (auto frame = Frames.begin(); frame != Frames.end() && frame->first <= time; ++frame)
            shown = frame;
        return shown->second;
    }
    double Rms(double from, double to) const {
        double sum = 0;
        const auto first = static_cast<std::size_t>(from * Rate);
        const auto last = std::min(Samples.size(), static_cast<std::size_t>(to * Rate));
        for (std::size_t i = first; i < last; ++i)
            sum += double{Samples[i]} * Samples[i];
        return last > first ? std::sqrt(sum / static_cast<double>(last - first)) : 0;
    }
};

TDecoded Decode(const std::string& fileName) {
    TDecoded decoded;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, fileName.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("cannot open " + fileName);
    avformat_find_stream_info(input, nullptr);
    decoded.Duration = static_cast<double>(input->duration) / AV_TIME_BASE;
    std::vector<AVCodecContext*> codecs(input->nb_streams);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodec* codec = avcodec_find_decoder(input->streams[i]->codecpar->codec_id);
        codecs[i] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(codecs[i], input->streams[i]->codecpar);
        avcodec_open2(codecs[i], codec, nullptr);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto take = [&](unsigned index) {
        const AVStream& stream = *input->streams[index];
        while (avcodec_receive_frame(codecs[index], frame) == 0) {
            if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                decoded.Width = frame->width;
                decoded.Height = frame->height;
                TScreenPicture picture(frame->width, frame->height);
                SwsContext* rgb = sws_getContext(
                    frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                    frame->width, frame->height, AV_PIX_FMT_BGRA,
                    SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
                auto* out = reinterpret_cast<std::uint8_t*>(picture.Pixels.data());
                const int stride = frame->width * 4;
                sws_scale(rgb, frame->data, frame->linesize, 0, frame->height, &out, &stride);
                sws_freeContext(rgb);
                for (std::uint32_t& pixel : picture.Pixels)
                    pixel &= 0xFFFFFFu;
                decoded.Frames.emplace_back(static_cast<double>(frame->best_effort_timestamp) *
                                                av_q2d(stream.time_base),
                                            std::move(picture));
            } else { // mono: one plane of floats (AAC, Opus) or 16-bit samples (FLAC)
                decoded.Rate = frame->sample_rate;
                for (int i = 0; i < frame->nb_samples; ++i)
                    decoded.Samples.push_back(
                        frame->format == AV_SAMPLE_FMT_S16
                            ? reinterpret_cast<const std::int16_t*>(frame->data[0])[i] / 32768.0f
                            : reinterpret_cast<const float*>(frame->data[0])[i]);
            }
        }
    };
    while (av_read_frame(input, packet) >= 0) {
        avcodec_send_packet(codecs[static_cast<unsigned>(packet->stream_index)], packet);
        take(static_cast<unsigned>(packet->stream_index));
        av_packet_unref(packet);
    }
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        avcodec_send_packet(codecs[i], nullptr);
        take(i);
        avcodec_free_context(&codecs[i]);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&input);
    return decoded;
}

// Over the expected picture's area: a padded one's edge is left out.
double Psnr(const TScreenPicture& expected, const TScreenPicture& got) {
    double squares = 0;
    for (std::int32_t y = 0; y < expected.Height; ++y)
        for (std::int32_t x = 0; x < expected.Width; ++x)
            for (const int shift : {0, 8, 16}) {
                const int d = static_cast<int>((expected.At(x, y) >> shift) & 0xFF) -
                              static_cast<int>((got.At(x, y) >> shift) & 0xFF);
                squares += d * d;
            }
    const double mse = squares / (3.0 * expected.Width * expected.Height);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

constexpr std::int32_t cWidth = 97, cHeight = 61;             // odd: 4:2:0 formats pad them
constexpr std::uint32_t cGround = 0xE8ECE4, cText = 0x282020; // a light ground, dark text

class Export : public ::testing::Test {
protected:
    // A smooth picture, at 1500 ms a light one with a dark block and the voice's onset after
    // silence, at 2000 ms a blue block in the corner; the pointer moves. Three seconds.
    void SetUp() override {
        SndKitLibrary().SetFileName(VSR_SNDKIT_PATH);
        TRecordingContent content{cWidth, cHeight, {}, {}, {}, {}};
        const TScreenPicture page =
            WithRect(TScreenPicture(cWidth, cHeight, cGround), 40, 20, 30, 20, cText);
        content.Pictures = {{0, SmoothPicture(cWidth, cHeight)},
                            {1500, page},
                            {2000, WithRect(page, 84, 44, 13, 17, 0x2040E0)}}; // at the edge
        content.Cursors = {{1, 10, 10}, {800, 60, 30}};
        content.SoundTrack = VoiceTrack(Joined({Silence(1500), Tone(1500)}));
        TRecordingOptions options;
        options.BitDepth = TTileBitDepth::Bits32;
        options.Duration = 3000;
        WriteRecordingFile(Recording(), content, options);
    }
    std::string Recording() const { return FDir.File("r.vsr"); }
    // What the player shows at ms, with the pointer or without.
    TScreenPicture Composed(std::uint32_t ms, bool cursor) const {
        TScreenRecorderPlaybackFile reader(Recording());
        TBitmap32 bitmap;
        PrepareBitmap(bitmap, cWidth, cHeight);
        ComposeAt(reader, ms, bitmap);
        if (cursor)
            DrawRecordedCursor(bitmap, CursorPosAt(reader.Cursors(), ms));
        TScreenPicture picture(cWidth, cHeight);
        for (std::size_t i = 0; i < picture.Pixels.size(); ++i)
            picture.Pixels[i] = bitmap.Pixels()[i] & 0xFFFFFFu;
        return picture;
    }
    std::size_t FilesInFolder() const {
        const auto all = std::filesystem::directory_iterator(FDir.Path());
        return static_cast<std::size_t>(std::distance(begin(all), end(all)));
    }

    TTempDir FDir;
};

TEST_F(Export, EachFormatHoldsThePicturesAndTheVoiceInStep) {
    struct TCase {
        std::string Name;
        TExportOptions Options;
        std::int32_t Width, Height; // as decoded
        bool Voice;
        double MinPsnr; // 99: exact
    };
    TExportOptions gif; // from the change on: solid colours only, without the pointer
    gif.From = 1500;
    gif.Cursor = false;
    TExportOptions video;
    video.Fps = 25;
    const TCase cases[] = {{"a.mp4", video, 98, 62, true, 38},
                           {"a.webm", video, 98, 62, true, 38},
                           {"a.mkv", video, 98, 62, true, 38},
                           {"a.gif", gif, 97, 61, false, 99}};
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        const std::string output = FDir.File(test.Name);
        TVideoExport exporter(Recording(), output, test.Options);
        std::int64_t reported = 0;
        exporter.Run([&](std::int64_t done, std::int64_t) { reported = done; }, false);
        const TDecoded decoded = Decode(output);
        const std::uint32_t from = test.Options.From.value_or(0);
        const double length = (3000.0 - from) / 1000, frame = 1.0 / test.Options.Fps;
        EXPECT_EQ(std::tuple(decoded.Width, decoded.Height, decoded.Frames.size(), reported),
                  std::tuple(test.Width, test.Height, std::size_t(length * test.Options.Fps),
                             exporter.Plan().Frames));
        EXPECT_NEAR(decoded.Duration, length, frame);
        for (const double at : {0.05, 1.3, 2.2}) {
            const auto ms = static_cast<std::uint32_t>(from + at * 1000);
            EXPECT_GE(Psnr(Composed(ms, test.Options.Cursor), decoded.FrameAt(at)), test.MinPsnr)
                << "at " << ms << " ms";
        }
        if (!test.Voice) {
            EXPECT_TRUE(decoded.Samples.empty());
            continue;
        }
        EXPECT_LT(decoded.Rms(0.1, 1.4), 0.01);
        EXPECT_GT(decoded.Rms(1.6, 2.9), 0.05);
        // The picture change and the voice's onset, both at 1500 ms, within a frame.
        const auto changed = std::ranges::find_if(decoded.Frames, [](const auto& shown) {
            const TScreenPicture ground(1, 1, cGround), pixel(1, 1, shown.second.At(2, 2));
            return MaxChannelDifference(ground, pixel) < 16;
        });
        const auto onset = std::ranges::find_if(
            decoded.Samples, [](float sample) { return std::abs(sample) > 0.05; });
        ASSERT_TRUE(changed != decoded.Frames.end() && onset != decoded.Samples.end());
        const double heard = static_cast<double>(onset - decoded.Samples.begin()) / decoded.Rate;
        EXPECT_LE(std::abs(changed->first - heard), 0.04) << changed->first << " " << heard;
    }
}

// The part starts with the picture at --from exactly; a narrower width scales the picture.
TEST_F(Export, APartStartsWithThePictureAtItsStartAndAWidthScales) {
    TExportOptions options;
    options.From = 1200;
    options.To = 2400;
    options.Width = 48;
    TVideoExport exporter(Recording(), FDir.File("part.mp4"), options);
    exporter.Run({}, false);
    const TDecoded decoded = Decode(FDir.File("part.mp4"));
    EXPECT_EQ(std::tuple(decoded.Width, decoded.Height, decoded.Frames.size()),
              std::tuple(48, 30, std::size_t(12))); // 61 * 48 / 97 = 30.2
    EXPECT_NEAR(decoded.Duration, 1.2, 0.1);
    options.Width.reset();
    TVideoExport whole(Recording(), FDir.File("part.mkv"), options);
    whole.Run({}, false);
    EXPECT_GE(Psnr(Composed(1200, true), Decode(FDir.File("part.mkv")).Frames[0].second), 38);
}

// Refused before anything is written; a cancelled export leaves nothing in the folder.
TEST_F(Export, RefusalsComeFirstAndACancelledExportLeavesNothing) {
    const auto options = [](auto change) {
        TExportOptions options;
        change(options);
        return options;
    };
    const auto none = [](TExportOptions&) {};
    const std::tuple<std::string, TExportOptions, std::string> cases[] = {
        {"a.avi", options(none), "the name must end in .mp4, .webm, .gif or .mkv"},
        {"a", options(none), "the name must end in"},
        {"a.mp4", options([](auto& o) { o.Fps = 61; }), "--fps must lie between 1 and 60, not 61"},
        {"a.mp4", options([](auto& o) { o.Quality = 0; }), "--quality must lie between 1 and 100"},
        {"a.mp4", options([](auto& o) { o.Width = 8; }), "--width must lie between 16 and"},
        {"a.mp4", options([](auto& o) { o.From = 3000; }), "Nothing to export"},
        {"a.mp4", options([](auto& o) { o.From = 2000, o.To = 1000; }), "Nothing to export"}};
    const std::size_t before = FilesInFolder();
    for (const auto& [name, refused, message] : cases)
        EXPECT_NE(
            ErrorOf([&] { TVideoExport(Recording(), FDir.File(name), refused); }).find(message),
            std::string::npos)
            << name;
    std::atomic<bool> cancel = false;
    TVideoExport exporter(Recording(), FDir.File("c.webm"), {});
    EXPECT_EQ(ErrorOf([&] {
                  exporter.Run([&](std::int64_t done, std::int64_t) { cancel = done == 3; },
                               cancel);
              }),
              "The export was cancelled");
    EXPECT_EQ(FilesInFolder(), before);
}

} // namespace
} // namespace vsr::test
