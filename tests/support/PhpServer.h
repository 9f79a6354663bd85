#pragma once
// TPhpServer: PHP's built-in web server ("php -S 127.0.0.1:PORT -t FOLDER") serving a folder
// for one test. The script's checksum cache goes to a folder of the server's own unless the
// test names one in VSR_CHECKSUM_CACHE. The port is a free one; the server is killed when the
// object goes, and also when the test program dies. PHP serves one request at a time (no worker
// processes, which would outlive a killed test program).

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/TempDir.h"

namespace vsr::test {

class TPhpServer {
public:
    // Raises std::runtime_error when PHP cannot be found or does not start to listen.
    explicit TPhpServer(const std::string& documentRoot) {
        for (int attempt = 0; attempt < 3; ++attempt) // the free port may be taken meanwhile
            if (Start(documentRoot))
                return;
        throw std::runtime_error("php -S did not start");
    }
    ~TPhpServer() { Stop(); }
    TPhpServer(const TPhpServer&) = delete;
    TPhpServer& operator=(const TPhpServer&) = delete;

    // "http://127.0.0.1:PORT/"
    std::string BaseURL() const { return "http://127.0.0.1:" + std::to_string(FPort) + "/"; }

    // True when a php executable is on the PATH.
    static bool Available() { return std::system("command -v php > /dev/null 2>&1") == 0; }

private:
    // Port 0: a port nobody listens on right now. Else port when somebody listens there, or 0.
    static int Loopback(int port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        auto* any = reinterpret_cast<sockaddr*>(&address);
        socklen_t length = sizeof(address);
        const bool found =
            port ? ::connect(fd, any, length) == 0
                 : ::bind(fd, any, length) == 0 && ::getsockname(fd, any, &length) == 0;
        ::close(fd);
        return found ? ntohs(address.sin_port) : 0;
    }

    bool Start(const std::string& documentRoot) {
        FPort = Loopback(0);
        std::string address = "127.0.0.1:" + std::to_string(FPort), root = documentRoot;
        char php[] = "php", serve[] = "-S", folder[] = "-t";
        char* argv[] = {php, serve, address.data(), folder, root.data(), nullptr};
        // The environment is made before the fork: the child may only call what is safe there.
        std::vector<std::string> variables;
        for (char** variable = environ; *variable; ++variable)
            variables.emplace_back(*variable);
        if (!std::getenv("VSR_CHECKSUM_CACHE"))
            variables.push_back("VSR_CHECKSUM_CACHE=" + FCache.Path().string());
        std::vector<char*> environment;
        for (std::string& variable : variables)
            environment.push_back(variable.data());
        environment.push_back(nullptr);
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
            ::execvpe(php, argv, environment.data());
            ::_exit(127);
        }
        for (int step = 0; step < 250; ++step) { // 5 s
            if (Loopback(FPort) != 0)
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

    void Stop() {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
            FPid = -1;
        }
    }

    TTempDir FCache;
    pid_t FPid = -1;
    int FPort = 0;
};

// The folder that holds server/vsr_download.php.
inline std::string ServerScriptFolder() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "server")
        .string();
}

} // namespace vsr::test
