#pragma once
// Open-dialog filters: the program's texts list "description|pattern" pairs separated by "|";
// Qt's dialogs take one "description (patterns)" entry per filter.

#include <QStringList>

#include <string_view>

namespace vsr {

// One Qt name filter per pair; patterns separated by ";" become blank-separated. A
// description that already names its patterns in parentheses is kept as it is.
QStringList QtNameFilters(std::string_view filter);

} // namespace vsr
