#include "support/FaultServer.h"

#include <cctype>

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace vsr::test {

namespace {

void SendAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return; // the client went away
        done += static_cast<std::size_t>(n);
    }
}

std::string Head(int status, std::size_t contentLength, const std::string& headers) {
    return "HTTP/1.1 " + std::to_string(status) +
           " Status\r\nContent-Length: " + std::to_string(contentLength) +
           "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n" + headers + "\r\n";
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string TFaultRequest::Header(const std::string& name) const {
    const std::string lines = Lower(Headers);
    const std::size_t at = lines.find("\r\n" + Lower(name) + ":");
    if (at == std::string::npos)
        return {};
    const std::size_t start = Headers.find_first_not_of(' ', at + name.size() + 3);
    return Headers.substr(start, Headers.find("\r\n", start) - start);
}

std::string TFaultRequest::Query(const std::string& key) const {
    for (const std::string separator : {"?", "&"})
        if (const std::size_t at = Target.find(separator + key + "="); at != std::string::npos) {
            const std::size_t start = at + key.size() + 2;
            return Target.substr(start, Target.find('&', start) - start);
        }
    return {};
}

TFaultServer::TFaultServer(TFaultHandler handler) : FHandler(std::move(handler)) {
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (FListener < 0 || ::bind(FListener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(FListener, 16) != 0 ||
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(FWakePipe, O_CLOEXEC) != 0)
        throw std::runtime_error("fault server: cannot listen on 127.0.0.1");
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Serve(); });
}

TFaultServer::~TFaultServer() {
    const char stop = 's';
    (void)!::write(FWakePipe[1], &stop, 1);
    FThread.join();
    for (auto& [fd, connection] : FConnections)
        ::close(fd);
    ::close(FListener);
    ::close(FWakePipe[0]);
    ::close(FWakePipe[1]);
}

void TFaultServer::Serve() {
    for (;;) {
        std::vector<pollfd> fds{{FWakePipe[0], POLLIN, 0}, {FListener, POLLIN, 0}};
        for (const auto& [fd, connection] : FConnections)
            fds.push_back({fd, POLLIN, 0});
        // ms: parked replies are looked at this often; a paced link is fed in finer steps
        ::poll(fds.data(), fds.size(), FLinkRate > 0 ? 1 : 10);
        if (fds[0].revents)
            return;
        if (fds[1].revents & POLLIN)
            Accept();
        for (std::size_t i = 2; i < fds.size(); ++i) {
            TConnection& connection = FConnections[fds[i].fd];
            const bool keep = (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                                  ? Receive(fds[i].fd, connection)
                                  : Respond(fds[i].fd, connection);
            if (!keep) {
                FConnections.erase(fds[i].fd);
                FOpenConnections = FConnections.size();
            }
        }
        Pace();
    }
}

void TFaultServer::Accept() {
    const int fd = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        FConnections[fd] = {};
        FOpenConnections = FConnections.size();
    }
}

bool TFaultServer::Receive(int fd, TConnection& connection) {
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) {
        ::close(fd); // the client closed or aborted
        return false;
    }
    if (connection.Parked)
        return true; // one request per connection: anything more is ignored
    connection.Received.append(buffer, static_cast<std::size_t>(n));
    if (connection.Received.find("\r\n\r\n") == std::string::npos)
        return true;
    const std::size_t start = connection.Received.find(' ') + 1;
    const std::size_t headers = connection.Received.find("\r\n");
    TFaultRequest request{
        connection.Received.substr(start, connection.Received.find(' ', start) - start),
        connection.Received.substr(headers, connection.Received.find("\r\n\r\n") - headers + 2)};
    {
        std::lock_guard lock(FLock);
        FTargets.push_back(request.Target);
    }
    connection.Reply = FHandler(request);
    connection.Parked = true;
    return Respond(fd, connection);
}

// A parked connection gets its answer once the reply is ready; a silent one never does.
bool TFaultServer::Respond(int fd, TConnection& connection) {
    const TFaultReply& reply = connection.Reply;
    if (!connection.Parked || connection.Sending || reply.Kind == TFaultReply::TKind::Silent ||
        (reply.ReadyWhen && !reply.ReadyWhen()))
        return true;
    const bool reset = reply.Kind == TFaultReply::TKind::ResetMidBody;
    std::string output = Head(reply.Status, reply.Body.size(), reply.Headers) +
                         reply.Body.substr(0, reset ? reply.BytesBeforeReset : std::string::npos);
    if (FLinkRate > 0) {
        connection.Output = std::move(output);
        connection.Sending = true;
        return true;
    }
    SendAll(fd, output);
    Finish(fd, reset);
    return false;
}

void TFaultServer::Finish(int fd, bool reset) {
    const linger hardClose{1, 0}; // a reset instead of an orderly end
    if (reset)
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hardClose, sizeof(hardClose));
    else
        ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

// Round robin in equal shares, so that parallel answers split the link as TCP flows would.
void TFaultServer::Pace() {
    const auto now = std::chrono::steady_clock::now();
    const auto rate = static_cast<double>(FLinkRate.load());
    std::vector<int> sending;
    for (const auto& [fd, connection] : FConnections)
        if (connection.Sending)
            sending.push_back(fd);
    if (sending.empty()) {
        FLinkCredit = 0; // an idle link saves nothing up
    } else {
        const std::chrono::duration<double> elapsed = now - FLinkTime;
        // At most 20 ms of credit: a late turn of the loop must not become a burst.
        FLinkCredit = std::min(FLinkCredit + rate * elapsed.count(), rate * 0.02);
    }
    FLinkTime = now;
    while (!sending.empty() && FLinkCredit >= 1) {
        const double share = std::max(1.0, FLinkCredit / static_cast<double>(sending.size()));
        for (auto fd = sending.begin(); fd != sending.end();) {
            TConnection& connection = FConnections[*fd];
            const std::size_t count =
                std::min(connection.Output.size(), static_cast<std::size_t>(share));
            SendAll(*fd, connection.Output.substr(0, count));
            connection.Output.erase(0, count);
            FLinkCredit -= static_cast<double>(count);
            if (!connection.Output.empty()) {
                ++fd;
                continue;
            }
            Finish(*fd, connection.Reply.Kind == TFaultReply::TKind::ResetMidBody);
            FConnections.erase(*fd);
            FOpenConnections = FConnections.size();
            fd = sending.erase(fd);
        }
    }
}

} // namespace vsr::test
