#pragma once
// TPhpServer: PHP's built-in web server ("php -S 127.0.0.1:PORT -t FOLDER") serving a folder
// for one test. The port is a free one; the server is killed when the object goes, and also
// when the test program dies. PHP serves one request at a time (no worker processes, which
// would outlive a killed test program).

#include <string>
#include <sys/types.h>

namespace vsr::test {

class TPhpServer {
public:
    // Raises std::runtime_error when PHP cannot be found or does not start to listen.
    explicit TPhpServer(const std::string& documentRoot);
    ~TPhpServer();
    TPhpServer(const TPhpServer&) = delete;
    TPhpServer& operator=(const TPhpServer&) = delete;

    int Port() const { return FPort; }
    // "http://127.0.0.1:PORT/"
    std::string BaseURL() const;

    // True when a php executable is on the PATH.
    static bool Available();

private:
    bool Start(const std::string& documentRoot);
    void Stop();

    pid_t FPid = -1;
    int FPort = 0;
};

// The folder that holds server/vsr_download.php.
std::string ServerScriptFolder();

} // namespace vsr::test
