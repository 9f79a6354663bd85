#include "audio/SndKitSetup.h"

#include "audio/SndKitLibrary.h"
#include "platform/DynamicLibrary.h"
#include "platform/Stream.h"
#include "platform/TempFiles.h"
#include "shell/Trace.h"

#include <filesystem>

namespace vsr {

std::string WriteSndKitCopy(std::span<const std::byte> library) {
    TTempFile copy(CreateTempFile("Tmp"));
    if (copy.FileName().empty())
        return {};
    try {
        TFileStream(copy.FileName(), TFileMode::Create).WriteBuffer(library);
    } catch (const Exception& error) {
        TraceFmt("Cannot write the sound library copy: %s", error.what());
        return {};
    }
    return copy.Release();
}

void ChooseSndKitFile(const std::string& copy, const std::string& besideExecutable) {
    if (TModuleHandle probe = LoadModule(copy)) {
        FreeModule(probe);
        SndKitLibrary().SetFileName(copy);
        return;
    }
    TraceFmt("Cannot load the sound library from \"%s\" (%s); using \"%s\"", copy,
             LastModuleError(), besideExecutable);
    SndKitLibrary().SetFileName(besideExecutable);
}

std::string ExecutableFolder() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : executable.parent_path().string();
}

std::string SndKitBesideExecutable() {
    const std::string beside = ExecutableFolder() + "/libsndkit.so";
    const std::string installed = ExecutableFolder() + "/../" VSR_PRIVATE_LIB_DIR "/libsndkit.so";
    return std::filesystem::exists(beside) || !std::filesystem::exists(installed) ? beside
                                                                                  : installed;
}

} // namespace vsr
