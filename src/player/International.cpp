#include "player/International.h"

#include "player/TextProperties.h"

#include <QFileInfo>
#include <QMetaObject>

#include <vector>

namespace vsr {

namespace {

std::string WithoutNamespace(const char* className) {
    const std::string name(className);
    const auto colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

// The owner's own base classes up to Qt's, nearest to Qt's first.
std::vector<std::string> AncestorSections(const QObject& owner) {
    std::vector<std::string> sections;
    for (const QMetaObject* meta = owner.metaObject()->superClass();
         meta && !QByteArray(meta->className()).startsWith('Q'); meta = meta->superClass())
        sections.insert(sections.begin(), WithoutNamespace(meta->className()));
    return sections;
}

void ApplyTree(QObject& object, const TLanguageFile& texts, bool isOwner) {
    if (!object.objectName().isEmpty())
        ApplyTexts(object, texts, isOwner ? TTextRole::Window : TTextRole::Part);
    for (QObject* child : object.children())
        ApplyTree(*child, texts, false);
}

} // namespace

TInternational::TInternational(QObject* owner) : QObject(owner) {
    setObjectName("International1");
    if (owner)
        FSection = SectionOf(*owner);
}

void TInternational::Loaded(const std::string& languageFile) {
    if (!AutoTranslate || !QFileInfo::exists(QString::fromStdString(languageFile)))
        return;
    FFileName = languageFile;
    Translate();
}

void TInternational::Translate() {
    if (OnInternationalize)
        OnInternationalize(*this);
    if (parent()) {
        if (TranslateAncestors == TAncestorTexts::Translate)
            for (const std::string& section : AncestorSections(*parent()))
                Apply(TLanguageFile::Load(FFileName, section));
        FSection = SectionOf(*parent());
        Apply(TLanguageFile::Load(FFileName, FSection));
    }
    if (OnInternationalized)
        OnInternationalized(*this);
}

void TInternational::Apply(const TLanguageFile& texts) const {
    if (!texts.Empty())
        ApplyTree(*parent(), texts, true);
}

std::string SectionOf(const QObject& object) {
    return WithoutNamespace(object.metaObject()->className());
}

} // namespace vsr
