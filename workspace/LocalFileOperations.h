// TLocalFileOperations: the file-operation service on a POSIX system. It
// asks one question per deletion (unless told not to), checks each file
// against what its row saw just before acting, sends files to our own
// freedesktop trash or unlinks them, and renames without ever replacing a
// file. It never deletes for good what was meant for the trash, and it can
// put the files of its recent deletions to the trash back.
#pragma once

#include "FileOperations.h"
#include "Trash.h"
#include "UndoHistory.h"

namespace quorvane {

// The one question asked before a deletion: names the file (or the number of
// files) and says whether they go to the trash or are deleted for good.
QString DeleteQuestion(const std::vector<TDeleteItem>& items, bool toTrash, EFileOpLanguage language);

class TLocalFileOperations : public IFileOperations {
  public:
    TLocalFileOperations(IFileOpPrompts& prompts, TTrashPlaces places);

    void SetLanguage(EFileOpLanguage language) { FLanguage = language; }
    void SetPrompts(IFileOpPrompts& prompts) { FPrompts = &prompts; }
    EFileOpLanguage Language() const { return FLanguage; }

    void DeleteFiles(const std::vector<TDeleteItem>& items, unsigned flags) override;
    bool SplitsDeletion() const override { return true; }
    bool ConfirmDeletion(std::vector<TDeleteItem>& items, unsigned flags) override;
    QStringList CarryOutDeletion(const std::vector<TDeleteItem>& items, unsigned flags, std::stop_token stop,
                                 const TDeletionProgress& progress) override;
    bool RenameFile(const std::string& oldPath, const std::string& newPath, unsigned flags) override;

    // Each DeleteFiles call that moved at least one file to the trash is one
    // batch of the undo history (the last TUndoHistory::kMaxBatches of this
    // object's life); deletions for good are never recorded.
    bool CanUndo() const override { return !FHistory.Empty(); }
    TUndoOutcome UndoLastDeletion() override;
    const TUndoHistory& History() const { return FHistory; }

  private:
    // One file: checked, then trashed or unlinked; an empty text on success,
    // else the line that tells the user why the file was left.
    // A file moved to the trash is added to batch.
    QString DeleteOne(const TDeleteItem& item, bool toTrash, TDeletionBatch& batch) const;
    QString RestoreFailure(const TTrashedFile& file, const TRestoreOutcome& outcome) const;
    QString Line(const char* english, const char* chinese, const std::string& path,
                 const QString& detail = {}) const;

    IFileOpPrompts* FPrompts;
    TTrash FTrash;
    TUndoHistory FHistory;
    EFileOpLanguage FLanguage = EFileOpLanguage::English;
};

} // namespace quorvane
