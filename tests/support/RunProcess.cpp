#include "support/RunProcess.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>

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

// The output goes to files rather than pipes: nothing can block the child or the caller.
TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment) {
    const TTempDir dir;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const auto& [fd, name] : {std::pair{1, dir.File("out")}, {2, dir.File("err")}})
        posix_spawn_file_actions_addopen(&actions, fd, name.c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<std::string> env(environment);
    for (char** entry = environ; *entry; ++entry)
        env.emplace_back(*entry);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr,
                                    Pointers(args).data(), Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + program);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            Contents(dir.File("out")), Contents(dir.File("err"))};
}

} // namespace vsr::test
