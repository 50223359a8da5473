// Protected folders: whether a file lies at or below a protected directory
// entry, and the question asked before such a file is deleted. Paths are
// compared cleaned and absolute, on whole path components, with the
// platform's case rule. Invariant: a file counts as protected when its path,
// as listed or with the links of its directory resolved, lies under one, or
// when its directory or any directory above it on its own path is a
// protected folder by (device, inode), which a bind mount cannot hide.
#pragma once

#include "FileOperations.h"
#include "TFileRecord.h"

#include <QString>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvane {

// Asked before a file of a protected folder is deleted, even when "No
// confirmation" is ticked; %1 is the file's path.
inline const QString kProtectedDeleteQuestion = QStringLiteral("「%1」位於受保護的資料夾中, 確定要刪除嗎?");
inline const QString kProtectedDeleteQuestionEnglish =
    QStringLiteral("\"%1\" is in a protected folder. Delete it anyway?");

// The question in the interface language, with path put in one pass (a path
// holding "%2" stays as it is).
QString ProtectedDeleteQuestion(const QString& path, EFileOpLanguage language);

// The path made absolute (a relative Linux path against the working
// directory), with empty and "." components dropped and ".." applied
// without looking at the disk; no trailing separator except on a root.
std::string CleanAbsolutePath(std::string_view path, PathStyle style = kNativePathStyle);

// True when path is folder itself or lies below it, both cleaned first and
// compared on whole components: "/a/photos" covers "/a/photos/x" but not
// "/a/photos2". Byte-exact on Linux; A to Z folded with the Windows style.
bool IsAtOrBelow(std::string_view folder, std::string_view path, PathStyle style = kNativePathStyle);

// The protected entries of the directory list, asked about many files at
// once (the answer for a directory is kept, so a list of many rows costs one
// test per directory).
class TProtectedFolders {
  public:
    TProtectedFolders() = default;
    explicit TProtectedFolders(const std::vector<std::string>& folders, PathStyle style = kNativePathStyle);

    bool Empty() const { return FFolders.empty(); }
    // True when a file of this directory lies at or below a protected entry.
    bool CoversDirectory(const std::string& directory) const;
    bool CoversFile(const std::string& path) const;
    // Rows share their directory's text: the answer is kept per shared text
    // too, which is why one object must not outlive the rows it was asked
    // about (a freed text's address may come back for another directory).
    bool CoversRow(const TFileRecord& row) const;

  private:
    bool UnderAny(const std::string& path) const;
    // True when the cleaned directory, or one above it, is a protected folder
    // by identity; one stat per directory, answers kept.
    bool IdentityCovers(const std::string& cleanDirectory) const;

    PathStyle FStyle = kNativePathStyle;
    // Each entry cleaned, and again with its links resolved when that differs.
    std::vector<std::string> FFolders;
    // (device, inode) of each entry that exists (native paths only).
    std::set<std::pair<std::uint64_t, std::uint64_t>> FIdentities;
    mutable std::unordered_map<std::string, bool> FByDirectory;
    mutable std::unordered_map<std::string, bool> FByIdentity;
    mutable std::unordered_map<const std::string*, bool> FByRowDirectory;
};

// The items a deletion may take: every item outside the protected folders,
// and each protected one the user confirms, asked one file at a time with
// No as the default button, in the given language (the window passes its
// interface language). Order is kept.
std::vector<TDeleteItem> ConfirmProtectedDeletions(const std::vector<TDeleteItem>& items,
                                                   const TProtectedFolders& folders, IFileOpPrompts& prompts,
                                                   EFileOpLanguage language = EFileOpLanguage::Chinese);

} // namespace quorvane
