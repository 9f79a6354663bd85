#pragma once
// Text recognition of a part of a picture with Tesseract. The language data is found at run
// time (TESSDATA_PREFIX, else the folders Debian's tesseract-ocr-* packages install to). One
// engine per thread.

#include "render/Geometry.h"
#include "render/Pixels32.h"
#include "search/TextIndex.h"

#include <memory>
#include <string>
#include <vector>

namespace vsr {

struct TOcrWord {
    std::string Text;     // UTF-8
    TRect Box;            // in the picture's pixels
    float Confidence = 0; // 0 to 100
};

// The folder holding "<language>.traineddata" for every language asked ("eng+deu"); raises
// EIndex naming the missing data and the package to install.
std::string FindOcrData(const std::string& languages);
// "eng", and the language of the user's locale ($LC_ALL, $LC_MESSAGES, $LANG) when its data
// is installed: "eng+deu".
std::string DefaultOcrLanguages();

class TOcrEngine {
public:
    // Raises EIndex when the data is missing or the engine cannot start.
    explicit TOcrEngine(const std::string& languages);
    ~TOcrEngine();
    TOcrEngine(const TOcrEngine&) = delete;
    TOcrEngine& operator=(const TOcrEngine&) = delete;

    // The words inside area (clipped to the picture), their boxes in the picture's pixels.
    std::vector<TOcrWord> Recognize(const TConstPixels32& picture, const TRect& area);

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace vsr
