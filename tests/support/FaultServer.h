#pragma once
// TFaultServer: a small HTTP server on 127.0.0.1 whose answers a test chooses request by
// request: any status and body, no answer at all, an answer held back until the test lets it
// go, or a connection reset in the middle of the body. One thread serves every connection;
// each connection carries one request and is closed after its answer. With a link rate, all
// answers share that many bytes a second, as on a slow line.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vsr::test {

struct TFaultRequest {
    std::string Target;  // path and query, as sent
    std::string Headers; // the header lines, as sent
    // The value of the named header (names compare without regard to case); empty when missing.
    std::string Header(const std::string& name) const;
    // The query value of key as sent; empty when missing.
    std::string Query(const std::string& key) const;
    std::int64_t QueryNumber(const std::string& key) const {
        return std::strtoll(Query(key).c_str(), nullptr, 10);
    }
};

struct TFaultReply {
    enum class TKind { Answer, Silent, ResetMidBody };
    TKind Kind = TKind::Answer;
    int Status = 200;
    std::string Body;
    std::size_t BytesBeforeReset = 0; // ResetMidBody: body bytes sent before the reset
    std::function<bool()> ReadyWhen;  // Answer: held back until this returns true
    std::string Headers;              // more header lines, each ending in "\r\n"

    static TFaultReply Answer(int status, std::string body) {
        return {TKind::Answer, status, std::move(body), 0, {}, {}};
    }
    static TFaultReply Silent() { return {TKind::Silent, 200, {}, 0, {}, {}}; }
    static TFaultReply ResetMidBody(std::string body, std::size_t bytesBeforeReset) {
        return {TKind::ResetMidBody, 200, std::move(body), bytesBeforeReset, {}, {}};
    }
};

using TFaultHandler = std::function<TFaultReply(const TFaultRequest& request)>;

class TFaultServer {
public:
    // handler runs on the server's thread.
    explicit TFaultServer(TFaultHandler handler);
    ~TFaultServer();
    TFaultServer(const TFaultServer&) = delete;
    TFaultServer& operator=(const TFaultServer&) = delete;

    int Port() const { return FPort; }
    // "http://127.0.0.1:PORT/"
    std::string BaseURL() const { return "http://127.0.0.1:" + std::to_string(FPort) + "/"; }
    // The targets of all requests so far, in arrival order.
    std::vector<std::string> Targets() const {
        std::lock_guard lock(FLock);
        return FTargets;
    }
    std::size_t OpenConnections() const { return FOpenConnections; }
    // Bytes a second that all answers together may send; 0 (the default) for no limit.
    void SetLinkRate(std::int64_t bytesPerSecond) { FLinkRate = bytesPerSecond; }

private:
    struct TConnection {
        std::string Received;
        bool Parked = false;
        TFaultReply Reply;
        std::string Output; // what a paced answer still has to send
        bool Sending = false;
    };

    void Serve();
    void Accept();
    // False when the connection is done and must be closed.
    bool Receive(int fd, TConnection& connection);
    bool Respond(int fd, TConnection& connection);
    // Shares the link's bytes since the last call among the paced answers.
    void Pace();
    static void Finish(int fd, bool reset);

    TFaultHandler FHandler;
    int FListener = -1;
    int FWakePipe[2] = {-1, -1};
    int FPort = 0;
    std::map<int, TConnection> FConnections; // server thread only
    std::atomic<std::size_t> FOpenConnections = 0;
    std::atomic<std::int64_t> FLinkRate = 0;
    double FLinkCredit = 0; // bytes the link may send now
    std::chrono::steady_clock::time_point FLinkTime;
    mutable std::mutex FLock;
    std::vector<std::string> FTargets;
    std::thread FThread; // last: starts once everything else exists
};

} // namespace vsr::test
