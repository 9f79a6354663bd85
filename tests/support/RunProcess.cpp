#include "support/RunProcess.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace vsr::test {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::string Contents(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TChildProcess::TChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& environment) {
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

TChildProcess::~TChildProcess() {
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
}

void TChildProcess::Signal(int signal) const {
    if (FPid > 0)
        ::kill(FPid, signal);
}

TProcessResult TChildProcess::Wait(std::chrono::milliseconds timeout) {
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

TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment) {
    return TChildProcess(program, arguments, environment).Wait();
}

} // namespace vsr::test
