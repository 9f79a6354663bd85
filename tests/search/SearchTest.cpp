// The text index and its search: the file format and what makes it untrusted, folding and
// matching, the regions recognised, and indexing real pictures (Tesseract with the English
// data) through the tool: the demo's typed text at the time it was typed, a line that
// scrolled away, a damaged index, missing language data.
#include "cli/demo/DemoFont.h"
#include "platform/Stream.h"
#include "platform/TextFiles.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "render/Bitmap32.h"
#include "search/ScreenChanges.h"
#include "search/TextIndexer.h"
#include "search/TextSearch.h"
#include "support/Env.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <regex>

namespace vsr {
namespace {

using test::RunProcess;

TTextIndex SampleIndex() {
    return {{1234, 0xDEADBEEF},
            1000,
            "eng",
            {{"Élan", {10, 20, 60, 34}, 0, 4000},
             {"vital", {66, 21, 110, 34}, 1000, 9000},
             {"Straße.", {120, 20, 180, 34}, 2000, 3000},
             {"vitality", {10, 60, 80, 74}, 5000, 6000},
             {"Élan", {10, 100, 60, 114}, 7000, 8000},
             {"élan", {70, 100, 120, 114}, 7000, 8000}}};
}

TEST(TextIndex, WhatIsWrittenReadsBackAndAnythingElseIsNotTrusted) {
    const TTextIndex index = SampleIndex();
    const std::string text = FormatTextIndex(index);
    EXPECT_EQ(ParseTextIndex(text), index);
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    const std::pair<const char*, std::string> damaged[] = {
        {"cut short", text.substr(0, text.size() - 5)},
        {"cut at a line", text.substr(0, text.find("end "))},
        {"another version", replaced("VSRX 1", "VSRX 2")},
        {"a word changed", replaced("vital\n", "vita1\n")},
        {"a time changed", replaced("1000 9000", "1000 9001")},
        {"more words than lines", replaced("words 6", "words 7")},
        {"something after the end", text + "x\n"},
        {"empty", ""}};
    for (const auto& [what, bad] : damaged)
        EXPECT_EQ(ParseTextIndex(bad), std::nullopt) << what;

    test::TTempDir dir;
    const std::string recording = dir.File("r.vsr");
    WriteTextFile(recording, "some recording bytes");
    const TRecordingIdentity identity = IdentifyRecording(recording);
    EXPECT_EQ(identity,
              (TRecordingIdentity{
                  20, static_cast<std::uint32_t>(
                          crc32(0, reinterpret_cast<const Bytef*>("some recording bytes"), 20))}));
    TTextIndex mine = index;
    mine.Recording = identity;
    WriteTextIndex(IndexFileBeside(recording), mine);
    EXPECT_EQ(ReadTextIndex(dir.File("r.vsr.vsrx"), identity), mine);
    EXPECT_EQ(ReadTextIndex(dir.File("r.vsr.vsrx"), {20, identity.Checksum + 1}), std::nullopt);
    EXPECT_EQ(ReadTextIndex(dir.File("none.vsrx"), identity), std::nullopt);
    const test::TEnvScope cache("XDG_CACHE_HOME", "/c");
    EXPECT_EQ(CachedIndexFile({1234, 0xBEEF}), "/c/vsrplayer/1234-0000beef.vsrx");
}

TEST(TextSearch, WordsMatchWholeOrByTheirBeginningCaseAndAccentsAsideInARowOnOneLine) {
    EXPECT_EQ(FoldText("Élan STRAßE Æon ĳ Ωmega"), "elan strasse aeon ij Ωmega");
    const TTextIndex index = SampleIndex();
    struct TCase {
        const char* Query;
        std::vector<std::string> Found; // "from-to text"
    };
    const TCase cases[] = {{"ELAN", {"0-4000 Élan", "7000-8000 Élan", "7000-8000 élan"}},
                           {"vit", {"1000-9000 vital", "5000-6000 vitality"}},
                           {"vitality", {"5000-6000 vitality"}},
                           {"strasse", {"2000-3000 Straße."}},
                           {"élan vital", {"1000-4000 Élan vital"}}, // while both are there
                           {"elan v", {"1000-4000 Élan vital"}}, // the last word by its start too
                           {"vital strasse", {"2000-3000 vital Straße."}},
                           {"elan strasse", {}},  // not next to each other
                           {"vitality elan", {}}, // another line
                           {"elan elan", {"7000-8000 Élan élan"}},
                           {"  ", {}},
                           {"...", {}}};
    for (const TCase& c : cases) {
        std::vector<std::string> found;
        for (const TTextMatch& match : SearchTextIndex(index, c.Query))
            found.push_back(std::to_string(match.From) + "-" + std::to_string(match.To) + " " +
                            match.Text);
        EXPECT_EQ(found, c.Found) << c.Query;
    }
    const TTextMatch pair = SearchTextIndex(index, "elan vital").at(0);
    EXPECT_EQ(pair.Box, (TRect{10, 20, 110, 34}));
    EXPECT_EQ(pair.Boxes, (std::vector<TRect>{{10, 20, 60, 34}, {66, 21, 110, 34}}));
}

// A change is grown to whole words and lines: to the rows and columns of one colour around it.
TEST(ScreenChanges, RegionsReachBlankRowsAndColumnsAndMerge) {
    TBitmap32 picture(200, 100);
    picture.Fill(0xFFFFFFFF);
    const auto ink = [&](const TRect& r) {
        for (std::int32_t y = r.Top; y < r.Bottom; ++y)
            for (std::int32_t x = r.Left; x < r.Right; ++x)
                if (y % 7 != 3 && x % 6 < 4) // letters with narrow gaps between and inside
                    picture.At(x, y) = 0xFF000000;
    };
    ink({20, 10, 80, 24});  // a word
    ink({90, 10, 150, 24}); // the next word, a space between
    ink({20, 60, 60, 74});  // a word further down
    const TRect words[] = {{20, 10, 80, 24}, {90, 10, 150, 24}, {20, 60, 60, 74}};
    // The changes, and which words (by index) the regions hold whole, the others not at all.
    const std::pair<std::vector<TRect>, std::vector<std::vector<int>>> cases[] = {
        {{{40, 15, 42, 17}}, {{0}}},
        {{{40, 15, 42, 17}, {100, 20, 101, 21}}, {{0}, {1}}},
        {{{40, 15, 100, 17}}, {{0, 1}}},
        {{{40, 15, 42, 17}, {30, 65, 31, 66}}, {{0}, {2}}},
        {{{70, 20, 100, 66}}, {{0, 1, 2}}}};
    for (const auto& [changed, held] : cases) {
        const auto regions = RegionsToRecognise(picture.View(), changed, {});
        ASSERT_EQ(regions.size(), held.size());
        for (std::size_t r = 0; r < regions.size(); ++r)
            for (int w = 0; w < 3; ++w) {
                const bool in = std::ranges::find(held[r], w) != held[r].end();
                EXPECT_EQ(IntersectRect(regions[r], words[w]), in ? words[w] : TRect{})
                    << "change " << changed[0].Left << " region " << r << " word " << w;
            }
    }
    EXPECT_TRUE(AtCutEdge({18, 30, 40, 40}, {18, 8, 82, 60}, {0, 0, 200, 100}));
    EXPECT_FALSE(AtCutEdge({20, 30, 40, 40}, {18, 8, 82, 60}, {0, 0, 200, 100}));
    EXPECT_FALSE(AtCutEdge({0, 0, 40, 40}, {0, 0, 82, 60}, {0, 0, 200, 100}));
}

// Real recognition through the tool, on recordings written here.
class SearchTool : public testing::Test {
protected:
    test::TProcessResult Vsr(const std::vector<std::string>& args,
                             const std::vector<std::string>& env = {}) {
        std::vector<std::string> environment{"XDG_CACHE_HOME=" + FDir.File("cache")};
        environment.insert(environment.end(), env.begin(), env.end());
        return RunProcess(VSR_TOOL_PATH, args, environment);
    }
    // "from to text" of every match.
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::string, std::int32_t>>
    Matches(const std::string& file, const std::string& query) {
        const auto result = Vsr({"search", file, query, "--json"});
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        std::vector<std::tuple<std::uint32_t, std::uint32_t, std::string, std::int32_t>> found;
        const std::regex match(
            R"re(\{"from": (\d+), "to": (\d+), "text": "([^"]*)", "box": \[\d+, (\d+))re");
        for (std::sregex_iterator it(result.Out.begin(), result.Out.end(), match), end; it != end;
             ++it)
            found.emplace_back(std::stoul((*it)[1]), std::stoul((*it)[2]), (*it)[3],
                               std::stoi((*it)[4]));
        return found;
    }

    test::TTempDir FDir;
};

// The demo types "HELLO FROM THE VSR PLAYER!" from 14 s on, a letter every 120 ms.
TEST_F(SearchTool, TheDemosTypedTextIsFoundWhenItWasTypedAndADamagedIndexIsBuiltAgain) {
    const std::string demo = FDir.File("demo.vsr");
    ASSERT_EQ(Vsr({"demo", "-o", demo}).ExitCode, 0);
    const auto hello = Matches(demo, "Hello from");
    ASSERT_EQ(hello.size(), 1u);
    const auto [from, to, text, top] = hello[0];
    EXPECT_NEAR(from, 14000 + 10 * 120, 1000);
    EXPECT_EQ(std::tuple(to, text), std::tuple(30000u, "HELLO FROM"));
    const std::string index = demo + ".vsrx";
    ASSERT_TRUE(ReadTextFile(index));
    const std::string whole = *ReadTextFile(index);
    const auto indexed = Vsr({"index", demo});
    EXPECT_EQ(indexed.Out.substr(0, 11), "Up to date:") << indexed.Out;
    WriteTextFile(index, whole.substr(0, whole.size() / 2));
    EXPECT_EQ(Matches(demo, "hello").size(), 1u);
    EXPECT_EQ(ReadTextFile(index), whole) << "built again, the same";
}

// Lines scroll up by one every 2 s: a word that left is not found after it left, and the
// word that moved up is found at each place for the time it was there.
TEST_F(SearchTool, AWordThatScrolledAwayIsNotFoundAfterItLeft) {
    const std::vector<std::string> lines{"HELLO", "FRAME", "TOOL", "START", "TRASH", "HOME"};
    const std::string file = FDir.File("scroll.vsr");
    {
        TFileStream output(file, TFileMode::Create);
        TRecordingOptions options;
        options.Duration = 8000;
        TScreenRecorderFileWriter writer(output, 320, 128, options);
        for (std::uint32_t step = 0; step < 3; ++step) {
            TScreenPicture picture(320, 128, 0xFFFFFF);
            for (std::size_t line = 0; line < 4; ++line)
                cli::demo::DrawText(picture, 16, 12 + 28 * static_cast<std::int32_t>(line),
                                    lines[step + line], 2, 0x202020);
            writer.AddPicture(step * 2000, picture);
        }
        writer.Finish({});
    }
    const auto hello = Matches(file, "hello");
    ASSERT_EQ(hello.size(), 1u);
    EXPECT_LT(std::get<1>(hello[0]), 2000u) << "gone at 2 s";
    const auto frame = Matches(file, "frame");
    ASSERT_EQ(frame.size(), 2u);
    EXPECT_EQ(std::tuple(std::get<0>(frame[0]), std::get<3>(frame[0])), std::tuple(0u, 40));
    EXPECT_LT(std::get<1>(frame[0]), 2000u);
    EXPECT_EQ(std::tuple(std::get<0>(frame[1]), std::get<3>(frame[1])), std::tuple(2000u, 12));
    EXPECT_LT(std::get<1>(frame[1]), 4000u);
    EXPECT_EQ(std::get<1>(Matches(file, "home").at(0)), 8000u) << "to the end";
}

TEST_F(SearchTool, MissingLanguageDataIsToldAndNothingIsWritten) {
    const std::string demo = FDir.File("demo.vsr");
    ASSERT_EQ(Vsr({"demo", "-o", demo}).ExitCode, 0);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"TESSDATA_PREFIX=" + FDir.File("nothing")}, "install tesseract-ocr-eng"},
        {{}, "install tesseract-ocr-xyz"}};
    for (const auto& [env, message] : cases) {
        const auto result = Vsr({"index", demo, "--lang", env.empty() ? "xyz" : "eng"}, env);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find("No text recognition data for"), std::string::npos) << result.Err;
        EXPECT_NE(result.Err.find(message), std::string::npos) << result.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(demo + ".vsrx"));
}

} // namespace
} // namespace vsr
