#pragma once
// Building a recording's text index: the recording is read once and its pictures composed as
// the player shows them; where the screen changed, the changed region (the union of the
// update's tiles, grown to whole words) is recognised at most once per interval, on a pool of
// worker threads with a recognition engine each. A word's span ends when a later update
// covers its box and it is not recognised there again.

#include "search/TextIndex.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace vsr {

class EIndexCancelled : public EIndex {
public:
    using EIndex::EIndex;
};

struct TIndexOptions {
    std::uint32_t IntervalMs = 1000;
    std::string Languages; // empty: DefaultOcrLanguages()
    int Threads = 0;       // 0: one per core
};

// Called from the building thread with the recording time reached and the recording's length.
using TIndexProgress = std::function<void(std::uint32_t doneMs, std::uint32_t totalMs)>;

// Raises EIndex (no recognition data for the languages: the message names the package to
// install), the reader's errors for a file that is no recording, EIndexCancelled when cancel
// was set.
TTextIndex BuildTextIndex(const std::string& recording, const TIndexOptions& options,
                          const TIndexProgress& progress, const std::atomic<bool>& cancel);

enum class TIndexPlace {
    BesideOrCache, // "<recording>.vsrx", or the cache when that cannot be written
    CacheOnly,     // the cache only (a stream's download buffer)
};

struct TOpenedIndex {
    TTextIndex Index;
    std::string FileName; // where it was read or written; empty when it could not be written
    bool Built = false;   // false: read from a file that matched
};

// The index of the recording: an explicit file (when given), else beside or in the cache,
// read when it matches the recording, else built and written there.
TOpenedIndex OpenTextIndex(const std::string& recording, const TIndexOptions& options,
                           TIndexPlace place, const std::string& explicitFile,
                           const TIndexProgress& progress, const std::atomic<bool>& cancel);

} // namespace vsr
