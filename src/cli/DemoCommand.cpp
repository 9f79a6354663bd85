#include "audio/SpxWriter.h"
#include "cli/Commands.h"
#include "cli/demo/DemoOverlay.h"
#include "cli/demo/DemoScenes.h"
#include "cli/demo/DemoVoice.h"
#include "platform/TempFiles.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "shell/Format.h"

#include <cstdio>

namespace vsr::cli {

namespace {

using namespace demo;

constexpr std::uint32_t cPictureStepMs = 200;

const std::vector<TSpokenLine>& Lines() {
    static const std::vector<TSpokenLine> lines{
        {500, "Welcome to the VSR player demo."},
        {6200, "A window is dragged across the desktop."},
        {13500, "Now some text is typed into the notes window."},
        {21000, "The pointer follows its recorded track."},
        {26500, "Finally, the notes are saved. Thanks for watching."}};
    return lines;
}

TRecordingLayout WriteDemo(const std::string& fileName, const TDemoVoice& voice) {
    TRecordingOptions options;
    options.Duration = LengthMs;
    TOutputFile file(fileName);
    TRecordingLayout layout;
    {
        TFileStream output(file.TempName(), TFileMode::OpenReadWrite);
        TScreenRecorderFileWriter writer(output, ScreenWidth, ScreenHeight, options);
        const TDemoScreen screen;
        for (std::uint32_t time = 0; time < LengthMs; time += cPictureStepMs)
            writer.AddPicture(time, screen.At(time));
        for (const TCursorEntry& entry : DemoCursorTrack())
            writer.AddCursor(entry);
        layout = writer.Finish(TSpxWriter::Encode(voice.Samples), DemoOverlay());
    }
    file.Commit();
    return layout;
}

} // namespace

int DemoCommand(const TArguments& arguments) {
    TArguments args = arguments;
    const std::string output = TakeOption(args, "-o");
    if (output.empty() || !args.empty())
        throw EUsage{"demo needs -o OUT.vsr and nothing else"};
    const TDemoVoice voice = MakeDemoVoice(Lines(), LengthMs);
    const TRecordingLayout layout = WriteDemo(output, voice);
    std::printf("%s\n", Format("Wrote %s: %d bytes, %d key frames, voice: %s", output, layout.Size,
                               layout.KeyFrames.size(),
                               voice.Source == TVoiceSource::Speech ? "espeak-ng" : "tone melody")
                            .c_str());
    return 0;
}

} // namespace vsr::cli
