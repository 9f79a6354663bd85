#include "cli/Commands.h"

#include "audio/SndKitLibrary.h"
#include "audio/SndKitSetup.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>

namespace vsr::cli {

namespace {

constexpr const char* cUsage = "usage:\n"
                               "  vsr info FILE [--json]\n"
                               "  vsr frames FILE\n"
                               "  vsr audio FILE -o OUT.wav [--raw]\n"
                               "  vsr snapshot FILE --at MS -o OUT.png [--cursor]\n"
                               "  vsr pack FILE -o OUT [--player PATH]\n"
                               "  vsr export FILE -o OUT.mp4|.webm|.gif|.mkv [--from T] [--to T]\n"
                               "             [--fps N] [--width W] [--no-cursor] [--quality Q]\n"
                               "             [--quiet]\n"
                               "  vsr demo -o OUT.vsr\n";

const std::map<std::string, std::function<int(const TArguments&)>>& Commands() {
    static const std::map<std::string, std::function<int(const TArguments&)>> commands = {
        {"info", InfoCommand},         {"frames", FramesCommand}, {"audio", AudioCommand},
        {"snapshot", SnapshotCommand}, {"pack", PackCommand},     {"demo", DemoCommand},
        {"export", ExportCommand}};
    return commands;
}

} // namespace

std::string TakeOption(TArguments& args, const std::string& option) {
    const auto it = std::find(args.begin(), args.end(), option);
    if (it == args.end())
        return {};
    if (it + 1 == args.end())
        throw EUsage{option + " needs a value"};
    std::string value = *(it + 1);
    args.erase(it, it + 2);
    return value;
}

bool TakeFlag(TArguments& args, const std::string& flag) {
    const auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

std::string SingleFile(const TArguments& args) {
    if (args.size() != 1)
        throw EUsage{args.empty() ? "a file name is missing" : "unexpected argument " + args[1]};
    if (args[0].starts_with("--"))
        throw EUsage{"unknown option " + args[0]};
    return args[0];
}

int Run(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(cUsage, stderr);
        return 2;
    }
    const auto command = Commands().find(argv[1]);
    SndKitLibrary().SetFileName(SndKitBesideExecutable());
    // Lets the sound library release what it holds once every codec of the command is gone.
    struct TSndKitFinish {
        ~TSndKitFinish() { FinishSndKitLibrary(); }
    } finish;
    try {
        if (command == Commands().end())
            throw EUsage{std::string("unknown command ") + argv[1]};
        return command->second(TArguments(argv + 2, argv + argc));
    } catch (const EUsage& usage) {
        std::fprintf(stderr, "vsr: %s\n%s", usage.Message.c_str(), cUsage);
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

} // namespace vsr::cli
