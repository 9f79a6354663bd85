#include "player/TextProperties.h"

#include <QComboBox>
#include <QMetaProperty>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

namespace vsr {

namespace {

struct TNamedProperty {
    const char* ClassName;
    const char* Property;
};

// Text properties that are no user-visible text (component names, style and format
// strings, file names and help references).
constexpr std::array cExcluded{
    TNamedProperty{"QObject", "objectName"},
    TNamedProperty{"QWidget", "styleSheet"},
    TNamedProperty{"QWidget", "windowFilePath"},
    TNamedProperty{"QWidget", "windowRole"},
    TNamedProperty{"QWidget", "windowIconText"},
    TNamedProperty{"QLineEdit", "inputMask"},
    TNamedProperty{"QFileDialog", "defaultSuffix"},
    TNamedProperty{"QDateTimeEdit", "displayFormat"},
    TNamedProperty{"QAbstractSpinBox", "specialValueText"},
};

// Properties that the designed window calls "Caption".
constexpr std::array cCaptions{
    TNamedProperty{"QLabel", "text"},     TNamedProperty{"QAbstractButton", "text"},
    TNamedProperty{"QAction", "text"},    TNamedProperty{"QMenu", "title"},
    TNamedProperty{"QGroupBox", "title"},
};

bool Matches(const QObject& object, const char* propertyName, const TNamedProperty& rule) {
    return object.inherits(rule.ClassName) && std::strcmp(propertyName, rule.Property) == 0;
}

bool AnyMatches(const auto& rules, const QObject& object, const char* propertyName) {
    return std::ranges::any_of(
        rules, [&](const TNamedProperty& rule) { return Matches(object, propertyName, rule); });
}

std::vector<QMetaProperty> TextProperties(const QObject& object) {
    std::vector<QMetaProperty> properties;
    const QMetaObject* meta = object.metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (property.isWritable() && property.metaType().id() == QMetaType::QString)
            properties.push_back(property);
    }
    std::ranges::sort(properties, [](const QMetaProperty& a, const QMetaProperty& b) {
        return std::strcmp(a.name(), b.name()) < 0;
    });
    return properties;
}

void SetText(QObject& object, const QMetaProperty& property, const std::string& value) {
    if (!value.empty())
        property.write(&object, QString::fromStdString(BackquotesToLineBreaks(value)));
}

void ApplyItems(QObject& object, const TLanguageFile& texts, const std::string& name) {
    auto* combo = qobject_cast<QComboBox*>(&object);
    if (!combo)
        return;
    for (int i = 0; i < combo->count(); ++i)
        if (const std::string value = texts.Value(name + "Items" + std::to_string(i));
            !value.empty())
            combo->setItemText(i, QString::fromStdString(BackquotesToLineBreaks(value)));
}

} // namespace

std::string TextKeyOf(const QObject& object, const char* propertyName, TTextRole role) {
    if (AnyMatches(cExcluded, object, propertyName))
        return {};
    if (std::strcmp(propertyName, "windowTitle") == 0)
        return role == TTextRole::Window ? "Caption" : std::string();
    if (std::strcmp(propertyName, "toolTip") == 0)
        return "Hint";
    if (AnyMatches(cCaptions, object, propertyName))
        return "Caption";
    std::string key(propertyName);
    key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    return key;
}

void ApplyTexts(QObject& object, const TLanguageFile& texts, TTextRole role) {
    const std::string name = object.objectName().toStdString();
    for (const QMetaProperty& property : TextProperties(object))
        if (const std::string key = TextKeyOf(object, property.name(), role); !key.empty())
            SetText(object, property, texts.Value(name + key));
    ApplyItems(object, texts, name);
}

} // namespace vsr
