// THttpClient against the fault server on 127.0.0.1.
#include "platform/HttpClient.h"

#include "support/FaultServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace vsr {
namespace {

using test::TFaultReply;
using test::TFaultRequest;
using test::TFaultServer;

// Services the client until it is idle; false when it still runs after the limit.
bool RunToEnd(THttpClient& client, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (client.Busy() && std::chrono::steady_clock::now() < deadline) {
        client.ProcessEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return !client.Busy();
}

std::string Text(const THttpSink& sink) {
    return {reinterpret_cast<const char*>(sink.data()), sink.size()};
}

TEST(HttpClient, IdleWithoutStatusBeforeAnyRequest) {
    THttpClient client;
    EXPECT_EQ(client.State(), THttpState::Idle);
    EXPECT_EQ(client.StatusCode(), 0);
}

TEST(HttpClient, CollectsTheBodyAndStatusOfAGet) {
    TFaultServer server([](const TFaultRequest&) { return TFaultReply::Answer(200, "hello"); });
    THttpClient client;
    auto sink = std::make_shared<THttpSink>();
    client.SetAddress(server.BaseURL() + "x?a=1");
    client.SetSink(sink);
    client.Get();
    EXPECT_TRUE(client.Busy());
    ASSERT_TRUE(RunToEnd(client));
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(Text(*sink), "hello");
    EXPECT_EQ(server.Targets(), std::vector<std::string>{"/x?a=1"});
}

TEST(HttpClient, ReportsErrorStatusesAndDoesNotFollowRedirects) {
    for (const int status : {302, 404, 500}) {
        TFaultServer server(
            [status](const TFaultRequest&) { return TFaultReply::Answer(status, "no"); });
        THttpClient client;
        client.SetAddress(server.BaseURL());
        client.SetSink(std::make_shared<THttpSink>());
        client.Get();
        ASSERT_TRUE(RunToEnd(client));
        EXPECT_EQ(client.StatusCode(), status);
        EXPECT_EQ(server.Targets().size(), 1u);
    }
}

TEST(HttpClient, ABrokenTransferHasNoStatus) {
    TFaultServer server(
        [](const TFaultRequest&) { return TFaultReply::ResetMidBody(std::string(1000, 'x'), 10); });
    THttpClient client;
    client.SetAddress(server.BaseURL());
    client.SetSink(std::make_shared<THttpSink>());
    client.Get();
    ASSERT_TRUE(RunToEnd(client));
    EXPECT_EQ(client.StatusCode(), 0);
}

TEST(HttpClient, AbortFromAnotherThreadEndsTheRequestAtOnce) {
    TFaultServer server([](const TFaultRequest&) { return TFaultReply::Silent(); });
    THttpClient client;
    client.SetAddress(server.BaseURL());
    client.SetSink(std::make_shared<THttpSink>());
    client.Get();
    while (server.Targets().empty())
        client.ProcessEvents();
    EXPECT_FALSE(RunToEnd(client, std::chrono::milliseconds(100)));
    std::thread([&client] { client.Abort(); }).join();
    EXPECT_EQ(client.State(), THttpState::Idle);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.OpenConnections() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(server.OpenConnections(), 0u) << "the aborted connection was not closed";
}

TEST(HttpClient, ANewGetAbortsTheRunningOne) {
    int count = 0;
    TFaultServer server([&count](const TFaultRequest&) {
        return ++count == 1 ? TFaultReply::Silent() : TFaultReply::Answer(200, "second");
    });
    THttpClient client;
    client.SetAddress(server.BaseURL());
    auto first = std::make_shared<THttpSink>();
    client.SetSink(first);
    client.Get();
    while (server.Targets().empty())
        client.ProcessEvents();
    auto second = std::make_shared<THttpSink>();
    client.SetSink(second);
    client.Get();
    ASSERT_TRUE(RunToEnd(client));
    EXPECT_EQ(Text(*second), "second");
    EXPECT_TRUE(first->empty());
}

TEST(HttpClient, IgnoresTheEnvironmentsProxyVariables) {
    TFaultServer server([](const TFaultRequest&) { return TFaultReply::Answer(200, "direct"); });
    ::setenv("http_proxy", "http://127.0.0.1:9", 1);
    ::setenv("HTTP_PROXY", "http://127.0.0.1:9", 1);
    THttpClient client;
    auto sink = std::make_shared<THttpSink>();
    client.SetAddress(server.BaseURL());
    client.SetSink(sink);
    client.Get();
    const bool ended = RunToEnd(client);
    ::unsetenv("http_proxy");
    ::unsetenv("HTTP_PROXY");
    ASSERT_TRUE(ended);
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(Text(*sink), "direct");
}

TEST(HttpClient, SendsThroughTheProcessWideProxySetting) {
    TFaultServer proxy([](const TFaultRequest&) { return TFaultReply::Answer(200, "proxied"); });
    EXPECT_EQ(ProxySetting(), "");
    SetProxySetting("127.0.0.1:" + std::to_string(proxy.Port()));
    THttpClient client;
    client.SetProxyHost(ProxySetting());
    SetProxySetting("");
    auto sink = std::make_shared<THttpSink>();
    client.SetAddress("http://recordings.invalid/vsr_download.php?flag=-1");
    client.SetSink(sink);
    client.Get();
    ASSERT_TRUE(RunToEnd(client));
    EXPECT_EQ(Text(*sink), "proxied");
    ASSERT_EQ(proxy.Targets().size(), 1u);
    EXPECT_EQ(proxy.Targets()[0], "http://recordings.invalid/vsr_download.php?flag=-1");
}

} // namespace
} // namespace vsr
