#pragma once
// Every SPX test calls the real sound library built beside the tests.

#include "audio/SndKitLibrary.h"
#include "support/Files.h"
#include "support/TempDir.h"
#include "support/Voice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vsr::test {

class TSpxTest : public ::testing::Test {
protected:
    void SetUp() override { SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); }
    TTempDir FDir;
};

inline std::string WriteFile(const TTempDir& dir, const std::string& name,
                             const std::vector<std::byte>& bytes) {
    WriteFileBytes(dir.File(name), bytes);
    return dir.File(name);
}

} // namespace vsr::test
