#include "audio/SndKitSetup.h"
#include "audio/SndKitLibrary.h"
#include "platform/WaveTestSupport.h"
#include "support/Recordings.h"
#include "support/CaptureTracer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vsr {
namespace {

class SndKitSetup : public ::testing::Test {
protected:
    void TearDown() override { SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); }
    test::TTempDir FDir;
};

TEST_F(SndKitSetup, TheCarriedLibraryIsWrittenToATmpFileAndBoundFromThere) {
    test::TEnvScope tmp("TMPDIR", FDir.Path().string());
    const auto library = test::ReadFileBytes(VSR_SNDKIT_PATH);
    const std::string copy = WriteSndKitCopy(library);
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(std::filesystem::path(copy).parent_path(), FDir.Path());
    EXPECT_TRUE(std::filesystem::path(copy).filename().string().starts_with("Tmp"));
    EXPECT_EQ(test::ReadFileBytes(copy), library);

    SndKitLibrary().Unload();
    ChooseSndKitFile(copy, "/nowhere/libsndkit.so");
    EXPECT_EQ(SndKitLibrary().FileName(), copy);
    EXPECT_FALSE(SndKitLibrary().Loaded()); // the first codec call does the loading
    void* decoder = nullptr;
    EXPECT_EQ(InitSpeexDecoder(1, &decoder), 0);
    EXPECT_NE(decoder, nullptr);
    DoneSpeexDecoder(&decoder);
    EXPECT_TRUE(SndKitLibrary().Loaded());
    SndKitLibrary().Unload();

    test::TEnvScope missing("TMPDIR", FDir.File("missing"));
    EXPECT_EQ(WriteSndKitCopy(test::Bytes(10, 1)), "");
}

// As on a noexec temporary folder: the copy cannot be loaded.
TEST_F(SndKitSetup, ACopyThatCannotBeLoadedFallsBackToTheInstalledLibrary) {
    const std::string copy = FDir.File("Tmpbroken");
    test::WriteFileBytes(copy, test::Bytes(4096, 0x90));
    test::TCaptureTracer trace;
    ChooseSndKitFile(copy, VSR_SNDKIT_PATH);
    EXPECT_EQ(SndKitLibrary().FileName(), VSR_SNDKIT_PATH);
    ASSERT_EQ(trace.Lines().size(), 1u);
    EXPECT_TRUE(trace.Lines()[0].starts_with("Cannot load the sound library from \"" + copy));
    SndKitLibrary().SetFileName("");
    ChooseSndKitFile("", VSR_SNDKIT_PATH); // no copy at all, e.g. the folder was not writable
    EXPECT_EQ(SndKitLibrary().FileName(), VSR_SNDKIT_PATH);
}

TEST_F(SndKitSetup, TheToolFindsTheLibraryBesideItself) {
    EXPECT_EQ(std::filesystem::path(SndKitBesideExecutable()).filename(), "libsndkit.so");
    EXPECT_EQ(std::filesystem::path(ExecutableFolder()),
              std::filesystem::canonical("/proc/self/exe").parent_path());
}

} // namespace
} // namespace vsr
