#pragma once
// Web servers started for one test: a program listening on a free loopback port, killed when
// the object goes and also when the test program dies. TPhpServer is PHP's built-in server
// ("php -S"), which runs the download script; TNginxServer is nginx serving a folder as any
// static web server does, with a configuration written by the test.

#include "support/TempDir.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
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

namespace vsr::test {

class TLocalServer {
public:
    // command gives the program and its arguments for a port. Raises std::runtime_error when
    // the program does not start to listen.
    TLocalServer(const std::function<std::vector<std::string>(int port)>& command,
                 const std::vector<std::string>& environment = {}) {
        for (int attempt = 0; attempt < 3; ++attempt) // the free port may be taken meanwhile
            if (Start(command, environment))
                return;
        throw std::runtime_error(command(0).front() + " did not start");
    }
    ~TLocalServer() { Stop(); }
    TLocalServer(const TLocalServer&) = delete;
    TLocalServer& operator=(const TLocalServer&) = delete;

    // "http://127.0.0.1:PORT/"
    std::string BaseURL() const { return "http://127.0.0.1:" + std::to_string(FPort) + "/"; }
    int Port() const { return FPort; }

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

    bool Start(const std::function<std::vector<std::string>(int port)>& command,
               const std::vector<std::string>& extra) {
        FPort = Loopback(0);
        std::vector<std::string> arguments = command(FPort);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        // The environment is made before the fork: the child may only call what is safe there.
        std::vector<std::string> variables(extra);
        for (char** variable = environ; *variable; ++variable)
            variables.emplace_back(*variable);
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
            ::execvpe(argv[0], argv.data(), environment.data());
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

    pid_t FPid = -1;
    int FPort = 0;
};

// The script's checksum cache goes to a folder of the server's own unless the test names one
// in VSR_CHECKSUM_CACHE. PHP serves one request at a time (no worker processes, which would
// outlive a killed test program).
class TPhpServer : public TLocalServer {
public:
    explicit TPhpServer(const std::string& documentRoot)
        : TPhpServer(documentRoot, std::make_unique<TTempDir>()) {}

    // True when a php executable is on the PATH.
    static bool Available() { return std::system("command -v php > /dev/null 2>&1") == 0; }

private:
    TPhpServer(const std::string& root, std::unique_ptr<TTempDir> cache)
        : TLocalServer(
              [&](int port) {
                  return std::vector<std::string>{"php", "-S", "127.0.0.1:" + std::to_string(port),
                                                  "-t", root};
              },
              std::getenv("VSR_CHECKSUM_CACHE")
                  ? std::vector<std::string>{}
                  : std::vector<std::string>{"VSR_CHECKSUM_CACHE=" + cache->Path().string()}),
          FCache(std::move(cache)) {}

    std::unique_ptr<TTempDir> FCache;
};

// nginx in one process (no master, no daemon), its files in a folder of its own; `locations`
// are more location blocks for the server, such as redirects.
class TNginxServer : public TLocalServer {
public:
    static constexpr const char* Program = "/usr/sbin/nginx";

    explicit TNginxServer(const std::string& documentRoot, const std::string& locations = {})
        : TNginxServer(documentRoot, locations, std::make_unique<TTempDir>()) {}

    static bool Available() { return ::access(Program, X_OK) == 0; }

private:
    TNginxServer(const std::string& root, const std::string& locations,
                 std::unique_ptr<TTempDir> folder)
        : TLocalServer([&](int port) { return Command(*folder, root, locations, port); }),
          FFolder(std::move(folder)) {}

    static std::vector<std::string> Command(const TTempDir& folder, const std::string& root,
                                            const std::string& locations, int port) {
        const std::string path = folder.Path().string(), conf = folder.File("nginx.conf");
        std::ofstream(conf) << "daemon off; master_process off; pid " << path << "/pid;\n"
                            << "events {}\nhttp { access_log off; client_body_temp_path " << path
                            << "/body; proxy_temp_path " << path << "/proxy; fastcgi_temp_path "
                            << path << "/fcgi; uwsgi_temp_path " << path
                            << "/uwsgi; scgi_temp_path " << path
                            << "/scgi;\n server { listen 127.0.0.1:" << port << "; root " << root
                            << ";\n"
                            << locations << " }\n}\n";
        return {Program, "-e", folder.File("error.log"), "-p", path, "-c", conf};
    }

    std::unique_ptr<TTempDir> FFolder;
};

// The folder that holds server/vsr_download.php.
inline std::string ServerScriptFolder() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "server")
        .string();
}

} // namespace vsr::test
