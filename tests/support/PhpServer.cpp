#include "support/PhpServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vsr::test {

namespace {

std::string FindPhp() {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/php";
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// A port nobody listens on right now.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool Listening(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

} // namespace

bool TPhpServer::Available() {
    return !FindPhp().empty();
}

std::string ServerScriptFolder() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "server")
        .string();
}

TPhpServer::TPhpServer(const std::string& documentRoot) {
    for (int attempt = 0; attempt < 3; ++attempt)
        if (Start(documentRoot))
            return;
    throw std::runtime_error("php -S did not start");
}

TPhpServer::~TPhpServer() {
    Stop();
}

std::string TPhpServer::BaseURL() const {
    return "http://127.0.0.1:" + std::to_string(FPort) + "/";
}

bool TPhpServer::Start(const std::string& documentRoot) {
    const std::string php = FindPhp();
    if (php.empty())
        throw std::runtime_error("php is not installed");
    FPort = FreePort();
    std::vector<std::string> args{php, "-S", "127.0.0.1:" + std::to_string(FPort), "-t",
                                  documentRoot};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    FPid = ::fork();
    if (FPid == 0) {
        // Only async-signal-safe calls here: the test program may have other threads.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Listening(FPort))
            return true;
        if (::waitpid(FPid, nullptr, WNOHANG) == FPid) {
            FPid = -1;
            return false; // it died, perhaps the port was taken meanwhile
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop();
    return false;
}

void TPhpServer::Stop() {
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
        FPid = -1;
    }
}

} // namespace vsr::test
