#include "search/OcrEngine.h"

#include "shell/Format.h"

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <sstream>

namespace vsr {

namespace {

// Small screen text reads far better enlarged: Tesseract wants letters some 20 pixels high.
constexpr int cScale = 3;

std::vector<std::string> Split(const std::string& languages) {
    std::vector<std::string> list;
    std::istringstream items(languages);
    for (std::string item; std::getline(items, item, '+');)
        if (!item.empty())
            list.push_back(item);
    return list;
}

std::vector<std::string> DataFolders() {
    std::vector<std::string> folders;
    if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix) {
        // Either the tessdata folder itself or the one holding it.
        folders.push_back(prefix);
        folders.push_back(std::string(prefix) + "/tessdata");
        return folders;
    }
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator("/usr/share/tesseract-ocr", error))
        folders.push_back(item.path().string() + "/tessdata");
    std::ranges::sort(folders, std::greater<>()); // the newest data first: "5" before "4.00"
    folders.push_back("/usr/share/tessdata");
    return folders;
}

bool HasData(const std::string& folder, const std::string& language) {
    std::error_code error;
    return std::filesystem::is_regular_file(folder + "/" + language + ".traineddata", error);
}

// ISO 639-1 codes of locales to the data's names, for the languages Debian packages.
constexpr std::array<std::pair<std::string_view, std::string_view>, 24> cLocaleLanguages{{
    {"de", "deu"}, {"fr", "fra"}, {"es", "spa"}, {"it", "ita"},     {"pt", "por"}, {"nl", "nld"},
    {"sv", "swe"}, {"da", "dan"}, {"nb", "nor"}, {"fi", "fin"},     {"pl", "pol"}, {"cs", "ces"},
    {"sk", "slk"}, {"hu", "hun"}, {"ro", "ron"}, {"ru", "rus"},     {"uk", "ukr"}, {"el", "ell"},
    {"tr", "tur"}, {"ja", "jpn"}, {"ko", "kor"}, {"zh", "chi_sim"}, {"ar", "ara"}, {"he", "heb"},
}};

std::string LocaleLanguage() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(variable); value && *value) {
            const std::string_view code = std::string_view(value).substr(0, 2);
            for (const auto& [locale, language] : cLocaleLanguages)
                if (code == locale)
                    return std::string(language);
            return {};
        }
    return {};
}

// Tesseract's own OpenMP threads, on top of one engine per core, spin against each other and
// take four times as long; the regions run in parallel already. OpenMP reads its environment
// when it is loaded, so the limit is set through its interface where the library brought it,
// on each engine's thread (the setting is the thread's own).
void OneThreadPerEngine() {
    using TSetLevels = void (*)(int);
    static const auto set =
        reinterpret_cast<TSetLevels>(::dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
    if (set)
        set(0);
}

} // namespace

std::string FindOcrData(const std::string& languages) {
    const std::vector<std::string> wanted = Split(languages);
    if (wanted.empty())
        throw EIndex("No language given for text recognition");
    const std::vector<std::string> folders = DataFolders();
    for (const std::string& folder : folders)
        if (std::ranges::all_of(wanted, [&](const std::string& l) { return HasData(folder, l); }))
            return folder;
    std::string missing, packages;
    for (const std::string& language : wanted)
        if (std::ranges::none_of(folders,
                                 [&](const std::string& f) { return HasData(f, language); })) {
            missing += (missing.empty() ? "" : ", ") + language;
            packages += " tesseract-ocr-" + language;
        }
    if (missing.empty())
        throw EIndex(
            Format("The text recognition data for \"%s\" is not in one folder", languages));
    std::string looked;
    for (const std::string& folder : folders)
        looked += (looked.empty() ? "" : ", ") + folder;
    throw EIndex(Format("No text recognition data for %s (looked in %s): install%s, or set "
                        "TESSDATA_PREFIX to the folder holding it",
                        missing, looked, packages));
}

std::string DefaultOcrLanguages() {
    const std::string local = LocaleLanguage();
    if (local.empty() || local == "eng")
        return "eng";
    for (const std::string& folder : DataFolders())
        if (HasData(folder, local) && HasData(folder, "eng"))
            return "eng+" + local;
    return "eng";
}

struct TOcrEngine::TImpl {
    tesseract::TessBaseAPI Api;
    std::vector<std::uint8_t> Gray;
};

TOcrEngine::TOcrEngine(const std::string& languages) : FImpl(std::make_unique<TImpl>()) {
    OneThreadPerEngine();
    const std::string folder = FindOcrData(languages);
    if (FImpl->Api.Init(folder.c_str(), languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0)
        throw EIndex(
            Format("The text recognition could not start with \"%s\" from %s", languages, folder));
    // Screens hold scattered words and lines rather than pages of text.
    FImpl->Api.SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
    FImpl->Api.SetVariable("debug_file", "/dev/null");
}

TOcrEngine::~TOcrEngine() {
    FImpl->Api.End();
}

std::vector<TOcrWord> TOcrEngine::Recognize(const TConstPixels32& picture, const TRect& area) {
    const TRect part = IntersectRect(area, {0, 0, picture.Width, picture.Height});
    if (part.Empty())
        return {};
    const int width = part.Width() * cScale;
    const int height = part.Height() * cScale;
    std::vector<std::uint8_t>& gray = FImpl->Gray;
    gray.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < part.Height(); ++y) {
        std::uint8_t* row = gray.data() + static_cast<std::size_t>(y) * cScale * width;
        for (int x = 0; x < part.Width(); ++x) {
            const TPixel32 pixel = picture.At(part.Left + x, part.Top + y);
            const auto value = static_cast<std::uint8_t>(
                (((pixel >> 16) & 0xFF) * 77 + ((pixel >> 8) & 0xFF) * 150 + (pixel & 0xFF) * 29) >>
                8);
            std::fill_n(row + x * cScale, cScale, value);
        }
        for (int copy = 1; copy < cScale; ++copy)
            std::copy_n(row, width, row + copy * width);
    }
    FImpl->Api.SetImage(gray.data(), width, height, 1, width);
    FImpl->Api.SetSourceResolution(70 * cScale);
    if (FImpl->Api.Recognize(nullptr) != 0)
        return {};
    std::vector<TOcrWord> words;
    std::unique_ptr<tesseract::ResultIterator> it(FImpl->Api.GetIterator());
    if (!it)
        return {};
    do {
        const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
        int left = 0, top = 0, right = 0, bottom = 0;
        if (!text || !*text.get() ||
            !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
            continue;
        words.push_back(
            {text.get(),
             {part.Left + left / cScale, part.Top + top / cScale,
              part.Left + (right + cScale - 1) / cScale, part.Top + (bottom + cScale - 1) / cScale},
             it->Confidence(tesseract::RIL_WORD)});
    } while (it->Next(tesseract::RIL_WORD));
    return words;
}

} // namespace vsr
