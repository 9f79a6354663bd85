#pragma once
// One row of a library's entry table: a routine named by its exported name, or by an
// ordinal number in its place.

#include <cstdint>
#include <string>

namespace vsr {

class TDllEntry {
public:
    TDllEntry(const char* name) : FName(name ? name : "") {} // NOLINT(google-explicit-constructor)
    static TDllEntry ByOrdinal(std::uint16_t ordinal) {
        TDllEntry entry("");
        entry.FOrdinal = ordinal;
        return entry;
    }

    bool IsOrdinal() const { return FOrdinal >= 0; }
    const std::string& Name() const { return FName; }
    int Ordinal() const { return FOrdinal; }
    // The entry as error messages name it: the name, or "ordinal #" and the number.
    std::string NameText() const {
        return IsOrdinal() ? "ordinal #" + std::to_string(FOrdinal) : FName;
    }

private:
    std::string FName;
    int FOrdinal = -1;
};

} // namespace vsr
