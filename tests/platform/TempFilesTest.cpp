#include "platform/TempFiles.h"
#include "platform/WaveTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vsr {
namespace {

TEST(TempFiles, UniqueNamesWithThePrefixInTheGivenFolder) {
    test::TTempDir dir;
    const std::string first = CreateTempFile("spx", dir.Path().string());
    const std::string second = CreateTempFile("spx", dir.Path().string());
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(std::filesystem::path(first).parent_path(), dir.Path());
    EXPECT_TRUE(std::filesystem::path(first).filename().string().starts_with("spx"));
    EXPECT_TRUE(DeleteTempFile(first));
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_TRUE(DeleteTempFile(first)); // already gone
    EXPECT_EQ(CreateTempFile("vsr", dir.File("no-such-folder")), "");

    test::TEnvScope tmp("TMPDIR", dir.Path().string() + "//");
    EXPECT_EQ(TempFolder(), dir.Path().string());
}

} // namespace
} // namespace vsr
