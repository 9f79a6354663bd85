// vsr index and vsr search: the recording's text index, built where none matches.
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Progress.h"
#include "search/TextIndexer.h"
#include "search/TextSearch.h"
#include "shell/PlayTimeText.h"

#include <cstdio>
#include <unistd.h>

namespace vsr::cli {

namespace {

struct TIndexArguments {
    std::string Recording;
    std::string IndexFile;
    TIndexOptions Options;
    bool Quiet = false;
};

TIndexArguments TakeIndexArguments(TArguments& args, const std::string& indexOption) {
    TIndexArguments taken;
    taken.IndexFile = TakeOption(args, indexOption);
    if (const auto interval = TimeOption(args, "--interval")) {
        if (*interval == 0)
            throw EUsage{"--interval must be above 0"};
        taken.Options.IntervalMs = *interval;
    }
    taken.Options.Languages = TakeOption(args, "--lang");
    taken.Quiet = TakeFlag(args, "--quiet");
    return taken;
}

// The index, built with a progress line on a terminal; Ctrl+C ends with 130 and no file.
std::optional<TOpenedIndex> OpenIndex(const TIndexArguments& taken) {
    TProgressLine line(1000);
    const bool showProgress = !taken.Quiet && ::isatty(STDERR_FILENO);
    Interrupted = false;
    const TInterruptScope interrupts;
    try {
        return OpenTextIndex(
            taken.Recording, taken.Options, TIndexPlace::BesideOrCache, taken.IndexFile,
            [&](std::uint32_t done, std::uint32_t total) {
                if (showProgress)
                    line.Show(done, total);
            },
            Interrupted);
    } catch (const EIndexCancelled&) {
        if (showProgress)
            std::fputc('\n', stderr);
        std::fputs("Indexing interrupted; nothing was written\n", stderr);
        return std::nullopt;
    }
}

void PrintMatches(const std::vector<TTextMatch>& matches, bool json) {
    if (!json) {
        for (const TTextMatch& match : matches)
            std::printf("%s-%s  %d,%d %dx%d  %s\n", FormatPlayTime(match.From).c_str(),
                        FormatPlayTime(match.To).c_str(), match.Box.Left, match.Box.Top,
                        match.Box.Width(), match.Box.Height(), match.Text.c_str());
        return;
    }
    const auto box = [](TJsonWriter& json, const TRect& rect) {
        json.BeginArray().Value(std::int64_t{rect.Left}).Value(std::int64_t{rect.Top});
        json.Value(std::int64_t{rect.Width()}).Value(std::int64_t{rect.Height()}).EndArray();
    };
    TJsonWriter writer;
    writer.BeginArray();
    for (const TTextMatch& match : matches) {
        writer.BeginObject().Key("from").Value(std::int64_t{match.From});
        writer.Key("to").Value(std::int64_t{match.To}).Key("text").Value(match.Text);
        box(writer.Key("box"), match.Box);
        writer.Key("words").BeginArray();
        for (const TRect& rect : match.Boxes)
            box(writer, rect);
        writer.EndArray().EndObject();
    }
    writer.EndArray();
    std::printf("%s\n", writer.Text().c_str());
}

} // namespace

int IndexCommand(const TArguments& arguments) {
    TArguments args = arguments;
    TIndexArguments taken = TakeIndexArguments(args, "-o");
    taken.Recording = SingleFile(args);
    const auto opened = OpenIndex(taken);
    if (!opened)
        return 130;
    if (opened->FileName.empty())
        throw EIndex("The index could not be written beside the recording or in the cache");
    std::printf("%s %s: %zu words\n",
                opened->Built ? "Wrote" : "Up to date:", opened->FileName.c_str(),
                opened->Index.Words.size());
    return 0;
}

int SearchCommand(const TArguments& arguments) {
    TArguments args = arguments;
    TIndexArguments taken = TakeIndexArguments(args, "--index");
    const bool json = TakeFlag(args, "--json");
    if (args.size() != 2)
        throw EUsage{"search needs a file and the words to find"};
    if (args[0].starts_with("--") || args[1].starts_with("--"))
        throw EUsage{"unknown option " + (args[0].starts_with("--") ? args[0] : args[1])};
    taken.Recording = args[0];
    const auto opened = OpenIndex(taken);
    if (!opened)
        return 130;
    PrintMatches(SearchTextIndex(opened->Index, args[1]), json);
    return 0;
}

} // namespace vsr::cli
