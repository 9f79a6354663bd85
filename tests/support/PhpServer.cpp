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

namespace vsr::test {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// A port nobody listens on right now.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool Listening(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

} // namespace

bool TPhpServer::Available() {
    return std::system("command -v php > /dev/null 2>&1") == 0;
}

std::string ServerScriptFolder() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "server")
        .string();
}

TPhpServer::TPhpServer(const std::string& documentRoot) {
    for (int attempt = 0; attempt < 3; ++attempt) // the free port may be taken meanwhile
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
    FPort = FreePort();
    std::string address = "127.0.0.1:" + std::to_string(FPort), root = documentRoot;
    char php[] = "php", serve[] = "-S", folder[] = "-t";
    char* argv[] = {php, serve, address.data(), folder, root.data(), nullptr};
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
        ::execvp(php, argv);
        ::_exit(127);
    }
    for (int step = 0; step < 250; ++step) { // 5 s
        if (Listening(FPort))
            return true;
        if (::waitpid(FPid, nullptr, WNOHANG) == FPid) {
            FPid = -1;
            return false;
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
