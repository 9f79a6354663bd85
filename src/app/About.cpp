#include "app/About.h"

#include "shell/Format.h"

#include <SDL.h>
#include <curl/curl.h>
#include <gif_lib.h>
#include <isa-l.h>
#include <soundtouch/SoundTouch.h>
#include <zlib.h>

#include <cstdio>
// jpeglib.h needs FILE declared before it.
#include <jpeglib.h>

namespace vsr {

namespace {

// "major.minor.patch"
std::string DottedNumber(int major, int minor, int patch) {
    return Format("%d.%d.%d", major, minor, patch);
}

} // namespace

std::string_view ProgramVersion() {
    return VSR_VERSION;
}

std::string_view CopyrightLine() {
    return "Copyright (c) 2026 VSR Player developers";
}

std::string_view LicenceName() {
    return "MIT";
}

std::string_view LicenceText() {
    return "Permission is hereby granted, free of charge, to any person obtaining a copy of this "
           "software and associated documentation files (the \"Software\"), to deal in the "
           "Software without restriction, including without limitation the rights to use, copy, "
           "modify, merge, publish, distribute, sublicense, and/or sell copies of the Software, "
           "and to permit persons to whom the Software is furnished to do so, subject to the "
           "following conditions:\n\n"
           "The above copyright notice and this permission notice shall be included in all "
           "copies or substantial portions of the Software.\n\n"
           "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR "
           "IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR "
           "A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT "
           "HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF "
           "CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE "
           "OR THE USE OR OTHER DEALINGS IN THE SOFTWARE.\n";
}

std::vector<TLibraryVersion> CoreLibraryVersions() {
    SDL_version sdl{};
    SDL_GetVersion(&sdl);
    return {
        {"zlib", zlibVersion()},
        {"ISA-L", DottedNumber(ISAL_MAJOR_VERSION, ISAL_MINOR_VERSION, ISAL_PATCH_VERSION)},
        {"Speex", VSR_SPEEX_VERSION},
        {"SoundTouch", soundtouch::SoundTouch::getVersionString()},
        {"SDL", DottedNumber(sdl.major, sdl.minor, sdl.patch)},
        {"libcurl", curl_version_info(CURLVERSION_NOW)->version},
        {"libjpeg-turbo", DottedNumber(LIBJPEG_TURBO_VERSION_NUMBER / 1000000,
                                       LIBJPEG_TURBO_VERSION_NUMBER / 1000 % 1000,
                                       LIBJPEG_TURBO_VERSION_NUMBER % 1000)},
        {"giflib", DottedNumber(GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE)},
    };
}

std::string LibraryList(std::span<const TLibraryVersion> libraries) {
    std::string list;
    for (const TLibraryVersion& library : libraries)
        list += (list.empty() ? "" : ", ") + library.Name + " " + library.Version;
    return list;
}

} // namespace vsr
