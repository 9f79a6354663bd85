// server/vsr_download.php under "php -S": its answers and its refusals.
#include "support/Recordings.h"
#include "support/PhpServer.h"
#include "support/TempDir.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

namespace vsr::test {
namespace {

using namespace std::chrono_literals;

struct TRawAnswer {
    int Status = 0;
    std::string Head;
    std::string Body;
};

// A plain HTTP/1.0 GET, independent of the player's own client.
TRawAnswer RawGet(int port, const std::string& target) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    TRawAnswer answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return answer;
    }
    const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    (void)!::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string all;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof(buffer), 0)) > 0;)
        all.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    const std::size_t split = all.find("\r\n\r\n");
    answer.Head = all.substr(0, split);
    answer.Body = split == std::string::npos ? std::string() : all.substr(split + 4);
    if (all.size() > 12)
        answer.Status = std::stoi(all.substr(9, 3));
    return answer;
}

class VsrDownloadScript : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TPhpServer::Available())
            GTEST_SKIP() << "php is not installed";
        std::filesystem::create_directories(FRoot.Path() / "site" / "rec");
        FSite = (FRoot.Path() / "site").string();
        std::filesystem::copy_file(ServerScriptFolder() + "/vsr_download.php",
                                   FSite + "/vsr_download.php");
        for (int i = 0; i < 3000; ++i)
            FContent += static_cast<char>('A' + i % 23);
        WriteText(FSite + "/rec/a.vsr", FContent);
        FServer = std::make_unique<TPhpServer>(FSite);
    }
    static void WriteText(const std::string& fileName, const std::string& text) {
        std::ofstream(fileName, std::ios::binary) << text;
    }
    TRawAnswer Get(const std::string& query) {
        return RawGet(FServer->Port(), "/vsr_download.php?" + query);
    }

    TWatchdog FWatchdog{"server script test", 30s};
    TTempDir FRoot;
    std::string FSite;
    std::string FContent;
    std::unique_ptr<TPhpServer> FServer;
};

TEST_F(VsrDownloadScript, AnswersTheSizeAndChecksum) {
    const TRawAnswer answer = Get("fname=rec/a.vsr&flag=-1");
    EXPECT_EQ(answer.Status, 200);
    const auto crc = ::crc32(0, reinterpret_cast<const Bytef*>(FContent.data()),
                             static_cast<uInt>(FContent.size()));
    EXPECT_EQ(answer.Body, "OK|3000|" + std::to_string(crc) + "|");
    EXPECT_NE(answer.Head.find("Content-Type: application/octet-stream"), std::string::npos);
}

TEST_F(VsrDownloadScript, AnswersExactlyTheRequestedBytes) {
    EXPECT_EQ(Get("fname=rec/a.vsr&flag=1&position=100&size=50").Body,
              "OK|" + FContent.substr(100, 50));
    EXPECT_EQ(Get("fname=rec/a.vsr&flag=1&position=0&size=3000").Body, "OK|" + FContent);
    EXPECT_EQ(Get("fname=rec/a.vsr&flag=1&position=2990&size=50").Body,
              "OK|" + FContent.substr(2990))
        << "fewer at the end of the file";
    EXPECT_EQ(Get("fname=rec/a.vsr&flag=1&position=3000&size=50").Body, "OK|");
}

TEST_F(VsrDownloadScript, BinaryBytesArriveUnchanged) {
    std::string binary;
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    WriteText(FSite + "/rec/b.vsr", binary);
    EXPECT_EQ(Get("fname=rec/b.vsr&flag=1&position=0&size=256").Body, "OK|" + binary);
}

TEST_F(VsrDownloadScript, NamesWithEncodedCharactersAreFound) {
    WriteText(FSite + "/rec/a b&c.vsr", "xyz");
    EXPECT_EQ(Get("fname=rec/a%20b%26c.vsr&flag=1&position=1&size=2").Body, "OK|yz");
}

TEST_F(VsrDownloadScript, AMissingFileIs22) {
    const TRawAnswer answer = Get("fname=rec/none.vsr&flag=-1");
    EXPECT_EQ(answer.Status, 200);
    EXPECT_EQ(answer.Body, "22");
}

TEST_F(VsrDownloadScript, RefusesFilesOutsideItsFolderAndOtherTypes) {
    WriteText(FRoot.File("outside.vsr"), "secret");
    WriteText(FSite + "/rec/notes.txt", "secret");
    std::filesystem::create_symlink(FRoot.File("outside.vsr"), FSite + "/rec/link.vsr");
    std::filesystem::create_symlink(FSite + "/rec/notes.txt", FSite + "/rec/txt.vsr");
    for (const std::string& fname : std::vector<std::string>{
             "../outside.vsr", "rec/../../outside.vsr", FRoot.File("outside.vsr"), "rec/notes.txt",
             "rec/link.vsr", "rec/txt.vsr", "rec", "rec/a.vsr%00.txt", "rec\\a.vsr", ""}) {
        const TRawAnswer info = Get("fname=" + fname + "&flag=-1");
        EXPECT_EQ(info.Body, "22") << fname;
        const TRawAnswer block = Get("fname=" + fname + "&flag=1&position=0&size=6");
        EXPECT_EQ(block.Body.find("secret"), std::string::npos) << fname;
    }
}

TEST_F(VsrDownloadScript, ServesAConfiguredRecordingsFolderThroughALink) {
    // Without the setting, a link out of the script's folder is refused (above); the folder
    // named by VSR_RECORDINGS_DIR is allowed.
    const std::string store = FRoot.File("store");
    std::filesystem::create_directories(store);
    WriteText(store + "/c.vsr", "stored");
    std::filesystem::create_symlink(store, FSite + "/store");
    EXPECT_EQ(Get("fname=store/c.vsr&flag=-1").Body, "22");
    FServer.reset();
    ::setenv("VSR_RECORDINGS_DIR", store.c_str(), 1);
    FServer = std::make_unique<TPhpServer>(FSite);
    ::unsetenv("VSR_RECORDINGS_DIR");
    EXPECT_EQ(Get("fname=store/c.vsr&flag=1&position=0&size=6").Body, "OK|stored");
}

TEST_F(VsrDownloadScript, RefusesBadPositionsAndSizes) {
    for (const std::string& query :
         std::vector<std::string>{"position=-1&size=5", "position=0&size=-5", "position=1e3&size=5",
                                  "position=0&size=", "position=abc&size=5", "size=5", "position=0",
                                  "position=3001&size=5", "position=0&size=8388609",
                                  "position=99999999999999999999&size=5"}) {
        const TRawAnswer answer = Get("fname=rec/a.vsr&flag=1&" + query);
        EXPECT_EQ(answer.Status, 400) << query;
        EXPECT_TRUE(answer.Body.starts_with("ERR|")) << query << ": " << answer.Body;
    }
    EXPECT_EQ(Get("fname=rec/a.vsr&flag=1&position=0&size=8388608").Body, "OK|" + FContent);
}

TEST_F(VsrDownloadScript, RefusesRequestsWithoutNameOrKnownFlag) {
    EXPECT_EQ(Get("flag=-1").Status, 400);
    EXPECT_EQ(Get("fname=rec/a.vsr").Status, 400);
    EXPECT_EQ(Get("fname=rec/a.vsr&flag=2").Status, 400);
    EXPECT_EQ(Get("fname[]=rec/a.vsr&flag=-1").Status, 400);
}

} // namespace
} // namespace vsr::test
