// The lazy library binding, the program's sound-library object and its set-up, and the
// encoder wrapper that measures frames through it.

#include "audio/Dlls.h"
#include "audio/SndKitSetup.h"
#include "audio/SpxEncoder.h"
#include "audio/SpxFixture.h"
#include "shell/Format.h"
#include "support/CaptureTracer.h"
#include "support/Env.h"

#include <filesystem>

namespace vsr::test {
namespace {

using SndKit = TSpxTest;

// Calls entry index of dll.
template <typename F = int()> auto Call(TDll& dll, int index) {
    return reinterpret_cast<F*>(dll.ProcNeeded(index))();
}

TEST_F(SndKit, DllLoadsAndBindsAtTheFirstCallsUnloadsAndReportsWhatIsMissingAtEveryCall) {
    std::string notices; // "L<file> " loaded, "U<file> " unloaded, "B<index> " bound
    Dlls().OnDllNotify = [&](TDll& library, TDllNotifyReason reason, int index) {
        const std::string file = std::filesystem::path(library.FileName()).filename();
        notices += Format("%c%s ", "LUB"[static_cast<int>(reason)],
                          index < 0 ? file : std::to_string(index));
    };
    TDll(VSR_SNDKIT_PATH, {"IsInitialized"}).Resolve(0); // destroyed: unregistered, unloaded
    TDll dll(VSR_SNDKIT_PATH,
             {"IsInitialized", "DeinitDll", "NoSuchRoutine", TDllEntry::ByOrdinal(7)});
    EXPECT_EQ(Dlls().Count(), 2) << "the program's library and this one";
    EXPECT_FALSE(dll.Loaded());
    Call(dll, 0);
    Call(dll, 0);
    Call<void()>(dll, 1);
    dll.Unload();
    Call(dll, 0);
    std::string upper = VSR_SNDKIT_PATH;
    std::ranges::transform(upper, upper.begin(), [](unsigned char c) { return std::toupper(c); });
    dll.SetFileName(upper); // the same name: nothing changes
    SetStandIn(5, 160, 29, 0x2A);
    dll.SetFileName(VSR_STANDIN_SNDKIT_PATH); // unloads first, with the old name
    EXPECT_EQ(Call(dll, 0), 0x2A) << "the next call reaches the other library";
    EXPECT_EQ(notices, "Llibsndkit.so B0 Ulibsndkit.so Llibsndkit.so B0 B1 Ulibsndkit.so "
                       "Llibsndkit.so B0 Ulibsndkit.so Llibsndkit_standin.so B0 ");
    Dlls().OnDllNotify = nullptr;
    const std::string inLibrary = "\" in the library \"" VSR_SNDKIT_PATH "\"\r\n(";
    const std::string missing = "/nonexistent/libnothing.so";
    // File name, entry, the start of the message, a part of the system's reason in it.
    const std::tuple<std::string, int, std::string, std::string> rows[] = {
        {VSR_SNDKIT_PATH, 2, "Could not find the routine \"NoSuchRoutine" + inLibrary,
         "undefined symbol: NoSuchRoutine)"},
        {VSR_SNDKIT_PATH, 3, "Could not find the routine \"ordinal #7" + inLibrary, ")"},
        {VSR_SNDKIT_PATH, 4, "Could not find the routine \"DLL-entry index out of range (4)", ")"},
        {missing, 0, "Could not find the library: \"" + missing + "\"\r\n(", "libnothing.so"}};
    for (const auto& [file, index, start, reason] : rows) {
        dll.Unload();
        dll.SetFileName(file);
        for (int attempt = 0; attempt < 2; ++attempt) {
            const std::string message = ErrorOf<EDllError>([&] { Call(dll, index); });
            EXPECT_EQ(message.find(start), 0u) << message;
            EXPECT_NE(message.find(reason, start.size()), std::string::npos) << message;
        }
        EXPECT_EQ(dll.Loaded(), index == 2 || index == 3) << "a bad index loads nothing";
    }
    dll.SetFileName(VSR_SNDKIT_PATH);
    EXPECT_NO_THROW(Call(dll, 0)) << "the other entries still work";
}

// The player writes its library to a "Tmp" file and uses it unless it cannot be loaded (a
// temporary folder mounted without the right to run code) or was not written (a full or
// missing folder): then the library beside the executable.
TEST_F(SndKit, SetupUsesTheTmpCopyWhenItLoadsAndOtherwiseTheLibraryBesideTheExecutable) {
    TEnvScope tmp("TMPDIR", FDir.Path().string());
    const std::vector<std::byte> library = ReadFileBytes(VSR_SNDKIT_PATH);
    const std::string copy = WriteSndKitCopy(library);
    EXPECT_TRUE(copy.starts_with(FDir.File("Tmp")) && ReadFileBytes(copy) == library) << copy;
    ChooseSndKitFile(copy, "/nowhere/libsndkit.so");
    EXPECT_EQ(SndKitLibrary().FileName(), copy);
    EXPECT_FALSE(SndKitLibrary().Loaded()) << "the first codec call loads it";
    const std::string broken = FDir.File("Tmpbroken");
    WriteFileBytes(broken, Bytes(4096, 0x90));
    TCaptureTracer trace;
    TEnvScope missing("TMPDIR", FDir.File("missing"));
    for (const std::string& tried : {broken, WriteSndKitCopy(library)}) {
        ChooseSndKitFile(tried, SndKitBesideExecutable());
        EXPECT_EQ(SndKitLibrary().FileName(),
                  std::filesystem::canonical("/proc/self/exe").parent_path() / "libsndkit.so");
    }
    EXPECT_TRUE(trace.Lines().at(0).starts_with("Cannot load the sound library from \"" + broken));
}

// Through the stand-in, which logs the calls. Finishing deinitialises only a library that
// reports itself initialised (in the low byte). The encoder: the calls' order, the measured
// frame of silence, and the release of the encoder also when it was refused or measured
// nothing (sizes that would become divisors). No library at all, or one without the entries:
// finishing lets nothing escape, and the encoder reports the library's error.
TEST_F(SndKit, FinishAndTheEncoderCallTheLibraryInOrderAndReleaseOnEveryOutcome) {
    SndKitLibrary().SetFileName(VSR_STANDIN_SNDKIT_PATH);
    for (const auto& [initialized, log] : {std::pair{0x100, ""}, {0x101, "Deinit;"}}) {
        SetStandIn(5, 160, 29, initialized);
        FinishSndKitLibrary();
        EXPECT_EQ(StandInLog(), log);
    }
    const std::string set = "Init(1);Start;Channels(2);Rate(11025);Quality(7);Complexity(3);";
    const std::string refused = "Cannot initialize speex encoder";
    const std::tuple<int, int, int, std::string, std::string> rows[] = {
        {0, 160, 29, "320 29", set + "FrameSize;Encode(silent,320);Done(handle);"},
        {5, 160, 29, refused, "Init(1);Done(null);"},
        {0, 0, 29, refused, set + "FrameSize;Done(handle);"},
        {0, 160, 0, refused, set + "FrameSize;Encode(silent,320);Done(handle);"}};
    for (const auto& [init, frameSize, encoded, result, log] : rows) {
        SetStandIn(init, frameSize, encoded, 0);
        std::string sizes;
        const std::string error = ErrorOf<ESpxEncoder>([&] {
            const TSpxEncoder encoder(2, 11025, 7, 3);
            sizes = Format("%d %d", encoder.FrameBytes(), encoder.EncodedFrameBytes());
        });
        EXPECT_EQ(sizes.empty() ? error : sizes, result);
        EXPECT_EQ(StandInLog(), log);
    }
    for (const char* file : {"", "libc.so.6"}) {
        SndKitLibrary().SetFileName(file);
        EXPECT_NO_THROW(FinishSndKitLibrary());
        EXPECT_EQ(SndKitLibrary().Loaded(), *file != 0);
        EXPECT_THROW(TSpxEncoder(1, 8000, 6, 10), EDllError) << file;
    }
}

} // namespace
} // namespace vsr::test
