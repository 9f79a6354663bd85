#pragma once
// A shared-mime-info package that defines one MIME type by a file-name pattern and,
// optionally, the text its files begin with.

#include <string>

namespace vsr {

struct TMimeTypeDefinition {
    std::string MimeType; // "application/x-vsr"
    std::string Comment;  // empty: none
    std::string Glob;     // "*.vsr"
    std::string Magic;    // empty: none; otherwise the text at offset 0
};

std::string FormatMimePackage(const TMimeTypeDefinition& definition);

// True when text (a package) defines a type by exactly this pattern.
bool MimePackageHasGlob(const std::string& text, const std::string& glob);

} // namespace vsr
