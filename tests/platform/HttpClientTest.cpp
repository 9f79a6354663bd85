// THttpClient against the fault server on 127.0.0.1.
#include "platform/HttpClient.h"
#include "support/Env.h"
#include "support/FaultServer.h"

#include <gtest/gtest.h>

#include <thread>

namespace vsr {
namespace {

using namespace std::chrono_literals;
using test::TFaultReply;

class HttpClientTest : public ::testing::Test {
protected:
    // Services the client until done() holds; false when it does not within the limit.
    bool ServiceUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
        for (auto end = std::chrono::steady_clock::now() + limit; !done();
             std::this_thread::sleep_for(2ms))
            if (FClient.ProcessEvents(), std::chrono::steady_clock::now() > end)
                return false;
        return true;
    }
    // Starts a GET of the row's answer; the body arrives in the returned sink.
    std::shared_ptr<THttpSink> Start(int row) {
        auto sink = std::make_shared<THttpSink>();
        FClient.SetAddress(FServer.BaseURL() + "?row=" + std::to_string(row));
        FClient.SetSink(sink);
        FClient.Get();
        return sink;
    }
    std::string Get(int row) {
        auto sink = Start(row);
        return ServiceUntil([&] { return !FClient.Busy(); })
                   ? std::string(reinterpret_cast<const char*>(sink->data()), sink->size())
                   : "busy";
    }

    // An empty proxy host is a direct connection, whatever the environment says.
    test::TEnvScope FProxy{"http_proxy", "http://127.0.0.1:9"};
    test::TEnvScope FUpperProxy{"HTTP_PROXY", "http://127.0.0.1:9"};
    const std::vector<TFaultReply> FReplies = {
        TFaultReply::Answer(200, "hello"),
        TFaultReply::Answer(302, "moved"),
        TFaultReply::Answer(404, "no"),
        TFaultReply::Answer(500, "failed"),
        TFaultReply::ResetMidBody(std::string(1000, 'x'), 10),
        TFaultReply::Silent()};
    test::TFaultServer FServer{[this](const test::TFaultRequest& request) {
        return request.Target.starts_with("http://") ? TFaultReply::Answer(200, "proxied")
                                                     : FReplies[request.QueryNumber("row")];
    }};
    THttpClient FClient;
};

TEST_F(HttpClientTest, GivesTheStatusAndBodyWithoutFollowingRedirects) {
    EXPECT_EQ(FClient.StatusCode(), 0);
    const std::pair<int, std::string> expected[] = {
        {200, "hello"}, {302, "moved"}, {404, "no"}, {500, "failed"}};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(Get(row), expected[row].second);
        EXPECT_EQ(FClient.StatusCode(), expected[row].first);
    }
    Get(4);
    EXPECT_EQ(FClient.StatusCode(), 0) << "a transfer that broke off has no status";
    EXPECT_EQ(FServer.Targets().size(), 5u);
    // Through the process-wide proxy setting.
    EXPECT_EQ(ProxySetting(), "");
    SetProxySetting("127.0.0.1:" + std::to_string(FServer.Port()));
    FClient.SetProxyHost(ProxySetting());
    SetProxySetting("");
    FClient.SetAddress("http://recordings.invalid/vsr_download.php?flag=-1");
    FClient.Get();
    ASSERT_TRUE(ServiceUntil([&] { return !FClient.Busy(); }));
    EXPECT_EQ(FServer.Targets().back(), "http://recordings.invalid/vsr_download.php?flag=-1");
}

TEST_F(HttpClientTest, AbortFromAnotherThreadAndANewGetEndTheRunningRequest) {
    Start(5);
    ASSERT_TRUE(ServiceUntil([&] { return FServer.Targets().size() == 1; }));
    EXPECT_FALSE(ServiceUntil([&] { return !FClient.Busy(); }, 100ms));
    std::thread([&] { FClient.Abort(); }).join();
    EXPECT_EQ(FClient.State(), THttpState::Idle);
    EXPECT_TRUE(ServiceUntil([&] { return FServer.OpenConnections() == 0; }))
        << "the aborted connection is open";
    auto silent = Start(5);
    ASSERT_TRUE(ServiceUntil([&] { return FServer.Targets().size() == 2; }));
    EXPECT_EQ(Get(0), "hello");
    EXPECT_TRUE(silent->empty());
}

} // namespace
} // namespace vsr
