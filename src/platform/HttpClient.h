#pragma once
// THttpClient: one asynchronous HTTP GET at a time, over libcurl's multi interface.
//
// Threads: a client is used by one thread (its user), which starts requests and services them
// with ProcessEvents; the transfer makes progress only inside ProcessEvents. Abort may be called
// from any thread and takes effect at once. The sink is written only inside ProcessEvents.
//
// Proxies: the client uses exactly the proxy host it is given; an empty host means a direct
// connection, whatever the environment's proxy variables say.

#include "shell/Exception.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vsr {

class EHttpClient : public Exception {
public:
    using Exception::Exception;
};

using THttpSink = std::vector<std::byte>;

enum class THttpState { Idle, Busy };

// The process-wide proxy setting ("host:port" or a proxy URL); empty by default.
std::string ProxySetting();
void SetProxySetting(const std::string& proxyHost);

class THttpClient {
public:
    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    // The full address of the next request, query string included.
    void SetAddress(const std::string& address);
    // The body of the next response is appended to sink; the client keeps it alive as long as
    // it may still write to it.
    void SetSink(std::shared_ptr<THttpSink> sink);
    void SetProxyHost(const std::string& proxyHost);
    const std::string& ProxyHost() const { return FProxyHost; }
    // Header lines ("Name: value") sent with the next requests.
    void SetRequestHeaders(std::vector<std::string> headers);
    // How many redirects the next requests follow; 0 (the default) follows none, so that a
    // redirect is the answer.
    void SetMaxRedirects(int redirects);
    // A body growing beyond this many bytes breaks the next requests off (0: no limit).
    void SetMaxBodyBytes(std::size_t bytes);
    // The value of the named header of the last response (after the redirects followed), or
    // empty; names compare without regard to case.
    std::string ResponseHeader(std::string_view name) const;

    // Starts a GET of the address; a request still running is aborted first. Raises
    // EHttpClient when the request cannot be started.
    void Get();
    THttpState State() const;
    bool Busy() const { return State() == THttpState::Busy; }
    // The HTTP status of the last response: 0 before any, while none has arrived, and after a
    // transfer that broke off before its answer was complete.
    int StatusCode() const;
    // Moves the transfer on; called repeatedly by the user while the client is busy.
    void ProcessEvents();
    // Returns when the transfer has something for ProcessEvents, after longest at the latest,
    // or at once when Abort is called or nothing runs.
    void WaitForActivity(std::chrono::milliseconds longest);
    // Cancels a request in progress at once, leaving the client idle; the status stays.
    void Abort();

private:
    struct TCurl;

    void FinishTransfer(bool complete);
    void RemoveTransfer();
    static std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* client);
    static std::size_t WriteHeader(char* data, std::size_t size, std::size_t count, void* client);

    mutable std::mutex FLock;
    std::unique_ptr<TCurl> FCurl;
    std::string FAddress;
    std::string FProxyHost;
    std::shared_ptr<THttpSink> FSink;
    THttpState FState = THttpState::Idle;
    int FStatusCode = 0;
    std::vector<std::string> FRequestHeaders;
    int FMaxRedirects = 0;
    std::size_t FMaxBodyBytes = 0;
    std::size_t FBodyBytes = 0;                // of the running transfer
    std::vector<std::string> FResponseHeaders; // of the response being received
};

} // namespace vsr
