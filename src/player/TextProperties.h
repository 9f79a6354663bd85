#pragma once
// The translatable texts of one Qt object and the keys the language file gives them.

#include "shell/LanguageFile.h"

#include <QObject>

#include <string>

namespace vsr {

// Window: the object is the translated window itself (its title is its "Caption").
enum class TTextRole { Window, Part };

// The key part of a text property ("Caption", "Hint", ...); empty when it is not translated.
std::string TextKeyOf(const QObject& object, const char* propertyName, TTextRole role);

// Applies the non-empty values of texts to the text properties of object, in alphabetical
// order of the properties' names, then to its list items.
void ApplyTexts(QObject& object, const TLanguageFile& texts, TTextRole role);

} // namespace vsr
