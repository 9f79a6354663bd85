#pragma once
// Where the sound library is loaded from. The player carries the library in its executable
// and writes it to a temporary file at start-up; the tool and the tests use the library
// installed beside the executable.

#include <cstddef>
#include <span>
#include <string>

namespace vsr {

// Writes library to a new temporary file named "Tmp..."; its name, or "" when that failed.
std::string WriteSndKitCopy(std::span<const std::byte> library);

// Points SndKitLibrary() at copy when the system can load code from it. A temporary folder
// mounted without the right to run code makes that fail; then the library beside the
// executable is used instead, and a trace line says so. Loads nothing for good: the probe's
// module is released again, so the first codec call still does the real loading.
void ChooseSndKitFile(const std::string& copy, const std::string& besideExecutable);

// The folder of the running executable, without a trailing slash.
std::string ExecutableFolder();

// "<ExecutableFolder()>/libsndkit.so" when that file exists (a build), else the installed
// programs' "<ExecutableFolder()>/../lib/<architecture>/vsr-player/libsndkit.so".
std::string SndKitBesideExecutable();

} // namespace vsr
