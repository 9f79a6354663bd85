// Inputs the fuzz targets (and files mutated by hand) found harmful, replayed through the same
// functions the targets call. Each runs in a child process, so that an input that brings
// a crash, an allocation without bounds or a hang ends the child, not the suite: it must end
// normally, and grow the memory by less than 256 MB on the way.
#include "Harness.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "support/Files.h"
#include "support/Pictures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vsr::test {
namespace {

using TExercise = void (*)(fuzz::TInput);

// Resident memory of this process in kB.
long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// The child's wait status, and how many MB its resident memory grew.
std::pair<int, long> RunInChild(TExercise exercise, const std::vector<std::byte>& input) {
    const long before = ResidentKb();
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(60); // a hang ends the child
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // Without a sanitizer, a large allocation fails here rather than taking the machine.
        const rlimit limit{std::size_t{2} << 30, std::size_t{2} << 30};
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(input.data());
        try {
            exercise(fuzz::TInput(bytes, input.size()));
        } catch (...) { // std::bad_alloc among them: what escapes the harness is a finding
            ::_exit(3);
        }
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    return {status, (usage.ru_maxrss - before) / 1024};
}

// The bytes of a block the recording writer puts behind the voice track.
std::vector<std::byte> OverlayBlock(const TOverlayPicture& header) {
    TMemoryStream stream;
    const TRecordingLayout layout =
        TScreenRecorderFileWriter(stream, 8, 8).Finish({}, TRecordingOverlay{header, {}, 1, 1, ""});
    const auto bytes = stream.Memory();
    return {bytes.begin() + layout.OverlayOffset, bytes.begin() + layout.OverlayTrailerOffset};
}

TEST(FuzzRegression, FoundInputsEndNormallyWithinBoundedMemory) {
    fuzz::SetSndKitPath(VSR_SNDKIT_PATH);
    // A GIF screen of 65535 x 65535 around one pixel; a JPEG frame of 60000 x 60000 over 8 x 8
    // pixels of data; a bitmap of 100000 x 100000 with 8 x 8 pixels; the GIF as an overlay's
    // header picture.
    const auto bmp = BitmapFileOf(TScreenPicture(8, 8));
    const auto noPixels = Patched(Patched(bmp, 18, 100000), 22, 100000); // biWidth, biHeight
    // FF C0, length, precision, then height and width big-endian: EA 60 is 60000.
    const auto jpeg = JpegFileOf(PatternPicture(8, 8, 1));
    const std::size_t sof = std::ranges::search(jpeg, Bytes("\xFF\xC0")).begin() - jpeg.begin();
    const auto gif = GifFile({65535, 65535, 0, {0, 0xFFFFFF}, {{0, 0, 1, 1, false, -1, {}, {1}}}});
    const std::vector<std::pair<TExercise, std::vector<std::byte>>> found = {
        {fuzz::ExerciseGif, gif},
        {fuzz::ExerciseJpeg, Patched(jpeg, sof + 5, std::uint32_t{0x60EA60EA})},
        {fuzz::ExerciseBitmap, noPixels},
        {fuzz::ExerciseOverlay, OverlayBlock({TOverlayPictureType::Gif, gif})}};
    const TExercise every[] = {
        fuzz::ExerciseRecording, fuzz::ExerciseTile,   fuzz::ExerciseVoice, fuzz::ExerciseOverlay,
        fuzz::ExerciseBitmap,    fuzz::ExerciseJpeg,   fuzz::ExerciseGif,   fuzz::ExerciseAppended,
        fuzz::ExerciseLanguage,  fuzz::ExerciseAnswers};
    std::vector<std::pair<TExercise, std::vector<std::byte>>> cases = found;
    for (const TExercise exercise : every) // the shortest inputs
        for (const auto& input : {std::vector<std::byte>{}, Bytes(1, 0xFF)})
            cases.emplace_back(exercise, input);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto [status, growthMb] = RunInChild(cases[i].first, cases[i].second);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "case " << i << ": status " << status;
        EXPECT_LT(growthMb, 256) << "case " << i;
    }
}

} // namespace
} // namespace vsr::test
