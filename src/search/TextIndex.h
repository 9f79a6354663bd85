#pragma once
// The text index of a recording: every word recognised on its screen, with its box and the
// time span during which it stayed there, and the identity (size and CRC-32) of the recording
// it was built from. Stored as a small text file of its own (format in the README, "Search");
// an index that does not parse whole, or that names another recording, is never trusted.

#include "render/Geometry.h"
#include "shell/Exception.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vsr {

class EIndex : public Exception {
public:
    using Exception::Exception;
};

struct TRecordingIdentity {
    std::uint64_t Size = 0;
    std::uint32_t Checksum = 0; // CRC-32 of the whole file
    bool operator==(const TRecordingIdentity&) const = default;
};

struct TIndexedWord {
    std::string Text;       // as recognised (UTF-8)
    TRect Box;              // in the recording's pixels
    std::uint32_t From = 0; // ms: the first time it was seen
    std::uint32_t To = 0;   // ms: the last time it was seen (the end when it stayed)
    bool operator==(const TIndexedWord&) const = default;
};

struct TTextIndex {
    TRecordingIdentity Recording;
    std::uint32_t IntervalMs = 1000;
    std::string Languages;           // "eng", "eng+deu"
    std::vector<TIndexedWord> Words; // by From, then top to bottom, left to right
    bool operator==(const TTextIndex&) const = default;
};

inline constexpr std::string_view TextIndexMagic = "VSRX 1";

// text without blanks and control characters: what one word of the file may hold.
std::string VisibleText(std::string_view text);

std::string FormatTextIndex(const TTextIndex& index);
// nullopt for anything that is not a whole index of this version.
std::optional<TTextIndex> ParseTextIndex(std::string_view text);

// Reads the whole file; raises the stream's error when it cannot be read.
TRecordingIdentity IdentifyRecording(const std::string& fileName);

// "<recording>.vsrx"
std::string IndexFileBeside(const std::string& recording);
// "$XDG_CACHE_HOME/vsrplayer/<size>-<crc32 in hex>.vsrx" (~/.cache without the variable).
std::string CachedIndexFile(const TRecordingIdentity& identity);

// The index at fileName when it is whole and was built from the recording identified.
std::optional<TTextIndex> ReadTextIndex(const std::string& fileName,
                                        const TRecordingIdentity& identity);
// Written atomically; raises EIndex when it cannot be.
void WriteTextIndex(const std::string& fileName, const TTextIndex& index);

} // namespace vsr
