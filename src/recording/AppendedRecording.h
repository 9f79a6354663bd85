#pragma once
// The recording appended to the player file: the program, then the recording of N bytes,
// then N as 32 bits little-endian. Nothing else marks it, so a file is taken to carry one only
// when N is at least 1, fits in front of the length, and the bytes it points to begin as a
// recording does; a damaged recording behind a good start is still copied (its reader reports
// the damage).

#include "platform/Stream.h"
#include "platform/TempFiles.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>

namespace vsr {

struct TAppendedRange {
    std::int64_t Offset = 0; // from the start of the player file
    std::uint32_t Size = 0;
};

// Where the appended recording lies in player; nothing when it carries none.
// Raises EStreamError when reading fails.
std::optional<TAppendedRange> FindAppendedRecording(TStream& player);

// Random numbers for the names of copies; seeded once, from a high-resolution clock.
class TRandomNames {
public:
    TRandomNames();
    std::uint32_t Next() { return FEngine(); }

private:
    std::mt19937 FEngine;
};

// "<folder>/<program file name>_<random in upper-case hexadecimal>_.vsr".
std::string ExtractedFileName(const std::string& executablePath, std::uint32_t random,
                              const std::string& folder = TempFolder());

// Copies the recording appended to the program file executablePath to a new file named by
// ExtractedFileName (mode 0600; another random number when the name is taken). Returns the copy,
// which is deleted when the returned object goes; nullptr when the program file carries no
// recording (no file is written then). Raises EFOpenError or EStreamError; a half-written copy is
// removed.
std::unique_ptr<TTempFile> ExtractAppendedRecording(const std::string& executablePath,
                                                    TRandomNames& random,
                                                    const std::string& folder = TempFolder());

} // namespace vsr
