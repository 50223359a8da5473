// The rules of the file commands of the result list, free of widgets: the
// checks on a typed name, the external-viewer test, whether a deletion takes
// every copy of a file, and what a double click (or Enter) does.
#pragma once

#include "CopyCheck.h"
#include "FileOperations.h"
#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <QString>
#include <QStringList>
#include <string_view>
#include <vector>

namespace quorvane {

inline const QString kEmptyNameMessage = QStringLiteral("至少隨便打幾個字吧大哥!");
// Built as the nine characters' message is: the text, a double quote, the rest.
inline const QString kBadCharacterMessage = QStringLiteral("檔名之中不可以含有 \\ / : * ? ") + QChar(u'"') +
                                            QStringLiteral(" < > | 這樣的字元, 知道嗎!");
inline const QString kLastCopyQuestionEnglish =
    QStringLiteral("These are all the copies of a file. Delete them all?");
inline const QString kLastCopyQuestionChinese = QStringLiteral("這些是同一個檔案的全部副本, 確定全部刪除嗎?");

// The extensions "Open With" the viewer accepts (a substring test).
inline constexpr std::string_view ExternalViewerExtensions =
    ".BMP.CMS.GIF.JPG.JPEG.JPE.PCX.PNG.SCM.TIF.PCD.WMF.TGA.WAV.MID.RMI.AVI";

// The message that refuses a typed name, or an empty text when it passes.
QString RenameRefusal(const QString& newText);

// True when the upper-cased extension of name (with its dot) occurs in
// ExternalViewerExtensions.
bool IsExternalViewerFile(std::string_view name);

// True when the selected rows (indices in ascending order) hold every row of
// some group, so no copy of that file would be left in the list: rows with a
// group number belong to their numbered group wherever they stand; rows
// without one to the run of neighbours that agree with them.
bool TakesEveryCopy(const std::vector<TFileRecord>& rows, const std::vector<int>& selected,
                    const TSearchCriteria& criteria);

// The copy check of a deletion: every numbered group that a row to delete
// belongs to, with all of its rows (Deleting for the rows to delete), and
// for each checked file the row it came from. Rows without a group number
// ("List All") are not checked: they have no group to keep a copy in.
struct TCopyCheckPlan {
    std::vector<TCheckGroup> Groups;
    std::vector<std::vector<int>> Rows; // Rows[g][f]: the row of Groups[g].Files[f]
};
TCopyCheckPlan CopyCheckPlan(const std::vector<TFileRecord>& rows, const std::vector<int>& deleting,
                             bool similarGroups);

// The question asked when files about to be deleted would keep no
// identical copy: the first paths (at most kNoCopyQuestionNames of them are
// shown), then how many more of total, in the installed interface language.
inline constexpr std::size_t kNoCopyQuestionNames = 20;
QString NoCopyQuestion(const QStringList& paths, qsizetype total);

// The steps of a double click (or Enter) on the focused row, in order.
struct TDoubleClickPlan {
    bool OpenFile = false;   // OpenFocusedFile
    bool Preview = false;    // RequestPreview
    bool Viewer = false;     // OpenViewer with the row's path
    bool FillSlides = false; // RequestSlides
};
TDoubleClickPlan DoubleClickPlan(bool hasFocus, bool isPicture, bool doubleClickMode, bool preview,
                                 bool showSlides);

} // namespace quorvane
