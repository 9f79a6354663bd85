#include "player/FileFilter.h"

#include <QString>

namespace vsr {

namespace {

QString NameFilter(const QString& description, QString patterns) {
    patterns.replace(';', ' ');
    const QString spaced = patterns.simplified();
    if (description.contains('(') && description.contains(')'))
        return description;
    return description + " (" + spaced + ")";
}

} // namespace

QStringList QtNameFilters(std::string_view filter) {
    const QStringList parts =
        QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << NameFilter(parts[i], parts[i + 1]);
    return filters;
}

} // namespace vsr
