// The file commands' rules. Names are checked as typed; groups are known by
// the rows' group numbers, or found anew from neighbouring rows when the
// list carries none, as the list's navigation finds them.
#include "FileCommands.h"

#include "PathRules.h"
#include "ResultRows.h"

#include <QCoreApplication>
#include <algorithm>
#include <unordered_map>

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

namespace {

// Every row carrying a group number belongs to that group wherever a sort
// put it: the group is taken whole when each of its rows is selected.
bool TakesEveryNumberedCopy(const std::vector<TFileRecord>& rows, const std::vector<int>& selected)
{
    // A row whose file is gone or changed is no copy that stays.
    std::unordered_map<std::uint32_t, std::size_t> unselectedLeft;
    for (const TFileRecord& row : rows)
        if (row.Group != 0 && row.DiskState == kDiskAsListed) ++unselectedLeft[row.Group];
    for (const int row : selected) {
        if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) continue;
        const TFileRecord& record = rows[static_cast<std::size_t>(row)];
        if (record.Group == 0) continue;
        std::size_t& left = unselectedLeft[record.Group];
        if (record.DiskState == kDiskAsListed) --left;
        if (left == 0) return true;
    }
    return false;
}

// Rows without group numbers: a group is a run of neighbouring rows that
// agree on the ticked criteria.
bool TakesEveryNeighbourCopy(const std::vector<TFileRecord>& rows, const std::vector<int>& selected,
                             const TSearchCriteria& criteria)
{
    std::vector<bool> isSelected(rows.size(), false);
    for (const int row : selected)
        if (row >= 0 && static_cast<std::size_t>(row) < rows.size())
            isSelected[static_cast<std::size_t>(row)] = true;
    std::size_t coveredTo = 0; // rows before this were already judged
    for (const int row : selected) {
        auto index = static_cast<std::size_t>(row);
        if (row < 0 || index >= rows.size() || index < coveredTo || rows[index].Group != 0) continue;
        const auto [first, end] = GroupBounds(rows, index, criteria);
        bool anyCopyStays = false;
        for (std::size_t i = first; i < end; ++i)
            anyCopyStays |= !isSelected[i] && rows[i].DiskState == kDiskAsListed;
        if (!anyCopyStays) return true;
        coveredTo = end;
    }
    return false;
}

} // namespace

bool TakesEveryCopy(const std::vector<TFileRecord>& rows, const std::vector<int>& selected,
                    const TSearchCriteria& criteria)
{
    return TakesEveryNumberedCopy(rows, selected) || TakesEveryNeighbourCopy(rows, selected, criteria);
}

TCopyCheckPlan CopyCheckPlan(const std::vector<TFileRecord>& rows, const std::vector<int>& deleting,
                             bool similarGroups)
{
    std::vector<bool> isDeleting(rows.size(), false);
    std::unordered_map<std::uint32_t, std::size_t> slotOf; // group number -> plan group
    TCopyCheckPlan plan;
    for (const int row : deleting) {
        if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) continue;
        isDeleting[static_cast<std::size_t>(row)] = true;
        const std::uint32_t group = rows[static_cast<std::size_t>(row)].Group;
        if (group != 0 && slotOf.try_emplace(group, plan.Groups.size()).second) {
            plan.Groups.push_back({{}, similarGroups});
            plan.Rows.emplace_back();
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto slot = rows[i].Group == 0 ? slotOf.end() : slotOf.find(rows[i].Group);
        if (slot == slotOf.end()) continue;
        plan.Groups[slot->second].Files.push_back(CheckFileOfRow(rows[i], isDeleting[i]));
        plan.Rows[slot->second].push_back(static_cast<int>(i));
    }
    return plan;
}

QString NoCopyQuestion(const QStringList& paths, qsizetype total)
{
    const qsizetype shown = std::min<qsizetype>(paths.size(), qsizetype(kNoCopyQuestionNames));
    QString names = paths.mid(0, shown).join(u'\n');
    if (total > shown)
        names += u'\n' + QCoreApplication::translate("frmMain", "... and %1 more", "no copy question")
                             .arg(total - shown);
    return QCoreApplication::translate("frmMain",
                                       "No identical copy of these files would remain:\n\n%1\n\nDelete them too?",
                                       "no copy question")
        .arg(names);
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
