#pragma once
// Runs a program and collects its exit status and output.

#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vsr::test {

struct TProcessResult {
    int ExitCode = -1; // 128 + the signal for a program a signal ended
    std::string Out;
    std::string Err;
};

// A program started (no shell) with extra "NAME=value" environment entries, which win over the
// test's own. Its output goes to files, so that nothing can block it or the test.
class TChildProcess {
public:
    TChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment = {}) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (const auto& [fd, name] : {std::pair{1, FDir.File("out")}, {2, FDir.File("err")}})
            posix_spawn_file_actions_addopen(&actions, fd, name.c_str(), O_WRONLY | O_CREAT, 0600);
        std::vector<std::string> args{program};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<std::string> env(environment);
        for (char** entry = environ; *entry; ++entry)
            env.emplace_back(*entry);
        const int spawned = posix_spawn(&FPid, program.c_str(), &actions, nullptr,
                                        Pointers(args).data(), Pointers(env).data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            throw std::runtime_error("cannot start " + program);
    }
    ~TChildProcess() { // kills a child still running
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
    }
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    pid_t Id() const { return FPid; }
    void Signal(int signal) const {
        if (FPid > 0)
            ::kill(FPid, signal);
    }
    // Waits for the end; a child still running after timeout is killed and gets ExitCode -1.
    TProcessResult Wait(std::chrono::milliseconds timeout = std::chrono::minutes(5)) {
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        pid_t ended = 0;
        while ((ended = ::waitpid(FPid, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        int code = -1;
        if (ended == FPid) {
            FPid = 0;
            code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return {code, Contents(FDir.File("out")), Contents(FDir.File("err"))};
    }

private:
    static std::vector<char*> Pointers(std::vector<std::string>& texts) {
        std::vector<char*> pointers;
        for (auto& text : texts)
            pointers.push_back(text.data());
        pointers.push_back(nullptr);
        return pointers;
    }
    static std::string Contents(const std::string& fileName) {
        std::ifstream in(fileName, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    TTempDir FDir;
    pid_t FPid = 0;
};

// Runs program to its end.
inline TProcessResult RunProcess(const std::string& program,
                                 const std::vector<std::string>& arguments,
                                 const std::vector<std::string>& environment = {}) {
    return TChildProcess(program, arguments, environment).Wait();
}

// The id of a process that has ended, which no process has any more.
inline std::string EndedProcessId() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return std::to_string(child);
}

} // namespace vsr::test
