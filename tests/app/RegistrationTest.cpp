#include "app/Registration.h"
#include "shell/Messages.h"
#include "support/Env.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace vsr {
namespace {

namespace fs = std::filesystem;
using TFiles = std::set<std::string>;

std::string ReadAll(const std::string& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& file, const std::string& text) {
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file) << text;
}

// Registration into temporary user folders, with stand-ins for the desktop's database tools
// that log their calls and end with $TOOL_STATUS.
class Registration : public ::testing::Test {
protected:
    Registration() {
        for (const std::string tool : {"update-desktop-database", "update-mime-database"}) {
            WriteAll(FBin + "/" + tool,
                     "#!/bin/sh\necho ${0##*/} $* >> '" + FToolLog + "'\nexit $TOOL_STATUS\n");
            fs::permissions(FBin + "/" + tool, fs::perms::owner_all);
        }
    }
    void Install() {
        RegisterFileType("vsr", FExe, FExe, std::string(sAudioAndVisual));
        RegisterURLProtocol("vsrfile", FExe, FExe, "unused");
    }
    void Uninstall() {
        UnregisterFileType("vsr");
        UnregisterURLProtocol("vsrfile");
    }
    // The files in the user folders.
    TFiles Files() const {
        TFiles files;
        for (const auto& item : fs::recursive_directory_iterator(FXdg.Home.Path()))
            if (item.is_regular_file() && item.path().parent_path() != FBin &&
                item.path() != FToolLog)
                files.insert(fs::relative(item, FXdg.Home.Path()).string());
        return files;
    }
    std::string TakeToolLog() {
        const std::string log = ReadAll(FToolLog);
        fs::remove(FToolLog);
        return log;
    }

    test::TXdgHome FXdg;
    std::string FBin = FXdg.Home.File("bin");
    std::string FToolLog = FXdg.Home.File("tools.log");
    test::TEnvScope FPath{"PATH", FBin};
    const std::string FExe = "/opt/vsr player/vsrplayer";
    const std::string FDesktop = FXdg.DataFile("applications/vsrplayer.desktop");
    const std::string FMimeApps = FXdg.ConfigFile("mimeapps.list");
};

TEST_F(Registration, InstallWritesTheEntryThePackageAndTheDefaultsAndUninstallRemovesThem) {
    const std::string desktop = R"([Desktop Entry]
Type=Application
Name=VSR Player
Comment=Audio & Visual Recording
Exec="/opt/vsr player/vsrplayer" %u
Terminal=false
NoDisplay=true
MimeType=application/x-vsr;x-scheme-handler/vsrfile;
)";
    const std::string package = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-vsr">
    <comment>Audio &amp; Visual Recording</comment>
    <glob pattern="*.vsr"/>
    <magic priority="50">
      <match type="string" offset="0" value="VSR2.1"/>
    </magic>
  </mime-type>
</mime-info>
)";
    const std::string packageFile = FXdg.DataFile("mime/packages/vsrplayer-vsr_file.xml");
    Install();
    EXPECT_EQ(ReadAll(FDesktop) + ReadAll(packageFile), desktop + package);
    EXPECT_EQ(ReadAll(FMimeApps), "[Default Applications]\napplication/x-vsr=vsrplayer.desktop;\n"
                                  "x-scheme-handler/vsrfile=vsrplayer.desktop;\n");
    EXPECT_EQ(Files(), (TFiles{"config/mimeapps.list", "data/applications/vsrplayer.desktop",
                               "data/mime/packages/vsrplayer-vsr_file.xml"}));
    // Each call refreshes the databases of what it changed, and only when it changed something.
    const std::string desktopTool = "update-desktop-database " + FXdg.DataFile("applications\n");
    const std::string tools =
        desktopTool + "update-mime-database " + FXdg.DataFile("mime\n") + desktopTool;
    EXPECT_EQ(TakeToolLog(), tools);
    // Installing again rewrites every value.
    WriteAll(FDesktop, "[Desktop Entry]\nExec=/elsewhere %u\nMimeType=application/x-vsr;\n");
    WriteAll(packageFile, "damaged");
    Install();
    Install();
    EXPECT_EQ(ReadAll(FDesktop) + ReadAll(packageFile), desktop + package);
    EXPECT_EQ(TakeToolLog(), tools);
    Uninstall();
    EXPECT_EQ(Files(), TFiles{});
    EXPECT_NE(TakeToolLog(), "");
    Uninstall(); // nothing there: silent, nothing refreshed
    EXPECT_EQ(TakeToolLog(), "");
}

TEST_F(Registration, UninstallLeavesForeignEntriesAloneAndTheTypeNameIsFormedBeforeTheDot) {
    const std::string foreign =
        "# mine\n[Added Associations]\napplication/x-vsr=vsrplayer.desktop;\n"
        "\n[Default Applications]\ntext/html=browser.desktop\n";
    WriteAll(FMimeApps, foreign + "application/x-vsr=other.desktop;\n");
    WriteAll(FXdg.DataFile("mime/packages/other.xml"), "<glob pattern=\"*.vsr\"/>");
    RegisterFileType(".vsr", FExe, "/usr/share/icons/vsr.png", ""); // no comment, an icon
    EXPECT_EQ(ReadAll(FXdg.DataFile("mime/packages/vsrplayer-.vsr_file.xml")).find("<comment>"),
              std::string::npos);
    EXPECT_NE(ReadAll(FDesktop).find("Name=VSR Player\nIcon=/usr/share/icons/vsr.png\n"),
              std::string::npos);
    Install(); // the program is no icon; the scheme's registration keeps the comment
    EXPECT_NE(ReadAll(FDesktop).find("\nComment=Audio & Visual Recording\nExec="),
              std::string::npos);
    EXPECT_EQ(ReadAll(FMimeApps), foreign + "application/x-vsr=vsrplayer.desktop;other.desktop;\n"
                                            "x-scheme-handler/vsrfile=vsrplayer.desktop;\n");
    Uninstall(); // both packages go: they define the same pattern
    EXPECT_EQ(ReadAll(FMimeApps), foreign + "application/x-vsr=other.desktop;\n");
    EXPECT_EQ(Files(), (TFiles{"config/mimeapps.list", "data/mime/packages/other.xml"}));
}

TEST_F(Registration, EmptyNamesDoNothingFailuresRaiseClearErrorsAndFoldersDefaultToHome) {
    RegisterFileType("", FExe, FExe, "");
    RegisterURLProtocol("", FExe, FExe, "");
    UnregisterFileType("");
    UnregisterURLProtocol("");
    EXPECT_EQ(Files(), TFiles{});
    EXPECT_THROW(RegisterFileType("v/../x", FExe, FExe, ""), EAssociations);
    EXPECT_THROW(RegisterURLProtocol("vsr\nfile", FExe, FExe, ""), EAssociations);
    EXPECT_THROW(RegisterFileType("vsr", "", "", ""), EAssociations);
    WriteAll(FXdg.Home.File("config"), "a file where the folder should be");
    try {
        Install();
        ADD_FAILURE() << "no error";
    } catch (const EAssociations& error) {
        EXPECT_NE(error.Message().find(FMimeApps), std::string::npos) << error.Message();
    }
    fs::remove(FXdg.Home.File("config"));
    test::TEnvScope failing("TOOL_STATUS", "1"); // failing or missing tools are ignored
    Install();
    fs::remove_all(FBin);
    Uninstall();
    EXPECT_EQ(Files(), TFiles{});
    test::TEnvScope data("XDG_DATA_HOME", "");
    test::TEnvScope config("XDG_CONFIG_HOME", "relative/ignored");
    test::TEnvScope home("HOME", "/home/someone");
    EXPECT_EQ(PlayerDesktopFile(), "/home/someone/.local/share/applications/vsrplayer.desktop");
    EXPECT_EQ(MimeAppsListFile(), "/home/someone/.config/mimeapps.list");
}

} // namespace
} // namespace vsr
