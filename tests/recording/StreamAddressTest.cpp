#include "recording/StreamAddress.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

TEST(StreamAddress, RecognisesThePrefixesCaseSensitively) {
    EXPECT_TRUE(IsStreamAddress("vsrfile://S/a.vsr"));
    EXPECT_TRUE(IsStreamAddress("http://S/a.vsr"));
    EXPECT_TRUE(IsStreamAddress("https://S/a.vsr"));
    EXPECT_FALSE(IsStreamAddress("VSRFILE://S/a.vsr"));
    EXPECT_FALSE(IsStreamAddress("HTTP://S/a.vsr"));
    EXPECT_FALSE(IsStreamAddress(" vsrfile://S/a.vsr"));
    EXPECT_FALSE(IsStreamAddress("/home/user/a.vsr"));
    EXPECT_FALSE(IsStreamAddress("vsrfile:/"));
}

TEST(StreamAddress, SplitsIntoScriptAndPathFromTheServerRoot) {
    const TStreamAddress a = SplitStreamAddress("vsrfile://S/movies/demo/show.vsr");
    EXPECT_EQ(a.ServerURL, "http://S/movies/demo/vsr_download.php");
    EXPECT_EQ(a.RemoteFileName, "movies/demo/show.vsr");
    const TStreamAddress b = SplitStreamAddress("http://S/show.vsr");
    EXPECT_EQ(b.ServerURL, "http://S/vsr_download.php");
    EXPECT_EQ(b.RemoteFileName, "show.vsr");
}

TEST(StreamAddress, HttpsAddressesReachTheScriptOverHttps) {
    const TStreamAddress a = SplitStreamAddress("https://S:8443/m/show.vsr");
    EXPECT_EQ(a.ServerURL, "https://S:8443/m/vsr_download.php");
    EXPECT_EQ(a.RemoteFileName, "m/show.vsr");
}

TEST(StreamAddress, WithoutSlashTheWholeRestIsTheFileName) {
    const TStreamAddress a = SplitStreamAddress("vsrfile://show.vsr");
    EXPECT_EQ(a.ServerURL, "http://vsr_download.php");
    EXPECT_EQ(a.RemoteFileName, "show.vsr");
}

TEST(StreamAddress, TheScriptsPathHoldsNoBytesAnAddressCannotCarry) {
    const TStreamAddress a = SplitStreamAddress("vsrfile://S/my films#1?/a&b+c%41/x y.vsr");
    EXPECT_EQ(a.ServerURL, "http://S/my%20films%231%3F/a&b+c%41/vsr_download.php");
    EXPECT_EQ(a.RemoteFileName, "my films#1?/a&b+c%41/x y.vsr");
}

TEST(StreamAddress, EncodesOnlyWhatAQueryValueCannotHold) {
    EXPECT_EQ(EncodeQueryValue("movies/demo/show-1_(a).vsr"), "movies/demo/show-1_(a).vsr");
    EXPECT_EQ(EncodeQueryValue("a b&c#d%e+f?g"), "a%20b%26c%23d%25e%2Bf%3Fg");
    EXPECT_EQ(EncodeQueryValue("\x01\x7F"), "%01%7F");
    EXPECT_EQ(EncodeQueryValue("\xC3\xA9.vsr"), "%C3%A9.vsr");
}

} // namespace
} // namespace vsr
