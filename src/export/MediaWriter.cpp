#include "export/MediaWriter.h"

#include "export/Palette.h"
#include "export/Yuv420.h"
#include "shell/Format.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <vector>

namespace vsr {

namespace {

constexpr int cVoiceRate = 8000;
constexpr int cOutputRate = 48000;

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

int Check(int code, std::string_view what) {
    if (code < 0)
        throw EExport(Format("%s: %s", what, ErrorText(code)));
    return code;
}

struct TCodecFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TFrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TPacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TSwsFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct TSwrFree {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct TFifoFree {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
// Closes the file it opened, then frees the context with its streams.
struct TFormatFree {
    void operator()(AVFormatContext* context) const {
        if (context->pb)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

using TCodecContext = std::unique_ptr<AVCodecContext, TCodecFree>;
using TFrame = std::unique_ptr<AVFrame, TFrameFree>;

const AVCodec* FindEncoder(std::string_view name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(std::string(name).c_str());
    if (!codec)
        throw EExport(Format("The FFmpeg libraries have no %s encoder", name));
    return codec;
}

TFrame NewFrame() {
    TFrame frame(av_frame_alloc());
    if (!frame)
        throw EExport("Out of memory for a video frame");
    return frame;
}

// Quality 1..100 onto the encoders' constant-quality scales (lower is better there).
int H264Crf(int quality) {
    return static_cast<int>(std::lround(10 + (100 - quality) * 0.4));
}
int Vp9Crf(int quality) {
    return static_cast<int>(std::lround(10 + (100 - quality) * 0.5));
}

// The encoders' own settings: speed first, as an export is often of hours of screen.
AVDictionary* EncoderOptions(const TMediaSettings& settings) {
    AVDictionary* options = nullptr;
    if (settings.Format.VideoEncoder == "libx264") {
        av_dict_set(&options, "preset", "veryfast", 0);
        av_dict_set_int(&options, "crf", H264Crf(settings.Quality), 0);
    } else if (settings.Format.VideoEncoder == "libvpx-vp9") {
        av_dict_set_int(&options, "crf", Vp9Crf(settings.Quality), 0);
        av_dict_set(&options, "b", "0", 0);
        av_dict_set(&options, "deadline", "realtime", 0);
        av_dict_set(&options, "cpu-used", "8", 0);
        av_dict_set(&options, "row-mt", "1", 0);
    }
    return options;
}

} // namespace

struct TMediaWriter::TState {
    TMediaSettings Settings;
    std::unique_ptr<AVFormatContext, TFormatFree> Output;
    TCodecContext Video;
    AVStream* VideoStream = nullptr;
    TFrame Picture;
    std::unique_ptr<SwsContext, TSwsFree> Resizer; // to another size than the recording's
    std::unique_ptr<TPaletteMap> Colours;          // GIF
    TBitmap32 Scaled;                              // the picture resized
    TBitmap32 Padded;                              // odd sides made even with black
    std::int64_t PictureCount = 0;
    TCodecContext Audio;
    AVStream* AudioStream = nullptr;
    std::unique_ptr<SwrContext, TSwrFree> Resampler;
    std::unique_ptr<AVAudioFifo, TFifoFree> Fifo;
    TFrame Sound;
    std::int64_t SamplesWritten = 0;
    std::unique_ptr<AVPacket, TPacketFree> Packet{av_packet_alloc()};

    int FrameSamples() const { return Audio->frame_size > 0 ? Audio->frame_size : 1024; }
    // Room for count samples of the encoder's format (one channel).
    std::vector<std::uint8_t> SampleBuffer(int count) const {
        return std::vector<std::uint8_t>(static_cast<std::size_t>(count) *
                                         av_get_bytes_per_sample(Audio->sample_fmt));
    }
    void OpenVideo();
    void PreparePicture();
    void OpenAudio();
    void Encode(AVCodecContext& codec, AVStream& stream, const AVFrame* frame);
    void EncodeSound(int samples);
};

void TMediaWriter::TState::OpenVideo() {
    const bool gif = Settings.Format.Container == TExportContainer::Gif;
    const AVCodec* codec = FindEncoder(Settings.Format.VideoEncoder);
    Video.reset(avcodec_alloc_context3(codec));
    AVCodecContext& video = *Video;
    // 4:2:0 chroma needs even sides: odd pictures get their edge repeated once.
    video.width = gif ? Settings.Width : (Settings.Width + 1) & ~1;
    video.height = gif ? Settings.Height : (Settings.Height + 1) & ~1;
    video.time_base = {1, Settings.Fps};
    video.framerate = {Settings.Fps, 1};
    video.pix_fmt = gif ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_YUV420P;
    if (!gif) { // what the conversion computes, declared so that players need not guess
        video.colorspace = AVCOL_SPC_SMPTE170M;
        video.color_primaries = AVCOL_PRI_SMPTE170M;
        video.color_trc = AVCOL_TRC_SMPTE170M;
        video.color_range = AVCOL_RANGE_MPEG;
    }
    if (Output->oformat->flags & AVFMT_GLOBALHEADER)
        video.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = EncoderOptions(Settings);
    const int opened = avcodec_open2(&video, codec, &options);
    av_dict_free(&options);
    Check(opened, Format("Cannot open the %s encoder", Settings.Format.VideoEncoder));
    VideoStream = avformat_new_stream(Output.get(), nullptr);
    if (!VideoStream)
        throw EExport("Cannot add the video stream");
    VideoStream->time_base = video.time_base;
    Check(avcodec_parameters_from_context(VideoStream->codecpar, &video), "Video parameters");
    PreparePicture();
}

// The frame every picture goes into, kept from one to the next, and what fills it.
void TMediaWriter::TState::PreparePicture() {
    Picture = NewFrame();
    Picture->format = Video->pix_fmt;
    Picture->width = Video->width;
    Picture->height = Video->height;
    Check(av_frame_get_buffer(Picture.get(), 0), "Video frame");
    if (Settings.Width != Settings.SourceWidth || Settings.Height != Settings.SourceHeight) {
        PrepareBitmap(Scaled, Settings.Width, Settings.Height);
        Resizer.reset(sws_getContext(Settings.SourceWidth, Settings.SourceHeight, AV_PIX_FMT_BGRA,
                                     Settings.Width, Settings.Height, AV_PIX_FMT_BGRA, SWS_BICUBIC,
                                     nullptr, nullptr, nullptr));
        if (!Resizer)
            throw EExport("Cannot set up the picture scaling");
    }
    if (Settings.Format.Container == TExportContainer::Gif)
        Colours = std::make_unique<TPaletteMap>(Settings.Palette);
}

void TMediaWriter::TState::OpenAudio() {
    const AVCodec* codec = FindEncoder(Settings.Format.AudioEncoder);
    Audio.reset(avcodec_alloc_context3(codec));
    AVCodecContext& audio = *Audio;
    audio.sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    audio.sample_rate = cOutputRate;
    av_channel_layout_default(&audio.ch_layout, 1);
    audio.bit_rate = 64000;
    audio.time_base = {1, cOutputRate};
    if (Output->oformat->flags & AVFMT_GLOBALHEADER)
        audio.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(&audio, codec, nullptr),
          Format("Cannot open the %s encoder", Settings.Format.AudioEncoder));
    AudioStream = avformat_new_stream(Output.get(), nullptr);
    if (!AudioStream)
        throw EExport("Cannot add the sound stream");
    AudioStream->time_base = audio.time_base;
    Check(avcodec_parameters_from_context(AudioStream->codecpar, &audio), "Sound parameters");

    AVChannelLayout mono{};
    av_channel_layout_default(&mono, 1);
    SwrContext* resampler = nullptr;
    Check(swr_alloc_set_opts2(&resampler, &audio.ch_layout, audio.sample_fmt, audio.sample_rate,
                              &mono, AV_SAMPLE_FMT_S16, cVoiceRate, 0, nullptr),
          "Sound conversion");
    Resampler.reset(resampler);
    Check(swr_init(resampler), "Sound conversion");
    const int frameSize = audio.frame_size > 0 ? audio.frame_size : 1024;
    Fifo.reset(av_audio_fifo_alloc(audio.sample_fmt, 1, frameSize));
    Sound = NewFrame();
    Sound->format = audio.sample_fmt;
    Sound->sample_rate = audio.sample_rate;
    Sound->nb_samples = frameSize;
    Check(av_channel_layout_copy(&Sound->ch_layout, &audio.ch_layout), "Sound frame");
    Check(av_frame_get_buffer(Sound.get(), 0), "Sound frame");
}

void TMediaWriter::TState::Encode(AVCodecContext& codec, AVStream& stream, const AVFrame* frame) {
    Check(avcodec_send_frame(&codec, frame), "Encoding");
    for (;;) {
        const int received = avcodec_receive_packet(&codec, Packet.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return;
        Check(received, "Encoding");
        // Every picture lasts one frame; without a duration containers drop the last one.
        if (Packet->duration == 0 && codec.codec_type == AVMEDIA_TYPE_VIDEO)
            Packet->duration = 1;
        av_packet_rescale_ts(Packet.get(), codec.time_base, stream.time_base);
        Packet->stream_index = stream.index;
        Check(av_interleaved_write_frame(Output.get(), Packet.get()), "Writing the video file");
    }
}

// samples of the queue as one frame; a last frame may be shorter where the encoder allows.
void TMediaWriter::TState::EncodeSound(int samples) {
    Check(av_frame_make_writable(Sound.get()), "Sound frame");
    Sound->nb_samples = samples;
    av_audio_fifo_read(Fifo.get(), reinterpret_cast<void**>(Sound->data), samples);
    Sound->pts = SamplesWritten;
    SamplesWritten += samples;
    Encode(*Audio, *AudioStream, Sound.get());
}

TMediaWriter::TMediaWriter(const std::string& fileName, const TMediaSettings& settings)
    : F(std::make_unique<TState>()) {
    // Failures reach the caller as exceptions; the libraries' own chatter stays out of the way.
    av_log_set_level(AV_LOG_ERROR);
    F->Settings = settings;
    if (!F->Packet)
        throw EExport("Out of memory for a video packet");
    AVFormatContext* output = nullptr;
    Check(avformat_alloc_output_context2(
              &output, nullptr, std::string(settings.Format.Muxer).c_str(), fileName.c_str()),
          "Cannot set up the video file");
    F->Output.reset(output);
    F->OpenVideo();
    if (settings.Voice && !settings.Format.AudioEncoder.empty())
        F->OpenAudio();
    Check(avio_open(&output->pb, fileName.c_str(), AVIO_FLAG_WRITE),
          Format("Cannot write \"%s\"", fileName));
    AVDictionary* options = nullptr;
    if (settings.Format.Container == TExportContainer::Mp4)
        av_dict_set(&options, "movflags", "+faststart", 0); // playable while it downloads
    const int written = avformat_write_header(output, &options);
    av_dict_free(&options);
    Check(written, "Cannot start the video file");
}

TMediaWriter::~TMediaWriter() = default;

namespace {

void Resize(SwsContext& resizer, const TBitmap32& from, TBitmap32& to) {
    const auto* source = reinterpret_cast<const std::uint8_t*>(from.Bits());
    const int sourceStride = from.StrideBytes();
    auto* target = reinterpret_cast<std::uint8_t*>(to.Bits());
    const int targetStride = to.StrideBytes();
    sws_scale(&resizer, &source, &sourceStride, 0, from.Height(), &target, &targetStride);
}

} // namespace

void TMediaWriter::WritePicture(const TBitmap32& picture, const TChangedArea& changed) {
    AVFrame& frame = *F->Picture;
    Check(av_frame_make_writable(&frame), "Video frame");
    const TBitmap32* shown = &picture;
    TChangedArea resized;
    const TChangedArea* areas = &changed;
    if (F->Resizer) { // every pixel of the resized picture may have changed
        Resize(*F->Resizer, picture, F->Scaled);
        shown = &F->Scaled;
        resized.Add({0, 0, F->Scaled.Width(), F->Scaled.Height()});
        areas = &resized;
    }
    for (TRect area : areas->Rects()) {
        if (F->Colours) {
            F->Colours->Map(*shown, area, frame.data[0], frame.linesize[0]);
            continue;
        }
        // The padding repeats the edge: a change there reaches the padding too.
        if (area.Right == shown->Width())
            area.Right = frame.width;
        if (area.Bottom == shown->Height())
            area.Bottom = frame.height;
        ConvertToYuv420(*shown, area,
                        {{frame.data[0], frame.data[1], frame.data[2]},
                         {frame.linesize[0], frame.linesize[1], frame.linesize[2]},
                         frame.width,
                         frame.height});
    }
    if (F->Colours)
        std::ranges::copy(F->Colours->Entries(), reinterpret_cast<std::uint32_t*>(frame.data[1]));
    frame.pts = F->PictureCount++;
    F->Encode(*F->Video, *F->VideoStream, &frame);
}

void TMediaWriter::WriteVoice(std::span<const std::int16_t> samples) {
    if (!F->Audio || samples.empty())
        return;
    const auto count = static_cast<int>(samples.size());
    const int most = swr_get_out_samples(F->Resampler.get(), count);
    std::vector<std::uint8_t> buffer = F->SampleBuffer(most);
    std::uint8_t* converted = buffer.data();
    const auto* input = reinterpret_cast<const std::uint8_t*>(samples.data());
    const int made =
        Check(swr_convert(F->Resampler.get(), &converted, most, &input, count), "Sound conversion");
    Check(av_audio_fifo_write(F->Fifo.get(), reinterpret_cast<void**>(&converted), made), "Sound");
    while (av_audio_fifo_size(F->Fifo.get()) >= F->FrameSamples())
        F->EncodeSound(F->FrameSamples());
}

void TMediaWriter::Finish() {
    if (F->Audio) {
        // What the resampler still holds, then the short rest as the last frame, padded with
        // silence where the encoder takes whole frames only.
        const int step = F->FrameSamples();
        std::vector<std::uint8_t> tail = F->SampleBuffer(step);
        std::uint8_t* out = tail.data();
        const int flushed =
            Check(swr_convert(F->Resampler.get(), &out, step, nullptr, 0), "Sound conversion");
        av_audio_fifo_write(F->Fifo.get(), reinterpret_cast<void**>(&out), flushed);
        const int left = av_audio_fifo_size(F->Fifo.get()) % step;
        if (left > 0 && !(F->Audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
            av_samples_set_silence(&out, 0, step - left, 1, F->Audio->sample_fmt);
            av_audio_fifo_write(F->Fifo.get(), reinterpret_cast<void**>(&out), step - left);
        }
        while (av_audio_fifo_size(F->Fifo.get()) > 0)
            F->EncodeSound(std::min(step, av_audio_fifo_size(F->Fifo.get())));
        F->Encode(*F->Audio, *F->AudioStream, nullptr);
    }
    F->Encode(*F->Video, *F->VideoStream, nullptr);
    Check(av_write_trailer(F->Output.get()), "Cannot complete the video file");
}

} // namespace vsr
