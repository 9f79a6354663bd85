#include "app/Registration.h"
#include "support/Env.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <set>

namespace vsr {
namespace {

namespace fs = std::filesystem;
using TFiles = std::set<std::string>;

// The files below folder (the user folders), by their relative names.
TFiles FilesIn(const fs::path& folder) {
    TFiles files;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        if (item.is_regular_file())
            files.insert(fs::relative(item, folder).string());
    return files;
}

// Registration into temporary user folders, with stand-ins for the desktop's database tools
// that log their calls and end with $TOOL_STATUS.
TEST(Registration, InstallWritesWhatUninstallRemovesAndLeavesForeignEntriesAlone) {
    test::TXdgHome xdg;
    test::TTempDir bin;
    const std::string toolLog = bin.File("tools.log");
    test::TEnvScope path("PATH", bin.Path().string());
    for (const std::string tool : {"update-desktop-database", "update-mime-database"}) {
        WriteTextFile(bin.File(tool),
                      "#!/bin/sh\necho ${0##*/} $* >> '" + toolLog + "'\nexit $TOOL_STATUS\n");
        fs::permissions(bin.File(tool), fs::perms::owner_all);
    }
    const auto read = [](const std::string& file) { return ReadTextFile(file).value_or(""); };
    const std::string exe = "/opt/vsr player/vsrplayer";
    const auto install = [&](const char* type = "vsr", const char* scheme = "vsrfile") {
        RegisterFileType(type, exe, exe, "Audio & Visual Recording");
        RegisterURLProtocol(scheme, exe, exe, "unused");
    };
    const auto uninstall = [](const char* type = "vsr", const char* scheme = "vsrfile") {
        UnregisterFileType(type);
        UnregisterURLProtocol(scheme);
    };
    const auto files = [&] { return FilesIn(xdg.Home.Path()); };
    // What an installation writes; "&" is escaped in the package.
    const std::string desktop =
        "[Desktop Entry]\nType=Application\nName=VSR Player\nComment=Audio & Visual Recording\n"
        "Exec=\"/opt/vsr player/vsrplayer\" %u\nTerminal=false\nNoDisplay=true\n"
        "MimeType=application/x-vsr;x-scheme-handler/vsrfile;\n";
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
    const std::string desktopFile = PlayerDesktopFile(), mimeApps = MimeAppsListFile();
    const std::string packageFile = MimePackageFile("vsr_file");
    install();
    install("", ""); // empty names do nothing: what follows stays exactly as it was
    uninstall("", "");
    EXPECT_EQ(read(desktopFile) + read(packageFile), desktop + package);
    EXPECT_EQ(read(mimeApps), "[Default Applications]\napplication/x-vsr=vsrplayer.desktop;\n"
                              "x-scheme-handler/vsrfile=vsrplayer.desktop;\n");
    EXPECT_EQ(files(), (TFiles{"config/mimeapps.list", "data/applications/vsrplayer.desktop",
                               "data/mime/packages/vsrplayer-vsr_file.xml"}));
    // Each call refreshes the databases of what it changed, and only when it changed something.
    const std::string desktopTool = "update-desktop-database " + xdg.DataFile("applications\n");
    const std::string refreshes =
        desktopTool + "update-mime-database " + xdg.DataFile("mime\n") + desktopTool;
    EXPECT_EQ(read(toolLog), refreshes);
    // Installing again rewrites every value.
    WriteTextFile(desktopFile,
                  "[Desktop Entry]\nExec=/elsewhere %u\nMimeType=application/x-vsr;\n");
    WriteTextFile(packageFile, "damaged");
    install();
    install();
    EXPECT_EQ(read(desktopFile) + read(packageFile), desktop + package);
    EXPECT_EQ(read(toolLog), refreshes + refreshes);
    uninstall();
    uninstall(); // nothing there: silent, nothing refreshed
    EXPECT_EQ(files(), TFiles{});
    EXPECT_EQ(read(toolLog), refreshes + refreshes + refreshes);
    test::TEnvScope failing("TOOL_STATUS", "1"); // failing or missing tools are ignored
    install();
    fs::remove_all(bin.Path());
    uninstall();
    EXPECT_EQ(files(), TFiles{});
    // Foreign entries stay; the type's name is formed before the dot is added.
    const std::string foreign =
        "# mine\n[Added Associations]\napplication/x-vsr=vsrplayer.desktop;\n"
        "\n[Default Applications]\ntext/html=browser.desktop\n";
    WriteTextFile(mimeApps, foreign + "application/x-vsr=other.desktop;\n");
    WriteTextFile(xdg.DataFile("mime/packages/other.xml"), "<glob pattern=\"*.vsr\"/>");
    RegisterFileType(".vsr", exe, "/usr/share/icons/vsr.png", ""); // no comment, an icon
    EXPECT_EQ(read(MimePackageFile(".vsr_file")).find("<comment>"), std::string::npos);
    EXPECT_NE(read(desktopFile).find("\nIcon=/usr/share/icons/vsr.png\n"), std::string::npos);
    install(); // the program is no icon; the scheme's registration keeps the comment
    EXPECT_EQ(read(desktopFile), desktop);
    EXPECT_EQ(read(mimeApps), foreign + "application/x-vsr=vsrplayer.desktop;other.desktop;\n"
                                        "x-scheme-handler/vsrfile=vsrplayer.desktop;\n");
    uninstall(); // both packages go: they define the same pattern
    EXPECT_EQ(read(mimeApps), foreign + "application/x-vsr=other.desktop;\n");
    EXPECT_EQ(files(), (TFiles{"config/mimeapps.list", "data/mime/packages/other.xml"}));
    EXPECT_THROW(RegisterFileType("v/../x", exe, exe, ""), EAssociations);
    EXPECT_THROW(RegisterURLProtocol("vsr\nfile", exe, exe, ""), EAssociations);
    EXPECT_THROW(RegisterFileType("vsr", "", "", ""), EAssociations);
    fs::remove_all(xdg.Home.File("config"));
    WriteTextFile(xdg.Home.File("config"), "a file where the folder should be");
    const std::string error = test::ErrorOf<EAssociations>([&] { install(); });
    EXPECT_NE(error.find(mimeApps), std::string::npos) << error;
    // Folders default to the home folder's; a relative setting is ignored.
    test::TEnvScope data("XDG_DATA_HOME", "");
    test::TEnvScope config("XDG_CONFIG_HOME", "relative/ignored");
    test::TEnvScope home("HOME", "/home/someone");
    EXPECT_EQ(PlayerDesktopFile(), "/home/someone/.local/share/applications/vsrplayer.desktop");
    EXPECT_EQ(MimeAppsListFile(), "/home/someone/.config/mimeapps.list");
}

// A package's system-wide entry and MIME type for this very program are not shadowed by the
// user's own; for another program, or without the type's definition, the user's are written.
TEST(Registration, AnInstalledPackageOfThisProgramIsNotShadowed) {
    test::TXdgHome xdg;
    test::TTempDir system, bin;
    test::TEnvScope dirs("XDG_DATA_DIRS",
                         "relative:" + system.File("empty") + ":" + system.File("share"));
    test::TEnvScope path("PATH", bin.Path().string());
    WriteTextFile(bin.File("vsrplayer"), "#!/bin/sh\n");
    fs::permissions(bin.File("vsrplayer"), fs::perms::owner_all);
    const std::string exe = bin.File("vsrplayer");
    const std::string systemEntry = system.File("share/applications/vsrplayer.desktop");
    const std::string systemPackage = system.File("share/mime/packages/vsr-player.xml");
    const std::string definition =
        "<mime-info><mime-type type=\"application/x-vsr\"><glob pattern=\"*.vsr\"/>"
        "</mime-type></mime-info>";
    struct TCase {
        const char* Name;
        std::string Exec; // of the system entry; empty: none
        bool Package;     // the system defines application/x-vsr
        TFiles UserFiles; // besides mimeapps.list, after an earlier per-user registration
    };
    const TFiles user{"data/applications/vsrplayer.desktop",
                      "data/mime/packages/vsrplayer-vsr_file.xml"};
    const TCase cases[] = {
        {"installed, by name through PATH", "vsrplayer %u", true, {}},
        {"installed, by quoted path", "\"" + exe + "\" %u", true, {}},
        {"another program's entry", "/usr/bin/otherplayer %u", true, user},
        {"no entry", "", true, user},
        {"entry without the type's definition: the scheme only is the system's", "vsrplayer %u",
         false, user},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(system.Path());
        if (!c.Exec.empty())
            WriteTextFile(systemEntry, "[Desktop Entry]\nType=Application\nExec=" + c.Exec +
                                           "\nMimeType=application/x-vsr;x-scheme-handler/"
                                           "vsrfile;\n");
        if (c.Package)
            WriteTextFile(systemPackage, definition);
        RegisterFileType("vsr", "/earlier/vsrplayer", "", "");
        RegisterURLProtocol("vsrfile", "/earlier/vsrplayer", "", "");
        RegisterFileType("vsr", exe, exe, "");
        RegisterURLProtocol("vsrfile", exe, exe, "");
        const auto files = [&] { return FilesIn(xdg.Home.Path()); };
        TFiles expected = c.UserFiles;
        expected.insert("config/mimeapps.list");
        EXPECT_EQ(files(), expected);
        const std::string entry = ReadTextFile(PlayerDesktopFile()).value_or("");
        if (!c.Package && !c.Exec.empty()) {
            EXPECT_EQ(entry.find("x-scheme-handler"), std::string::npos) << entry;
        }
        EXPECT_NE(ReadTextFile(MimeAppsListFile()).value_or("").find("x-scheme-handler/vsrfile"),
                  std::string::npos);
        UnregisterFileType("vsr");
        UnregisterURLProtocol("vsrfile");
        EXPECT_EQ(files(), TFiles{}); // the system's files are not the user's to remove
        EXPECT_EQ(fs::exists(systemPackage), c.Package);
    }
}

} // namespace
} // namespace vsr
