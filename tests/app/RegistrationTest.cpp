#include "app/Registration.h"
#include "shell/Messages.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vsr {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// Sets an environment variable for the lifetime of the object.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const std::string& value) : FName(name) {
        if (const char* old = std::getenv(name))
            FOld = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~TScopedEnv() {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    const char* FName;
    std::optional<std::string> FOld;
};

// Registration into temporary user folders, with stand-ins for the database tools that log
// how they were called (a tool may be made to fail).
class Registration : public ::testing::Test {
protected:
    test::TTempDir FDir;
    fs::path FData = FDir.Path() / "data";
    fs::path FConfig = FDir.Path() / "config";
    fs::path FBin = FDir.Path() / "bin";
    fs::path FLog = FDir.Path() / "tools.log";
    TScopedEnv FDataEnv{"XDG_DATA_HOME", FData.string()};
    TScopedEnv FConfigEnv{"XDG_CONFIG_HOME", FConfig.string()};
    TScopedEnv FPathEnv{"PATH", FBin.string()};
    const std::string FExe = "/opt/vsr player/vsrplayer";
    const std::string FDescription{sAudioAndVisual};

    void SetUp() override {
        AddTool("update-desktop-database", 0);
        AddTool("update-mime-database", 0);
    }
    void AddTool(const std::string& name, int status) {
        const fs::path tool = FBin / name;
        WriteAll(tool, "#!/bin/sh\necho \"" + name + " $*\" >> '" + FLog.string() + "'\nexit " +
                           std::to_string(status) + "\n");
        fs::permissions(tool, fs::perms::owner_all);
    }
    void Install() {
        RegisterFileType("vsr", FExe, FExe, FDescription);
        RegisterURLProtocol("vsrfile", FExe, FExe, FDescription);
    }
    void Uninstall() {
        UnregisterFileType("vsr");
        UnregisterURLProtocol("vsrfile");
    }
    fs::path Desktop() const { return FData / "applications" / "vsrplayer.desktop"; }
    fs::path Package() const { return FData / "mime" / "packages" / "vsrplayer-vsr_file.xml"; }
    fs::path MimeApps() const { return FConfig / "mimeapps.list"; }
    std::vector<fs::path> Files() const {
        std::vector<fs::path> files;
        for (const fs::path& root : {FData, FConfig})
            if (fs::exists(root))
                for (const auto& item : fs::recursive_directory_iterator(root))
                    if (item.is_regular_file())
                        files.push_back(item.path());
        std::sort(files.begin(), files.end());
        return files;
    }
};

TEST_F(Registration, InstallWritesTheEntryThePackageAndTheDefaults) {
    Install();
    EXPECT_EQ(ReadAll(Desktop()), "[Desktop Entry]\nType=Application\nName=VSR Player\n"
                                  "Comment=Audio & Visual Recording\n"
                                  "Exec=\"/opt/vsr player/vsrplayer\" %u\n"
                                  "Terminal=false\nNoDisplay=true\n"
                                  "MimeType=application/x-vsr;x-scheme-handler/vsrfile;\n");
    EXPECT_EQ(ReadAll(Package()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
              "  <mime-type type=\"application/x-vsr\">\n"
              "    <comment>Audio &amp; Visual Recording</comment>\n"
              "    <glob pattern=\"*.vsr\"/>\n"
              "    <magic priority=\"50\">\n"
              "      <match type=\"string\" offset=\"0\" value=\"VSR2.1\"/>\n"
              "    </magic>\n  </mime-type>\n</mime-info>\n");
    EXPECT_EQ(ReadAll(MimeApps()), "[Default Applications]\n"
                                   "application/x-vsr=vsrplayer.desktop;\n"
                                   "x-scheme-handler/vsrfile=vsrplayer.desktop;\n");
    EXPECT_EQ(Files(), (std::vector{MimeApps(), Desktop(), Package()}));
    // Each call refreshes the databases of what it changed.
    const std::string desktopTool = "update-desktop-database " + (FData / "applications").string();
    EXPECT_EQ(ReadAll(FLog), desktopTool + "\nupdate-mime-database " + (FData / "mime").string() +
                                 "\n" + desktopTool + "\n");
}

TEST_F(Registration, UninstallRemovesExactlyWhatInstallWrote) {
    WriteAll(MimeApps(), "# mine\n[Added Associations]\ntext/plain=editor.desktop;\n\n"
                         "[Default Applications]\ntext/html=browser.desktop\n"
                         "application/x-vsr=other.desktop;\n");
    WriteAll(FData / "applications" / "editor.desktop", "[Desktop Entry]\n");
    WriteAll(FData / "mime" / "packages" / "other.xml", "<glob pattern=\"*.vsr\"/>");
    Install();
    EXPECT_EQ(ReadAll(MimeApps()), "# mine\n[Added Associations]\ntext/plain=editor.desktop;\n\n"
                                   "[Default Applications]\ntext/html=browser.desktop\n"
                                   "application/x-vsr=vsrplayer.desktop;other.desktop;\n"
                                   "x-scheme-handler/vsrfile=vsrplayer.desktop;\n");
    Uninstall();
    EXPECT_FALSE(fs::exists(Desktop()));
    EXPECT_FALSE(fs::exists(Package()));
    EXPECT_TRUE(fs::exists(FData / "applications" / "editor.desktop"));
    EXPECT_TRUE(fs::exists(FData / "mime" / "packages" / "other.xml"));
    EXPECT_EQ(ReadAll(MimeApps()), "# mine\n[Added Associations]\ntext/plain=editor.desktop;\n\n"
                                   "[Default Applications]\ntext/html=browser.desktop\n"
                                   "application/x-vsr=other.desktop;\n");
}

TEST_F(Registration, UninstallAfterInstallIntoEmptyFoldersLeavesNoFile) {
    Install();
    Uninstall();
    EXPECT_TRUE(Files().empty());
}

TEST_F(Registration, UninstallingMissingEntriesIsSilent) {
    EXPECT_NO_THROW(Uninstall());
    EXPECT_TRUE(Files().empty());
    EXPECT_FALSE(fs::exists(FLog)); // nothing changed, nothing refreshed
    RegisterFileType("vsr", FExe, FExe, FDescription);
    EXPECT_NO_THROW(UnregisterURLProtocol("vsrfile"));
    EXPECT_EQ(ReadAll(Desktop()).find("vsrfile"), std::string::npos);
}

TEST_F(Registration, SecondInstallRewritesEveryValue) {
    Install();
    const auto first = Files();
    const std::string desktop = ReadAll(Desktop());
    WriteAll(Desktop(), "[Desktop Entry]\nExec=/elsewhere %u\nMimeType=application/x-vsr;\n");
    WriteAll(Package(), "damaged");
    fs::remove(FLog);
    Install();
    EXPECT_EQ(Files(), first);
    EXPECT_EQ(ReadAll(Desktop()), desktop);
    EXPECT_NE(ReadAll(Package()).find("VSR2.1"), std::string::npos);
    EXPECT_NE(ReadAll(FLog).find("update-desktop-database"), std::string::npos);
    fs::remove(FLog);
    Install(); // nothing to change: no refresh
    EXPECT_FALSE(fs::exists(FLog));
}

TEST_F(Registration, EmptyNamesDoNothingAndTheTypeNameIsFormedBeforeTheDot) {
    RegisterFileType("", FExe, FExe, FDescription);
    RegisterURLProtocol("", FExe, FExe, FDescription);
    UnregisterFileType("");
    UnregisterURLProtocol("");
    EXPECT_TRUE(Files().empty());
    RegisterFileType(".vsr", FExe, "", "");
    const fs::path dotted = FData / "mime" / "packages" / "vsrplayer-.vsr_file.xml";
    ASSERT_TRUE(fs::exists(dotted));
    EXPECT_EQ(ReadAll(dotted).find("<comment>"), std::string::npos);
    EXPECT_EQ(ReadAll(Desktop()).find("Comment="), std::string::npos);
    UnregisterFileType("vsr"); // the same extension, found by its pattern
    EXPECT_TRUE(Files().empty());
}

TEST_F(Registration, AnIconOtherThanTheProgramIsNamed) {
    RegisterFileType("vsr", "/usr/bin/vsrplayer", "/usr/share/icons/vsr.png", FDescription);
    EXPECT_NE(ReadAll(Desktop()).find("\nIcon=/usr/share/icons/vsr.png\n"), std::string::npos);
    // The scheme's registration keeps the comment that the file type's wrote.
    RegisterURLProtocol("vsrfile", "/usr/bin/vsrplayer", "", "ignored");
    EXPECT_NE(ReadAll(Desktop()).find("Comment=Audio & Visual Recording\n"), std::string::npos);
    EXPECT_EQ(ReadAll(Desktop()).find("Icon="), std::string::npos);
    EXPECT_EQ(ReadAll(Desktop()).find("ignored"), std::string::npos);
}

TEST_F(Registration, FailuresRaiseClearErrors) {
    EXPECT_THROW(RegisterFileType("v/../x", FExe, FExe, FDescription), EAssociations);
    EXPECT_THROW(RegisterURLProtocol("vsr\nfile", FExe, FExe, FDescription), EAssociations);
    EXPECT_THROW(RegisterFileType("vsr", "", "", FDescription), EAssociations);
    WriteAll(FConfig, "a file where the folder should be");
    try {
        Install();
        FAIL() << "no error";
    } catch (const EAssociations& error) {
        EXPECT_NE(error.Message().find((FConfig / "mimeapps.list").string()), std::string::npos)
            << error.Message();
    }
}

TEST_F(Registration, MissingOrFailingToolsAreIgnored) {
    AddTool("update-mime-database", 1);
    EXPECT_NO_THROW(Install());
    fs::remove_all(FBin);
    EXPECT_NO_THROW(Uninstall());
    EXPECT_TRUE(Files().empty());
}

TEST(RegistrationFolders, DefaultsLieInTheHomeFolder) {
    TScopedEnv data("XDG_DATA_HOME", "");
    TScopedEnv config("XDG_CONFIG_HOME", "relative/ignored");
    TScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(PlayerDesktopFile(), "/home/someone/.local/share/applications/vsrplayer.desktop");
    EXPECT_EQ(MimeAppsListFile(), "/home/someone/.config/mimeapps.list");
}

} // namespace
} // namespace vsr
