#include "platform/TempFiles.h"
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
    EXPECT_EQ(std::filesystem::file_size(first), 0u);
    EXPECT_TRUE(DeleteTempFile(first));
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_TRUE(DeleteTempFile(first)); // already gone
    EXPECT_TRUE(DeleteTempFile(""));
}

TEST(TempFiles, AMissingFolderGivesAnEmptyName) {
    test::TTempDir dir;
    EXPECT_EQ(CreateTempFile("vsr", dir.File("no-such-folder")), "");
}

TEST(TempFiles, TheFolderHonoursTMPDIR) {
    test::TTempDir dir;
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", (dir.Path().string() + "//").c_str(), 1);
    EXPECT_EQ(TempFolder(), dir.Path().string());
    if (old)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

} // namespace
} // namespace vsr
