#include "platform/MimePackage.h"

namespace vsr {

namespace {

std::string XmlEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string GlobElement(const std::string& glob) {
    return "<glob pattern=\"" + XmlEscaped(glob) + "\"/>";
}

} // namespace

std::string FormatMimePackage(const TMimeTypeDefinition& definition) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
        XmlEscaped(definition.MimeType) + "\">\n";
    if (!definition.Comment.empty())
        text += "    <comment>" + XmlEscaped(definition.Comment) + "</comment>\n";
    text += "    " + GlobElement(definition.Glob) + "\n";
    if (!definition.Magic.empty())
        text += "    <magic priority=\"50\">\n      <match type=\"string\" offset=\"0\" value=\"" +
                XmlEscaped(definition.Magic) + "\"/>\n    </magic>\n";
    return text + "  </mime-type>\n</mime-info>\n";
}

bool MimePackageHasGlob(const std::string& text, const std::string& glob) {
    return text.find(GlobElement(glob)) != std::string::npos;
}

} // namespace vsr
