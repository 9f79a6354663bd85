#include "cli/Commands.h"

#include "audio/SndKitLibrary.h"
#include "audio/SndKitSetup.h"
#include "cli/Help.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

namespace vsr::cli {

namespace {

const std::map<std::string, std::function<int(const TArguments&)>>& Commands() {
    static const std::map<std::string, std::function<int(const TArguments&)>> commands = {
        {"info", InfoCommand},         {"frames", FramesCommand}, {"audio", AudioCommand},
        {"snapshot", SnapshotCommand}, {"pack", PackCommand},     {"demo", DemoCommand},
        {"export", ExportCommand},     {"index", IndexCommand},   {"search", SearchCommand}};
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

namespace {

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

// Help and version go to standard output and end the run without touching any file.
std::optional<std::string> InformationAsked(const TArguments& args) {
    if (IsHelp(args[0]))
        return OverviewText();
    if (args[0] == "--version")
        return VersionText();
    if (Commands().contains(args[0]) && std::ranges::any_of(args, IsHelp))
        return CommandHelpText(args[0]);
    return std::nullopt;
}

} // namespace

int Run(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(UsageText().c_str(), stderr);
        return 2;
    }
    if (const auto text = InformationAsked(TArguments(argv + 1, argv + argc))) {
        std::fputs(text->c_str(), stdout);
        return 0;
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
        std::fprintf(stderr, "vsr: %s\n%s", usage.Message.c_str(), UsageText().c_str());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

} // namespace vsr::cli
