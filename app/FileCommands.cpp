// The file commands' rules. Names are checked as typed; groups are found
// anew from neighbouring rows, as the list's navigation finds them.
#include "FileCommands.h"

#include "PathRules.h"
#include "ResultRows.h"

#include <algorithm>

namespace quorvane {

QString RenameRefusal(const QString& newText)
{
    // Blanks and control characters at either end do not make a name.
    qsizetype first = 0;
    qsizetype last = newText.size();
    while (first < last && newText.at(first).unicode() <= 0x20)
        ++first;
    while (last > first && newText.at(last - 1).unicode() <= 0x20)
        --last;
    if (first == last) return kEmptyNameMessage;
    for (const QChar c : {u'\\', u'/', u':', u'*', u'?', u'"', u'<', u'>', u'|'}) {
        if (newText.contains(c)) return kBadCharacterMessage;
    }
    return {};
}

bool IsExternalViewerFile(std::string_view name)
{
    const std::string_view ext = ExtensionOf(name);
    if (ext.size() < 2) return false;
    std::string upper(ext);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ExternalViewerExtensions.find(upper) != std::string_view::npos;
}

bool TakesEveryCopy(const std::vector<TFileRecord>& rows, const std::vector<int>& selected,
                    const TSearchCriteria& criteria)
{
    std::vector<bool> isSelected(rows.size(), false);
    for (const int row : selected)
        if (row >= 0 && static_cast<std::size_t>(row) < rows.size())
            isSelected[static_cast<std::size_t>(row)] = true;
    std::size_t coveredTo = 0; // rows before this were already judged
    for (const int row : selected) {
        auto index = static_cast<std::size_t>(row);
        if (row < 0 || index >= rows.size() || index < coveredTo) continue;
        std::size_t first = index;
        while (first > 0 && RowsAgree(rows[first - 1], rows[first], criteria))
            --first;
        std::size_t end = index + 1;
        while (end < rows.size() && RowsAgree(rows[end - 1], rows[end], criteria))
            ++end;
        if (std::all_of(isSelected.begin() + static_cast<std::ptrdiff_t>(first),
                        isSelected.begin() + static_cast<std::ptrdiff_t>(end), [](bool s) { return s; }))
            return true;
        coveredTo = end;
    }
    return false;
}

TDoubleClickPlan DoubleClickPlan(bool hasFocus, bool isPicture, bool doubleClickMode, bool preview,
                                 bool showSlides)
{
    TDoubleClickPlan plan;
    if (!hasFocus) return plan;
    if (!isPicture) {
        plan.OpenFile = true;
    } else if (!doubleClickMode) {
        // Moving the focus already previews in this mode.
        plan.Viewer = true;
    } else {
        plan.Preview = preview;
        plan.Viewer = !preview && !showSlides;
        plan.FillSlides = true;
    }
    return plan;
}

} // namespace quorvane
