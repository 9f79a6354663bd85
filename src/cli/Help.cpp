#include "cli/Help.h"

#include "app/About.h"
#include "export/ExportLibraries.h"

#include <png.h>

#include <algorithm>
#include <iterator>

namespace vsr::cli {

namespace {

struct TCommandHelp {
    std::string_view Name;
    std::string_view Synopsis; // after "vsr "; continuation lines indented
    std::string_view Summary;
    std::string_view Details; // the options and what the command does, as printed
};

constexpr TCommandHelp cCommands[] = {
    {"info", "info FILE [--json]", "header, key frames, cursor track, sound track, overlay",
     "Prints what the recording holds: its header, the key-frame index, the pointer track,\n"
     "the voice track and the header and trailer pictures with the closing link.\n"
     "\n"
     "  --json   one JSON object instead of text\n"},
    {"frames", "frames FILE", "one line per frame record",
     "Prints \"segment time x y width height bits payload_bytes\" for every frame record in\n"
     "file order.\n"},
    {"audio", "audio FILE -o OUT.wav [--raw]", "the decoded voice track, silences as zeros",
     "Decodes the voice track (8000 Hz, mono, 16-bit) with its silences as zeros.\n"
     "\n"
     "  -o OUT.wav   the file to write\n"
     "  --raw        the samples alone, without the WAV header\n"},
    {"snapshot", "snapshot FILE --at MS -o OUT.png [--cursor]",
     "the picture the player shows at play time MS, as PNG",
     "Composes the picture the player holds at play time MS from the last key frame before\n"
     "it and writes it as an 8-bit RGB PNG at the recording's size.\n"
     "\n"
     "  --at MS      the play time in milliseconds\n"
     "  -o OUT.png   the file to write\n"
     "  --cursor     draw the recorded mouse pointer too\n"},
    {"pack", "pack FILE -o OUT [--player PATH]",
     "a self-playing file: the player, the recording, its length",
     "Writes the player program, then the recording, then its length, and makes OUT\n"
     "executable: started, it plays the recording it carries.\n"
     "\n"
     "  -o OUT          the file to write\n"
     "  --player PATH   the player program (default: vsrplayer beside vsr)\n"},
    {"export",
     "export FILE -o OUT.mp4|.webm|.gif|.mkv [--from T] [--to T] [--fps N] [--width W]\n"
     "           [--no-cursor] [--quality Q] [--quiet]",
     "the recording as an ordinary video file",
     "Writes the recording as a video; OUT's extension chooses the kind: .mp4 (H.264 and\n"
     "AAC), .webm (VP9 and Opus), .mkv (H.264 and FLAC) or .gif (no sound).\n"
     "\n"
     "  -o OUT        the file to write\n"
     "  --from T      start at T (1:05, 0:01:05, 65 or 65.5; default the start)\n"
     "  --to T        end at T (default the end)\n"
     "  --fps N       pictures a second, 1 to 60 (default 10)\n"
     "  --width W     scale to W pixels wide; the height follows\n"
     "  --no-cursor   leave the recorded mouse pointer out\n"
     "  --quality Q   1 to 100 (default 80)\n"
     "  --quiet       no progress line on the terminal\n"
     "\n"
     "Ctrl+C stops the export, exits with status 130 and leaves nothing behind.\n"},
    {"index", "index FILE [-o INDEX] [--interval T] [--lang L] [--quiet]",
     "the words on the screen and when they were there, for search",
     "Reads the recording once and recognises the text where the screen changed, at most\n"
     "once per interval for each region, on all cores; each word is kept with its box and\n"
     "the time it stayed on the screen. The index is written beside the recording as\n"
     "FILE.vsrx, or in $XDG_CACHE_HOME/vsrplayer/ when that folder cannot be written; an\n"
     "index that matches the recording (its size and checksum) is kept.\n"
     "\n"
     "  -o INDEX       the index file to write instead\n"
     "  --interval T   recognise a region at most once per T (default 1, in seconds or m:ss)\n"
     "  --lang L       the recognition languages, such as eng or eng+deu (default: English,\n"
     "                 and the locale's language when its tesseract-ocr data is installed)\n"
     "  --quiet        no progress line on the terminal\n"},
    {"search", "search FILE WORDS [--json] [--index INDEX] [--lang L] [--quiet]",
     "when words were on the screen",
     "Prints where and when the words were on the screen: \"FROM-TO  X,Y WxH  TEXT\", one\n"
     "match a line. Case and accents do not count; each word matches whole words and their\n"
     "beginnings, and several words must follow each other on one line. The index is built\n"
     "first when none matches the recording (as vsr index does).\n"
     "\n"
     "  --json          a JSON array of {from, to, text, box, words} (times in ms, boxes as\n"
     "                  [x, y, width, height])\n"
     "  --index INDEX   the index file to use instead\n"
     "  --lang L        the recognition languages, when the index is built\n"
     "  --quiet         no progress line on the terminal\n"},
    {"demo", "demo -o OUT.vsr", "write the demo recording",
     "Writes a 30-second recording of a synthetic 1024 x 768 desktop with a voice track.\n"
     "\n"
     "  -o OUT.vsr   the file to write\n"},
};

const TCommandHelp* Find(std::string_view name) {
    const auto it = std::ranges::find(cCommands, name, &TCommandHelp::Name);
    return it == std::end(cCommands) ? nullptr : it;
}

std::string Synopsis(const TCommandHelp& command) {
    return "  vsr " + std::string(command.Synopsis) + "\n";
}

constexpr std::string_view cExitStatus =
    "Errors print the message on standard error and exit with status 1; a wrong command\n"
    "line exits with status 2. Output files are written whole or not at all.\n";

} // namespace

std::string UsageText() {
    std::string text = "usage:\n";
    for (const TCommandHelp& command : cCommands)
        text += Synopsis(command);
    return text + "  vsr COMMAND --help\n  vsr --help | --version\n";
}

std::string OverviewText() {
    std::string text =
        "vsr: the tool for VSR screen recordings (.vsr)\n\n" + UsageText() + "\ncommands:\n";
    for (const TCommandHelp& command : cCommands) {
        std::string name(command.Name);
        name.resize(10, ' ');
        text += "  " + name + std::string(command.Summary) + "\n";
    }
    return text + "\n" + std::string(cExitStatus);
}

std::string CommandHelpText(std::string_view name) {
    const TCommandHelp* command = Find(name);
    if (!command)
        return {};
    return "usage:\n" + Synopsis(*command) + "\n" + std::string(command->Details) + "\n" +
           std::string(cExitStatus);
}

std::string VersionText() {
    std::vector<TLibraryVersion> libraries = CoreLibraryVersions();
    std::ranges::move(ExportLibraryVersions(), std::back_inserter(libraries));
    libraries.push_back({"libpng", png_get_libpng_ver(nullptr)});
    return "vsr " + std::string(ProgramVersion()) + " (VSR Player)\n" +
           std::string(CopyrightLine()) + "\nLicence: " + std::string(LicenceName()) +
           "\nLibraries: " + LibraryList(libraries) + "\n";
}

} // namespace vsr::cli
