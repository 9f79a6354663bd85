#pragma once
// What each fuzz target does with one input: the parser it aims at, driven the way the player
// and the tool drive it. The fuzz targets and the regression tests of the suite share these
// functions, so an input that once failed is replayed exactly. Each returns normally for any
// input; only the program's own errors (vsr::Exception) are expected and swallowed.

#include <cstdint>
#include <span>
#include <string>

namespace vsr::fuzz {

using TInput = std::span<const std::uint8_t>;

void ExerciseRecording(TInput input);
void ExerciseTile(TInput input);
void ExerciseVoice(TInput input);
void ExerciseOverlay(TInput input);
void ExerciseBitmap(TInput input);
void ExerciseJpeg(TInput input);
void ExerciseGif(TInput input);
void ExerciseAppended(TInput input);
void ExerciseLanguage(TInput input);
void ExerciseAnswers(TInput input);

// The sound library the voice target decodes with; set once before the first input.
void SetSndKitPath(const std::string& path);

} // namespace vsr::fuzz
