// server/vsr_download.php under "php -S": its answers, and its refusals of malformed requests
// (status 400) and of files it must not serve (answered as missing files, so that nothing is
// told of them).
#include "recording/StreamRequests.h"
#include "support/Env.h"
#include "support/Files.h"
#include "support/LocalServer.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <zlib.h>

namespace vsr::test {
namespace {

namespace fs = std::filesystem;

// The status and, for status 200, the body of a GET of the script with query.
std::string Get(const TPhpServer& server, const std::string& query) {
    THttpClient client;
    const TByteString body = HttpGetSync(client, server.BaseURL() + "vsr_download.php?" + query,
                                         std::chrono::seconds(10));
    return std::to_string(client.StatusCode()) + " " +
           std::string(reinterpret_cast<const char*>(body.data()), body.size());
}

// The checksum comes from the cache while the file stays as it is (a cache entry changed by hand
// shows through), and is computed again once the file has changed, even to the same size.
TEST(VsrDownloadScript, AnswersExactlyTheRequestedBytesAndRefusesWhatItMustNotServe) {
    if (!TPhpServer::Available())
        GTEST_SKIP() << "php is not installed";
    const TWatchdog watchdog(std::chrono::seconds(60));
    const TTempDir root;
    const std::string site = root.File("site"), store = root.File("store"),
                      outside = root.File("o.vsr");
    const TEnvScope configured("VSR_RECORDINGS_DIR", store); // served too, here through site/store
    const TEnvScope cache("VSR_CHECKSUM_CACHE", root.File("cache"));
    fs::create_directories(site + "/rec");
    fs::create_directories(store);
    fs::copy_file(ServerScriptFolder() + "/vsr_download.php", site + "/vsr_download.php");
    std::string content;
    for (int i = 0; i < 3000; ++i)
        content += static_cast<char>('A' + i % 23);
    const std::pair<std::string, std::string> files[] = {{site + "/rec/a.vsr", content},
                                                         {site + "/rec/a b&c.vsr", "xyz"},
                                                         {outside, "secret"},
                                                         {site + "/rec/notes.txt", "secret"},
                                                         {store + "/c.vsr", "stored"}};
    for (const auto& [name, text] : files)
        WriteFileBytes(name, Bytes(text));
    fs::create_symlink(outside, site + "/rec/link.vsr");
    fs::create_symlink(site + "/rec/notes.txt", site + "/rec/txt.vsr");
    fs::create_symlink(store, site + "/store");
    const TPhpServer server(site);
    const std::string crc =
        std::to_string(::crc32(0, reinterpret_cast<const Bytef*>(content.data()), 3000));
    const std::string block = "fname=rec/a.vsr&flag=1&position=";
    const std::pair<std::string, std::string> cases[] = {
        {"fname=rec/a.vsr&flag=-1", "200 OK|3000|" + crc + "|"},
        {block + "100&size=50", "200 OK|" + content.substr(100, 50)},
        {block + "0&size=8388608", "200 OK|" + content},            // the largest block
        {block + "2990&size=50", "200 OK|" + content.substr(2990)}, // fewer at the end
        {block + "3000&size=50", "200 OK|"},
        {"fname=rec/a%20b%26c.vsr&flag=1&position=1&size=2", "200 OK|yz"},
        {"fname=store/c.vsr&flag=1&position=0&size=6", "200 OK|stored"},
        {"fname=rec/none.vsr&flag=-1", "200 22"}};
    for (const auto& [query, answer] : cases)
        EXPECT_EQ(Get(server, query), answer) << query;
    for (const std::string& bad : std::vector<std::string>{
             "flag=-1", "fname=rec/a.vsr", "fname=rec/a.vsr&flag=2", "fname[]=rec/a.vsr&flag=-1",
             "fname=rec/a.vsr&flag=1&size=5", block + "0", block + "-1&size=5", block + "0&size=-5",
             block + "1e3&size=5", block + "0&size=", block + "abc&size=5", block + "3001&size=5",
             block + "0&size=8388609", block + "99999999999999999999&size=5"})
        EXPECT_EQ(Get(server, bad), "400 ") << bad;
    for (const std::string name :
         {"../o.vsr", "rec/../../o.vsr", outside.c_str(), "rec/notes.txt", "rec/link.vsr",
          "rec/txt.vsr", "rec", "rec/a.vsr%00.txt", "rec\\a.vsr", ""})
        for (const std::string flag : {"-1", "1&position=0&size=6"})
            EXPECT_EQ(Get(server, "fname=" + name + "&flag=" + flag), "200 22") << name;

    const std::vector<fs::path> entries(fs::directory_iterator(root.File("cache")), {});
    ASSERT_EQ(entries.size(), 1u) << "one cache entry, no temporary left";
    const std::vector<std::byte> held = ReadFileBytes(entries[0].string());
    const std::string entry(reinterpret_cast<const char*>(held.data()), held.size());
    WriteFileBytes(entries[0].string(), Bytes(entry.substr(0, entry.rfind('|')) + "|12345"));
    EXPECT_EQ(Get(server, cases[0].first), "200 OK|3000|12345|") << "answered from the cache";
    std::reverse(content.begin(), content.end());
    WriteFileBytes(site + "/rec/a.vsr", Bytes(content));
    fs::last_write_time(site + "/rec/a.vsr",
                        fs::last_write_time(site + "/rec/a.vsr") + std::chrono::seconds(2));
    EXPECT_EQ(Get(server, cases[0].first),
              "200 OK|3000|" +
                  std::to_string(::crc32(0, reinterpret_cast<const Bytef*>(content.data()), 3000)) +
                  "|");
}

} // namespace
} // namespace vsr::test
