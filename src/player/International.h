#pragma once
// TInternational: puts the texts of the language file on a window after the window has been
// built and before its own start-up code runs.
//
// For the window and then every object below it (depth first, each object's children in the
// order they were added, which is their creation order), every writable text property gets
// the value of the key "<objectName><property>" from the section named after the window's
// class (without namespace), when that value is not empty; backquotes become line breaks.
// Property names are those of the designed window: "Caption" for the text of labels, buttons
// and actions, the title of menus and group boxes and the window's own title; "Hint" for tool
// tips; other text properties by their name with a capital first letter ("StatusTip").
// A combo box's items have the keys "<objectName>Items<index>". Never translated: object
// names, style sheets and other properties that are not texts shown to the user. Objects
// without a name are passed over (their children are not). Main thread only.

#include "shell/LanguageFile.h"

#include <QObject>

#include <functional>
#include <string>

namespace vsr {

enum class TAncestorTexts { Skip, Translate };

class TInternational : public QObject {
    Q_OBJECT

public:
    // owner: the window whose texts are translated; it owns this object.
    explicit TInternational(QObject* owner);

    bool AutoTranslate = true;
    // Translate first reads the sections of the owner's own base classes (nearest to Qt's
    // first), so that a derived window's entries win.
    TAncestorTexts TranslateAncestors = TAncestorTexts::Skip;
    std::function<void(TInternational&)> OnInternationalize;
    std::function<void(TInternational&)> OnInternationalized;

    const std::string& FileName() const { return FFileName; }
    const std::string& Section() const { return FSection; }

    // Called once the owner is built: translates when AutoTranslate is set and languageFile
    // exists; otherwise the designed texts stay.
    void Loaded(const std::string& languageFile);
    void Translate();

private:
    void Apply(const TLanguageFile& texts) const;

    std::string FFileName;
    std::string FSection;
};

// The class name of object without its namespace: the section of its texts.
std::string SectionOf(const QObject& object);

} // namespace vsr
