// The selection summary's number formats.
#include "SelectionSummary.h"

#include <QCoreApplication>

namespace quorvane {

QString GroupedCount(std::uint64_t count)
{
    QString digits = QString::number(count);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

QString ShortSize(std::uint64_t bytes)
{
    if (bytes < 1024) return QString::number(bytes) + QStringLiteral(" bytes");
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(units)) {
        value /= 1024.0;
        ++unit;
    }
    return QString::number(value, 'f', 1) + QLatin1Char(' ') + QString::fromLatin1(units[unit]);
}

QString SelectionSummaryText(std::size_t files, std::uint64_t bytes)
{
    if (files == 1)
        return QCoreApplication::translate("frmMain", "Selected: 1 file, %1", "status").arg(ShortSize(bytes));
    return QCoreApplication::translate("frmMain", "Selected: %1 files, %2", "status")
        .arg(GroupedCount(files), ShortSize(bytes));
}

} // namespace quorvane
