// The download protocol's requests against the fault server: every check and its message.
#include "recording/StreamRequests.h"

#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/FaultServer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vsr {
namespace {

using namespace std::chrono_literals;
using test::TFaultReply;
using test::TFaultRequest;
using test::TFaultServer;

class StreamRequests : public ::testing::Test {
protected:
    // A server answering every request with reply, and requests for a file on it.
    void Serve(std::function<TFaultReply(const TFaultRequest&)> handler,
               std::chrono::milliseconds timeout = 5s) {
        FServer = std::make_unique<TFaultServer>(std::move(handler));
        const std::string address =
            "vsrfile://127.0.0.1:" + std::to_string(FServer->Port()) + "/movies/demo/show.vsr";
        FRequests =
            std::make_unique<TStreamRequests>(SplitStreamAddress(address), FDestroying, timeout);
    }
    void Answer(int status, std::string body) {
        Serve([status, body](const TFaultRequest&) { return TFaultReply::Answer(status, body); });
    }
    std::string InformationError() {
        try {
            FRequests->FileInformation(FClient);
        } catch (const EScreenRecorderPlaybackStream& error) {
            return error.what();
        }
        return "no error";
    }
    std::string HeaderError() {
        try {
            FRequests->FetchHeader(FClient);
        } catch (const EScreenRecorderPlaybackStream& error) {
            return error.what();
        }
        return "no error";
    }

    std::atomic<bool> FDestroying = false;
    THttpClient FClient;
    std::unique_ptr<TFaultServer> FServer;
    std::unique_ptr<TStreamRequests> FRequests;
};

std::string HeaderBody(std::string_view magic, std::size_t size = sizeof(TVSRHeader)) {
    std::string body = "OK|" + std::string(size, '\0');
    std::memcpy(body.data() + 3, magic.data(), std::min(magic.size(), size));
    return body;
}

TEST_F(StreamRequests, AskForTheFileInformationAtTheScriptBesideTheRecording) {
    test::TCaptureTracer trace;
    Answer(200, "OK|1536|77|");
    const TFileInformation information = FRequests->FileInformation(FClient);
    EXPECT_EQ(information.FileSize, 1536);
    EXPECT_EQ(information.Checksum, 77u);
    ASSERT_EQ(FServer->Targets().size(), 1u);
    EXPECT_EQ(FServer->Targets()[0],
              "/movies/demo/vsr_download.php?fname=movies/demo/show.vsr&flag=-1");
    EXPECT_TRUE(trace.Contains("Flag=-1, Result=OK|1536|77|"));
    EXPECT_TRUE(trace.Contains("File Size: 1536 (1.50 KB), CRC: 77"));
}

TEST_F(StreamRequests, InformationAcceptsTextAfterTheChecksumAndSizesBeyond2GiB) {
    Answer(200, "OK|5000000000|4294967295|whatever|more");
    const TFileInformation information = FRequests->FileInformation(FClient);
    EXPECT_EQ(information.FileSize, 5000000000);
    EXPECT_EQ(information.Checksum, 4294967295u);
}

TEST_F(StreamRequests, RedirectsAndErrorStatusesMeanANotConfiguredServer) {
    for (const int status : {302, 404, 500}) {
        Answer(status, "OK|10|1|");
        EXPECT_EQ(InformationError(), sVSRStreamNotConfigured) << status;
    }
}

TEST_F(StreamRequests, OtherStatusesAndNoAnswerInTimeAreATimeout) {
    Answer(204, "");
    EXPECT_EQ(InformationError(), sVSRStreamConnectionTimeout);
    Serve([](const TFaultRequest&) { return TFaultReply::Silent(); }, 200ms);
    EXPECT_EQ(InformationError(), sVSRStreamConnectionTimeout);
}

TEST_F(StreamRequests, ARequestThatOutlivedItsTimeoutIsAborted) {
    Serve([](const TFaultRequest&) { return TFaultReply::Silent(); }, 100ms);
    EXPECT_EQ(InformationError(), sVSRStreamConnectionTimeout);
    EXPECT_FALSE(FClient.Busy());
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (FServer->OpenConnections() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(FServer->OpenConnections(), 0u);
}

TEST_F(StreamRequests, InformationBodiesThatAreNoSuccess) {
    Answer(200, "22");
    EXPECT_EQ(InformationError(), "File not found on server");
    Answer(200, "ERR");
    EXPECT_EQ(InformationError(), "Unexpected response from server: ERR");
    Answer(200, "22 ");
    EXPECT_EQ(InformationError(), "Unexpected response from server: 22 ");
}

TEST_F(StreamRequests, InformationWithoutChecksumFailsTheConversion) {
    Answer(200, "OK|1000");
    EXPECT_EQ(InformationError(), "'' is not a valid integer value");
    Answer(200, "OK|12x|5|");
    EXPECT_EQ(InformationError(), "'12x' is not a valid integer value");
}

TEST_F(StreamRequests, ABlockIsTheBytesAfterTheSuccessPrefix) {
    Serve([](const TFaultRequest& request) {
        return TFaultReply::Answer(
            200, "OK|" + std::string(static_cast<std::size_t>(request.QueryNumber("size")), 'b'));
    });
    const TByteString bytes = FRequests->FetchBlock(FClient, 3000000000, 5);
    EXPECT_EQ(bytes.size(), 5u);
    EXPECT_EQ(FServer->Targets()[0], "/movies/demo/vsr_download.php?fname=movies/demo/show.vsr"
                                     "&flag=1&position=3000000000&size=5");
}

TEST_F(StreamRequests, BlockAnswersThatFail) {
    Answer(200, "OK|123456");
    EXPECT_THROW(
        {
            try {
                FRequests->FetchBlock(FClient, 0, 5);
            } catch (const EScreenRecorderPlaybackStream& error) {
                EXPECT_STREQ(error.what(), "Server returned too much data");
                throw;
            }
        },
        EScreenRecorderPlaybackStream);
    Answer(200, "NO|12345");
    EXPECT_THROW(FRequests->FetchBlock(FClient, 0, 5), EScreenRecorderPlaybackStream);
    Answer(404, "OK|12345");
    EXPECT_THROW(FRequests->FetchBlock(FClient, 0, 5), EScreenRecorderPlaybackStream);
    Answer(200, "OK|");
    EXPECT_TRUE(FRequests->FetchBlock(FClient, 0, 5).empty());
}

TEST_F(StreamRequests, TheHeaderMustBe72BytesWithTheMagic) {
    Answer(200, HeaderBody("VSR2.1"));
    EXPECT_EQ(HeaderError(), "no error");
    Answer(200, HeaderBody("VSR2.2"));
    EXPECT_EQ(HeaderError(), sInvalidSRFile);
    Answer(200, HeaderBody("VSR2.1", 71));
    EXPECT_EQ(HeaderError(), sInvalidSRFile);
    Answer(200, HeaderBody("VSR2.1", 0));
    EXPECT_EQ(HeaderError(), sInvalidSRFile);
}

TEST_F(StreamRequests, NothingIsExaminedOnceDestroying) {
    Answer(500, "ERR");
    FDestroying = true;
    EXPECT_EQ(InformationError(), "no error");
    EXPECT_EQ(HeaderError(), "no error");
}

TEST_F(StreamRequests, QueryValuesArePercentEncoded) {
    Serve([](const TFaultRequest&) { return TFaultReply::Answer(200, "OK|1|1|"); });
    FRequests = std::make_unique<TStreamRequests>(
        SplitStreamAddress("vsrfile://127.0.0.1:" + std::to_string(FServer->Port()) +
                           "/a b/x&flag=1#y.vsr"),
        FDestroying);
    FRequests->FileInformation(FClient);
    EXPECT_EQ(FServer->Targets()[0],
              "/a%20b/vsr_download.php?fname=a%20b/x%26flag=1%23y.vsr&flag=-1");
}

TEST(StreamProtocolText, SizesAndIntegers) {
    EXPECT_EQ(SizeText(1023), "1023 B");
    EXPECT_EQ(SizeText(1536), "1.50 KB");
    EXPECT_EQ(SizeText(3 * 1048576 / 2), "1.50 MB");
    EXPECT_EQ(SizeText(5368709120), "5.00 GB");
    EXPECT_EQ(ParseInteger("-42"), -42);
    EXPECT_EQ(ParseInteger("9000000000"), 9000000000);
    EXPECT_THROW(ParseInteger(""), EScreenRecorderPlaybackStream);
    EXPECT_THROW(ParseInteger(" 1"), EScreenRecorderPlaybackStream);
    EXPECT_THROW(ParseInteger("99999999999999999999"), EScreenRecorderPlaybackStream);
}

TEST(HttpGetSync, GivesNothingForAnythingButAComplete200) {
    TFaultServer server([](const TFaultRequest& request) {
        return request.Target == "/ok" ? TFaultReply::Answer(200, "body")
                                       : TFaultReply::Answer(404, "body");
    });
    THttpClient client;
    const TByteString ok = HttpGetSync(client, server.BaseURL() + "ok", 5s);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ok.data()), ok.size()), "body");
    EXPECT_TRUE(HttpGetSync(client, server.BaseURL() + "missing", 5s).empty());
    EXPECT_EQ(client.StatusCode(), 404);
    EXPECT_TRUE(HttpGetSync(client, "http://127.0.0.1:1/", 5s).empty());
}

} // namespace
} // namespace vsr
