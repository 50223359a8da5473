// Delete and rename on the bytes of a row's path. A file is acted on only
// when it is still the regular file its row saw (device, inode, size and
// write time to the nanosecond); every other file of a request goes on, and
// each one left behind gets its own line in one report.
#include "LocalFileOperations.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

QString DisplayName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return QFile::decodeName(
        QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
}

QString DisplayPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString DeleteQuestion(const std::vector<TDeleteItem>& items, bool toTrash, EFileOpLanguage language)
{
    const bool one = items.size() == 1;
    const QString subject = one ? DisplayName(items.front().Path) : QString::number(items.size());
    if (language == EFileOpLanguage::Chinese) {
        if (toTrash)
            return one ? QStringLiteral("確定要把「%1」移到垃圾桶嗎?").arg(subject)
                       : QStringLiteral("確定要把這 %1 個檔案移到垃圾桶嗎?").arg(subject);
        return one ? QStringLiteral("確定要永久刪除「%1」嗎? 刪除後無法復原.").arg(subject)
                   : QStringLiteral("確定要永久刪除這 %1 個檔案嗎? 刪除後無法復原.").arg(subject);
    }
    if (toTrash)
        return one ? QStringLiteral("Move \"%1\" to the trash?").arg(subject)
                   : QStringLiteral("Move these %1 files to the trash?").arg(subject);
    return one ? QStringLiteral("Delete \"%1\" for good? It cannot be restored.").arg(subject)
               : QStringLiteral("Delete these %1 files for good? They cannot be restored.").arg(subject);
}

TLocalFileOperations::TLocalFileOperations(IFileOpPrompts& prompts, TTrashPlaces places)
    : FPrompts(&prompts), FTrash(std::move(places))
{
}

QString TLocalFileOperations::Line(const char* english, const char* chinese, const std::string& path,
                                   const QString& detail) const
{
    const char* pattern = FLanguage == EFileOpLanguage::Chinese ? chinese : english;
    // One pass of arg(): a path holding "%2" stays as it is.
    const QString text = QString::fromUtf8(pattern);
    return detail.isEmpty() ? text.arg(DisplayPath(path)) : text.arg(DisplayPath(path), detail);
}

QString TLocalFileOperations::DeleteOne(const TDeleteItem& item, bool toTrash, TDeletionBatch& batch) const
{
    int error = 0;
    switch (CheckIdentity(item.Path, item.Expected, error)) {
    case EIdentity::Same:
        break;
    case EIdentity::Missing:
        return Line("%1: %2", "%1: %2", item.Path, SystemError(error));
    case EIdentity::NotRegular:
        return Line("%1: no longer a regular file; it was not deleted.", "%1: 已經不是一般檔案, 沒有刪除.",
                    item.Path);
    case EIdentity::Changed:
        return Line("%1: changed since it was listed; it was not deleted.", "%1: 列出之後已被更改, 沒有刪除.",
                    item.Path);
    }
    if (!toTrash) {
        if (::unlink(item.Path.c_str()) == 0) return {};
        return Line("%1: %2", "%1: %2", item.Path, SystemError(errno));
    }
    const TTrashOutcome outcome = FTrash.MoveToTrash(item.Path);
    switch (outcome.Result) {
    case ETrashResult::Trashed:
        batch.push_back({item.Path, outcome.TrashedAs, outcome.InfoPath, outcome.Identity});
        return {};
    case ETrashResult::NoTrash:
        return Line("%1: no trash on its file system can take it; it was left in place.",
                    "%1: 所在的檔案系統沒有可用的垃圾桶, 檔案留在原處.", item.Path);
    case ETrashResult::Failed:
        break;
    }
    return Line("%1: cannot be moved to the trash (%2); it was left in place.",
                "%1: 無法移到垃圾桶 (%2), 檔案留在原處.", item.Path, SystemError(outcome.Error));
}

void TLocalFileOperations::DeleteFiles(const std::vector<TDeleteItem>& items, unsigned flags)
{
    std::vector<TDeleteItem> allowed = items;
    if (!ConfirmDeletion(allowed, flags)) return;
    const QStringList failures = CarryOutDeletion(allowed, flags, {}, {});
    if (!failures.isEmpty()) FPrompts->ReportFailures(failures);
}

bool TLocalFileOperations::ConfirmDeletion(std::vector<TDeleteItem>& items, unsigned flags)
{
    if (items.empty()) return false;
    const bool toTrash = (flags & kFofAllowUndo) != 0;
    return (flags & kFofNoConfirmation) ||
           FPrompts->Confirm(DeleteQuestion(items, toTrash, FLanguage), toTrash);
}

QStringList TLocalFileOperations::CarryOutDeletion(const std::vector<TDeleteItem>& items, unsigned flags,
                                                   std::stop_token stop, const TDeletionProgress& progress)
{
    const bool toTrash = (flags & kFofAllowUndo) != 0;
    QStringList failures;
    TDeletionBatch batch;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (stop.stop_requested()) break;
        const QString failure = DeleteOne(items[i], toTrash, batch);
        if (!failure.isEmpty()) failures.append(failure);
        if (progress) progress(i + 1, items.size());
    }
    FHistory.Push(std::move(batch));
    return failures;
}

QString TLocalFileOperations::RestoreFailure(const TTrashedFile& file, const TRestoreOutcome& outcome) const
{
    switch (outcome.Result) {
    case ERestoreResult::Restored:
        return {};
    case ERestoreResult::Clash:
        return Line("%1: a file of that name is already there; it stays in the trash.",
                    "%1: 原處已有同名的檔案, 檔案留在垃圾桶中.", file.OriginalPath);
    case ERestoreResult::Missing:
        return Line("%1: no longer in the trash; it cannot be put back.", "%1: 已經不在垃圾桶中, 無法還原.",
                    file.OriginalPath);
    case ERestoreResult::Changed:
        return Line("%1: the file in the trash was replaced; it was not put back.",
                    "%1: 垃圾桶中的檔案已被替換, 沒有還原.", file.OriginalPath);
    case ERestoreResult::Failed:
        break;
    }
    return Line("%1: cannot be put back (%2); it stays in the trash.", "%1: 無法還原 (%2), 檔案留在垃圾桶中.",
                file.OriginalPath, SystemError(outcome.Error));
}

TUndoOutcome TLocalFileOperations::UndoLastDeletion()
{
    TUndoOutcome undo;
    if (FHistory.Empty()) return undo;
    for (const TTrashedFile& file : FHistory.TakeNewest()) {
        const TRestoreOutcome outcome = FTrash.Restore(file);
        if (outcome.Result == ERestoreResult::Restored) {
            undo.Restored.push_back({file.OriginalPath, file.Identity});
        } else {
            undo.Failures.append(RestoreFailure(file, outcome));
        }
    }
    return undo;
}

bool TLocalFileOperations::RenameFile(const std::string& oldPath, const std::string& newPath, unsigned)
{
    if (oldPath == newPath) return true; // nothing to do, and nothing lost
    const int error = RenameNoReplace(AT_FDCWD, oldPath, AT_FDCWD, newPath);
    if (error == 0) return true;
    if (error == EEXIST || error == ENOTEMPTY) {
        FPrompts->ReportFailures({Line("%1: there is already a file named %2.", "%1: 已經有名為 %2 的檔案.",
                                       oldPath, DisplayName(newPath))});
    } else {
        FPrompts->ReportFailures({Line("%1: %2", "%1: %2", oldPath, SystemError(error))});
    }
    return false;
}

} // namespace quorvane
