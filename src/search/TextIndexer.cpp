#include "search/TextIndexer.h"

#include "recording/ScreenRecorderPlaybackFile.h"
#include "render/PictureSequence.h"
#include "search/OcrPool.h"
#include "search/ScreenChanges.h"
#include "shell/Format.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <optional>
#include <tuple>
#include <unistd.h>

namespace vsr {

namespace {

// Below this the engine's guesses are mostly shapes that are no words.
constexpr float cLeastConfidence = 40;

// Two sightings are the same word when its text is the same and its box moved by at most this.
constexpr std::int32_t cSamePlace = 3;

bool SamePlace(const TRect& a, const TRect& b) {
    return std::abs(a.Left - b.Left) <= cSamePlace && std::abs(a.Top - b.Top) <= cSamePlace &&
           std::abs(a.Right - b.Right) <= cSamePlace && std::abs(a.Bottom - b.Bottom) <= cSamePlace;
}

// One sample's recognition, applied in the order of the samples.
struct TSample {
    std::uint32_t Time = 0;
    std::uint32_t Before = 0; // the sample before: the last time an ended word was seen
    std::vector<TRect> Changed;
    std::vector<TRect> Regions;
    std::vector<std::future<std::vector<TOcrWord>>> Words; // one per region
};

class TIndexBuilder {
public:
    TIndexBuilder(const std::string& recording, const TIndexOptions& options,
                  const std::string& languages)
        : FReader(recording), FOptions(options), FPool(languages, options.Threads) {
        const TVSRHeader& header = FReader.Header();
        if (header.Width <= 0 || header.Height <= 0 || header.Width > TBitmap32::MaxSide ||
            header.Height > TBitmap32::MaxSide)
            throw EIndex(
                Format("%s: invalid picture size %d x %d", recording, header.Width, header.Height));
        FBounds = {0, 0, header.Width, header.Height};
        FLength = static_cast<std::uint32_t>(
            std::max<std::int64_t>(header.StopTickCount - header.StartTickCount, 0));
        PrepareBitmap(FPicture, header.Width, header.Height);
        PrepareBitmap(FLast, header.Width, header.Height);
    }

    std::vector<TIndexedWord> Run(const TIndexProgress& progress, const std::atomic<bool>& cancel) {
        TPictureSequence sequence(FReader, FPicture);
        const std::uint32_t interval = std::max<std::uint32_t>(FOptions.IntervalMs, 1);
        std::uint32_t before = 0;
        for (std::uint32_t time = 0;; time = std::min(time + interval, FLength)) {
            if (cancel)
                throw EIndexCancelled("Indexing cancelled");
            sequence.ShowAt(time);
            Submit(time, before, sequence.TakeChanged());
            while (FPending.size() > static_cast<std::size_t>(2 * FPool.Threads()))
                ApplyFirst(cancel);
            if (progress)
                progress(time, FLength);
            before = time;
            if (time >= FLength)
                break;
        }
        while (!FPending.empty())
            ApplyFirst(cancel);
        for (TIndexedWord& word : FLive)
            word.To = FLength;
        FDone.insert(FDone.end(), FLive.begin(), FLive.end());
        std::ranges::sort(FDone, [](const TIndexedWord& a, const TIndexedWord& b) {
            return std::tuple(a.From, a.Box.Top, a.Box.Left) <
                   std::tuple(b.From, b.Box.Top, b.Box.Left);
        });
        return std::move(FDone);
    }

private:
    void Submit(std::uint32_t time, std::uint32_t before, const TChangedArea& drawn) {
        TSample sample{time, before, {}, {}, {}};
        for (const TRect& rect : drawn.Rects())
            if (const TRect part = FFirst ? IntersectRect(rect, FBounds)
                                          : DifferingPart(FPicture.View(), FLast.View(),
                                                          IntersectRect(rect, FBounds));
                !part.Empty() && std::ranges::find(sample.Changed, part) == sample.Changed.end())
                sample.Changed.push_back(part);
        FFirst = false;
        if (sample.Changed.empty())
            return;
        for (const TRect& rect : sample.Changed)
            for (std::int32_t y = rect.Top; y < rect.Bottom; ++y)
                std::copy(FPicture.Row(y) + rect.Left, FPicture.Row(y) + rect.Right,
                          FLast.Row(y) + rect.Left);
        // Words of earlier samples still waiting count too: their boxes come whole.
        std::vector<TRect> touched;
        const auto touch = [&](const TIndexedWord& word) {
            if (std::ranges::any_of(sample.Changed,
                                    [&](const TRect& rect) { return Meet(rect, word.Box); }))
                touched.push_back(word.Box);
        };
        std::ranges::for_each(FLive, touch);
        sample.Regions = RegionsToRecognise(FPicture.View(), sample.Changed, touched);
        for (const TRect& region : sample.Regions)
            sample.Words.push_back(FPool.Recognize(FPicture.View(), region));
        FPending.push_back(std::move(sample));
    }

    void ApplyFirst(const std::atomic<bool>& cancel) {
        TSample sample = std::move(FPending.front());
        FPending.pop_front();
        std::vector<TOcrWord> found;
        for (std::size_t i = 0; i < sample.Regions.size(); ++i) {
            while (sample.Words[i].wait_for(std::chrono::milliseconds(50)) !=
                   std::future_status::ready)
                if (cancel)
                    throw EIndexCancelled("Indexing cancelled");
            for (TOcrWord& word : sample.Words[i].get()) {
                word.Text = VisibleText(word.Text);
                if (!word.Text.empty() && word.Confidence >= cLeastConfidence &&
                    !AtCutEdge(word.Box, sample.Regions[i], FBounds))
                    found.push_back(std::move(word));
            }
        }
        const auto changed = [&](const TRect& box) {
            return std::ranges::any_of(sample.Changed,
                                       [&](const TRect& rect) { return Meet(rect, box); });
        };
        std::vector<bool> used(found.size());
        const auto sighting = [&](const TIndexedWord& word) -> bool {
            for (std::size_t i = 0; i < found.size(); ++i)
                if (!used[i] && found[i].Text == word.Text && SamePlace(found[i].Box, word.Box)) {
                    used[i] = true;
                    return true;
                }
            return false;
        };
        std::vector<TIndexedWord> live;
        for (TIndexedWord& word : FLive) {
            if (sighting(word) || !changed(word.Box)) {
                live.push_back(std::move(word));
                continue;
            }
            word.To = sample.Before;
            FDone.push_back(std::move(word));
        }
        for (std::size_t i = 0; i < found.size(); ++i)
            if (!used[i])
                live.push_back({std::move(found[i].Text), found[i].Box, sample.Time, sample.Time});
        FLive = std::move(live);
    }

    TScreenRecorderPlaybackFile FReader;
    TIndexOptions FOptions;
    TOcrPool FPool;
    TRect FBounds;
    std::uint32_t FLength = 0;
    TBitmap32 FPicture;
    TBitmap32 FLast; // the picture as the samples so far left it
    bool FFirst = true;
    std::deque<TSample> FPending;
    std::vector<TIndexedWord> FLive;
    std::vector<TIndexedWord> FDone;
};

bool Writable(const std::string& fileName) {
    std::error_code error;
    const auto folder = std::filesystem::path(fileName).parent_path();
    return ::access((folder.empty() ? std::string(".") : folder.string()).c_str(), W_OK) == 0;
}

// identity: the recording's, when the caller has it already; read otherwise.
TTextIndex BuildIndex(const std::string& recording, const TIndexOptions& options,
                      const TIndexProgress& progress, const std::atomic<bool>& cancel,
                      std::optional<TRecordingIdentity> identity) {
    TTextIndex index;
    index.Languages = options.Languages.empty() ? DefaultOcrLanguages() : options.Languages;
    index.IntervalMs = options.IntervalMs;
    FindOcrData(index.Languages);
    index.Recording = identity ? *identity : IdentifyRecording(recording);
    TIndexBuilder builder(recording, options, index.Languages);
    index.Words = builder.Run(progress, cancel);
    return index;
}

} // namespace

TTextIndex BuildTextIndex(const std::string& recording, const TIndexOptions& options,
                          const TIndexProgress& progress, const std::atomic<bool>& cancel) {
    return BuildIndex(recording, options, progress, cancel, std::nullopt);
}

TOpenedIndex OpenTextIndex(const std::string& recording, const TIndexOptions& options,
                           TIndexPlace place, const std::string& explicitFile,
                           const TIndexProgress& progress, const std::atomic<bool>& cancel) {
    const TRecordingIdentity identity = IdentifyRecording(recording);
    std::vector<std::string> places;
    if (!explicitFile.empty())
        places.push_back(explicitFile);
    else {
        if (place == TIndexPlace::BesideOrCache)
            places.push_back(IndexFileBeside(recording));
        places.push_back(CachedIndexFile(identity));
    }
    // An index for other languages than those asked for is built again.
    for (const std::string& fileName : places)
        if (auto index = ReadTextIndex(fileName, identity);
            index && (options.Languages.empty() || index->Languages == options.Languages))
            return {std::move(*index), fileName, false};
    TOpenedIndex opened{BuildIndex(recording, options, progress, cancel, identity), {}, true};
    for (const std::string& fileName : places) {
        if (fileName != explicitFile && !Writable(fileName) &&
            std::filesystem::exists(std::filesystem::path(fileName).parent_path()))
            continue;
        try {
            WriteTextIndex(fileName, opened.Index);
            opened.FileName = fileName;
            break;
        } catch (const EIndex&) {
            if (fileName == explicitFile)
                throw;
        }
    }
    return opened;
}

} // namespace vsr
