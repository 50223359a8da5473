// TfrmMain: the main window. The layout (MainForm.ui) carries the design's
// control names as objectNames; this class carries the handlers, which read
// the controls, call the search core's plain functions and show the result.
// Invariant: FListReady is false only while a search or "List All" rebuilds
// the result list, and every way out of a rebuild (also an error) sets it
// back, hides the progress window and unlocks the list.
#pragma once

#include "DesktopShell.h"
#include "DuplicateSearch.h"
#include "FileListModel.h"
#include "FileOperations.h"
#include "FileTask.h"
#include "Kelphint.h"
#include "LocalFileOperations.h"
#include "NotDuplicatesPrompt.h"
#include "NumberedSearch.h"
#include "Replace.h"
#include "ResultFile.h"
#include "SearchCriteria.h"
#include "SearchWorker.h"
#include "SimilarRules.h"
#include "SimilarSearch.h"
#include "UserMessages.h"
#include "ui_MainForm.h"

#include <QCursor>
#include <QFile>
#include <QMainWindow>
#include <array>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QKeyEvent;
class QComboBox;
class QLabel;
class QMenu;
class QTimer;

namespace quorvane {

class TfrmProgress;
class TfrmViewer;
class IFileOperations;
class TMessageBoxes;
class TNotReadReport;
class TDirectoryList;
class TDirectoryPicker;
class TListWidgetBox;
class TUpDown;
class TProtectedFolders;
class TCaptureInfoView;
class TNotDuplicates;
class TCaptureCache;
class TPreviewController;
struct TCaptureInfo;

// What the file commands ask of the picture side of the window: the
// preview, the slides strip and the full-size viewer. Empty hooks do nothing.
struct TFileDisplayHooks {
    std::function<void()> RequestPreview;
    std::function<void()> RequestSlides;
    std::function<void(const std::string& path)> OpenViewer;
    // A deleted file: every slide whose FileName is exactly this path is
    // hidden and emptied.
    std::function<void(const std::string& path)> ForgetDeletedFile;
};

class TfrmMain : public QMainWindow, private Ui::frmMain {
    Q_OBJECT

  public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Wiring done by main (and by the tests).
    void SetProgressForm(TfrmProgress* form);
    // Also makes the window the viewer's host (MainFormViewer.cpp).
    void SetViewer(TfrmViewer* viewer);
    TfrmViewer* Viewer() const { return FViewer; }
    // Installs the message interface; nullptr restores the message boxes.
    void SetUserMessages(IUserMessages* messages);
    IUserMessages& Messages() const { return *FMessages; }
    // The duplicate search the window runs (quorvane::FindNumberedDuplicates unless
    // replaced, as the tests do to reproduce a failing contents check).
    using TDuplicateSearch =
        std::function<TSearchOutcome(const std::vector<std::string>&, const TSearchCriteria&, bool,
                                     TDuplicateHost&, std::vector<TFileRecord>&)>;
    void SetDuplicateSearch(TDuplicateSearch search) { FDuplicateSearch = std::move(search); }
    // The similar-pictures criterion (MainFormSimilar.cpp). The decoder of
    // the formats the core does not read; nullptr restores Qt's readers.
    bool SimilarChecked() const;
    int Tolerance() const;
    void SetSimilarDecoder(TPictureDecoder decoder);
    // True while a search runs beside the window (MainFormSearch.cpp).
    bool SearchRunning() const;
    // Asks the running search to stop; the list stays as it was.
    void CancelSearch();
    // Shows an error that escaped an event in the application's error box.
    void ShowException(const QString& message);

    // State of the window.
    bool ListReady() const { return FListReady; }
    int SortMode() const { return FSortMode; }
    bool IgnoreListChange() const { return FIgnoreListChange; }
    int MarkedIndex() const;
    TFileListModel* FileList() const { return FModel; }
    QTimer* PreviewTimer() const { return Timer1; }
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString& text, bool repaintNow);

    // The result list.
    void ClearFileList();
    int lvFilesCompare(const TFileRecord& x, const TFileRecord& y) const;
    void SetSortMode(int mode);
    void GotoNextGroup();
    void GotoPriorGroup();
    void DeselectAll();
    void SetListReady(bool ready) { FListReady = ready; }
    int FocusedRow() const;
    // The ticked criteria of the Options page, read at the moment of asking.
    TSearchCriteria Criteria() const;

    // The input directories: lstDir's items in list order, as file-system bytes.
    std::vector<std::string> InputDirectories() const;
    // Adds a directory typed into Edit1 but not yet listed (the first step of
    // both searches).
    void AddPendingDirectory();
    // Restores the stored options and directories (run when first shown).
    void LoadOptions();
    // Writes the options and the directory list to the store ("Save options").
    void SaveOptions();
    // The directory picker of "+" and "Add": the interface language sets its
    // texts; tests install a fake one (the texts carry over).
    TDirectoryPicker& OpenDialog() const { return *FOpenDialog; }
    void SetDirectoryPicker(std::unique_ptr<TDirectoryPicker> picker);
    // The chooser of the file "Export..." writes (tests give their own).
    void SetExportPicker(std::unique_ptr<TDirectoryPicker> picker);
    // The file dialogs of "Save Results..." and "Open Results...".
    void SetResultPickers(std::unique_ptr<TDirectoryPicker> save, std::unique_ptr<TDirectoryPicker> open);
    void SetForgetNotDuplicatesPrompt(std::unique_ptr<IForgetNotDuplicatesPrompt> prompt);
    // Applies the interface language (1 English, any other code Chinese).
    void SetLanguage(int code);
    // Empties the slides strip (end of every rebuild of the list).
    void ClearSlides();

    // The preview pane (MainFormPreview.cpp) and the slides strip
    // (MainFormSlides.cpp), driven by the list's focused row.
    void RequestPreview();
    void RequestSlides();
    void FillSlides();
    void HighlightSlide();
    // Shows the file in the full-size viewer.
    void OpenViewer(const std::string& path);
    TAdvImage* PreviewImage() const { return Image; }
    // Slide k = 1 .. 5, left to right.
    TAdvImage* SlideImage(int k) const { return FSlides[static_cast<std::size_t>(k - 1)]; }
    bool PendingLoad() const;
    QString PendingFile() const;
    // Puts edTime and UpDown1 over the run of spaces in Label5's text.
    void PlaceDelayEdit();
    bool PaintDelayLabel();
    void PlaceAddedOptions();

    // File commands (MainFormFiles.cpp, MainFormDelete.cpp).
    void DeleteSelectedFiles();
    // Deletes the files of rows after the copy check; questions belong to
    // owner (the main window when nullptr). done(gone) runs at the end.
    void DeleteRows(const std::vector<int>& rows, QWidget* owner, std::function<void(bool gone)> done);
    // False while a search or a check of files runs: Del, rename, Select
    // Duplicates and the viewer's Delete wait (the list can still be
    // browsed, previewed and viewed).
    bool FileCommandsAllowed() const;
    // True while a check of files (before a deletion, or F5) runs.
    bool FileTaskRunning() const { return FFileTask && FFileTask->Running(); }
    // "Check the list against the disk" (F5) and "Undo Delete" (Ctrl+Z).
    void miCheckDiskClick();
    void miUndoDeleteClick();
    bool RenameListedFile(const std::string& oldPath, const std::string& newPath);
    void OpenFocusedFile();
    void ShellOpen(const std::string& file, const std::string& parameters);
    // The flags of a deletion from ckNoConfirm and ckNoRecycle (also the
    // viewer's).
    unsigned DeleteRequestFlags() const;
    IFileOperations& FileOperations() const { return *FFileOps; }
    // Test seams; nullptr restores the real ones.
    void SetFileOperations(IFileOperations* operations);
    void SetFilePrompts(IFileOpPrompts* prompts);
    void SetShell(IShellOpen* shell);
    TFileDisplayHooks& DisplayHooks() { return FDisplayHooks; }
    // The programs of the two "Open With" entries: the chosen one, else the
    // desktop default; empty when there is none.
    QString ViewerProgram() const;
    QString EditorProgram() const;
    void SetDefaultPrograms(const QString& viewer, const QString& editor);

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    class TViewerLink;
    friend class TViewerLink;
    class TGuardedFileOperations;
    friend class TGuardedFileOperations;

    void setupFonts();
    void setupPanels();
    void setupStatusBar();
    void setupResultList();
    void setupMenus();
    void connectHandlers();
    void setupWorkspace();

    void FormCreate();
    void FormShow();
    void FormResize();

    void btnFindDuplicatesClick();
    void btnFindAllClick();
    void ckSizeClick();
    // The searches (MainFormSearch.cpp): the refusals are checked here, the
    // work runs on FWorker, and SearchFinished takes its outcome.
    enum class TSearchKind { Duplicates, ListAll, Similar };
    bool FindDuplicatesRefused();
    void StartSearch(TSearchKind kind, TSearchWorker::TJob job);
    void SearchFinished();
    void SetSearchControlsEnabled(bool enabled);
    // The end of every rebuild of the list, also one ended by an error:
    // slides emptied, progress window hidden, FListReady set again.
    void FinishRebuild();
    // A rebuild ended by an error: the rows found so far stay, the window is
    // made usable again, then the error box is shown.
    void RecoverFromSearchError(const QString& message);
    void ShowProgressWindow();
    void ShowSearchPercentage(int percent, bool repaintNow);
    // The similar-pictures criterion and search (MainFormSimilar.cpp).
    void setupSimilar();
    void ApplyCriteriaEnabling();
    void ckMoreFormatsClick();
    void edToleranceChange();
    TSimilarOptions SimilarOptions() const;
    void StartSimilarSearch();
    void FinishSimilarSearch();
    // What a search could not read (MainFormUnread.cpp).
    void setupNotRead();
    void ShowNotRead(std::vector<TNotRead> entries);
    // The photo options (MainFormFormats.cpp).
    void setupFormats();
    void ckTurnUprightClick();
    void ckColourSlidesClick();
    // The bound of the decoded pictures kept in memory, in MiB.
    static constexpr int kMinPictureCacheMiB = 16;
    static constexpr int kMaxPictureCacheMiB = 16384;
    void setupPictureCacheOption(QWidget* page);
    void edPictureCacheChange();
    QLineEdit* edPictureCache = nullptr; // stored as "PictureCacheMiB"

    void lvFilesColumnClick(int column);
    void lvFilesDeletion(const QModelIndex& parent, int first, int last);
    void lvFilesContextMenu(const QPoint& position);
    void lvFilesEdited(int row, const QString& newName);
    void PopupMenu1Popup();
    void setupFiles();
    // "Select Duplicates", "Invert Selection", "Keep in each group:"
    // (MainFormSelect.cpp).
    void setupSelection();
    void ApplySelectionTexts();
    void miSelectDuplicatesClick();
    // Selects the rows chosen and says how many in panel 1.
    void SelectDuplicateRows(const std::vector<std::size_t>& rows);
    void miInvertSelectionClick();
    void ShowSelectionSummary(std::size_t files, std::uint64_t bytes);
    void ForgetSelectionSummary();
    void setupDisplayHooks();
    void lvFilesDblClick();
    bool HandleFileKey(QKeyEvent* event);
    void miOpenClick();
    void miAcdseeClick();
    void miUltraEditClick();
    void miDeleteClick();
    void btnOpenWithClick();
    void SetFileCommandsLanguage(bool chinese);
    // What a deletion reads back from the disk: Rows (ascending) and the
    // state of each. ReadBackRows touches no member, so it runs on the
    // worker thread while the rows stay unchanged.
    struct TReadBack {
        std::vector<std::size_t> Rows;
        std::vector<std::uint8_t> States;
    };
    static TReadBack ReadBackRows(const std::vector<TFileRecord>& rows, const std::vector<int>& selected);
    // Removes the selected rows whose files are gone, hiding slides of them;
    // rows of a deletion to the trash are kept for "Undo Delete". True when
    // any row left.
    bool ApplyReadBack(const std::vector<int>& selected, const TReadBack& readBack, bool toTrash);
    bool RemoveRowsOfGoneFiles(const std::vector<int>& selected, bool toTrash);
    void EndDeletion(bool gone, QWidget* owner, std::function<void(bool gone)> done);
    void FinishDeletion(std::vector<int> rows, std::vector<int> withoutCopy, bool checked, QWidget* owner,
                        std::function<void(bool gone)> done);
    void SelectFocusedRow();
    // Sets the rows' disk states; Apply also marks the focused group again
    // when any changed.
    bool SetDiskStates(const std::vector<std::size_t>& rows, const std::vector<std::uint8_t>& states);
    void ApplyDiskStates(const std::vector<std::size_t>& rows, const std::vector<std::uint8_t>& states);
    void CheckFocusedRowAgainstDisk();
    void PutRowsBack(std::vector<TFileRecord> batch);
    void RunFileTask(TFileTask::TWork work, std::function<void(bool cancelled)> done);
    void FileTaskFinished();
    void setupDiskCommands();
    std::vector<int> SelectedRowIndices() const;
    void miNextGroupClick() { GotoNextGroup(); }
    void miPriorGroupClick() { GotoPriorGroup(); }
    void FocusAndSelect(int row);
    bool HandleListKey(QKeyEvent* event);

    void Label4Click();
    void Image1Click();

    // What searches leave out (MainFormFilters.cpp).
    void setupFilters();
    TScanFilter ScanFilterOfControls() const;
    QLineEdit* edMinSize = nullptr;        // stored as "FilterMinSize"
    QLineEdit* edMaxSize = nullptr;        // stored as "FilterMaxSize"
    QLineEdit* edExcludeNames = nullptr;   // stored as "FilterExcludeNames"
    QLineEdit* edExtensions = nullptr;     // stored as "FilterExtensions"
    QLineEdit* edExcludeFolders = nullptr; // stored as "FilterExcludeFolders"

    // Saving and opening results; files marked as not duplicates (MainFormResults.cpp).
    void setupResultCommands();
    void NoteSearchStarted(TSearchKind kind);
    void miSaveResultsClick();
    void miOpenResultsClick();
    void ShowOpenedResults(TSavedResult result);
    std::vector<int> NotDuplicateChoice() const;
    bool LoadNotDuplicates(TNotDuplicates& store, const std::string& path);
    void miNotDuplicatesClick();
    void miForgetNotDuplicatesClick();
    QAction* miSaveResults = nullptr;
    QAction* miOpenResults = nullptr;
    QAction* miNotDuplicates = nullptr;
    QAction* miForgetNotDuplicates = nullptr;
    std::unique_ptr<TDirectoryPicker> FResultsSaveDialog;
    std::unique_ptr<TDirectoryPicker> FResultsOpenDialog;
    std::unique_ptr<IForgetNotDuplicatesPrompt> FForgetPrompt;
    TResultSearch FLastSearch; // what the list's search looked for, kept with saved results
    std::int64_t FLastSearchedAt = 0;

    // The list's added columns and the header's menu (MainFormColumns.cpp).
    void setupOptionalColumns();
    void ApplyColumnTexts();
    TDimensionsSource* FDimensions = nullptr;
    QMenu* HeaderMenu = nullptr;
    std::array<QAction*, 3> miColumns{};
    std::array<QCheckBox*, 3> ckColumns{}; // hidden; stored under their names

    // Taking rows out of the list, opening a row's folder (MainFormRows.cpp).
    void setupRowCommands();
    void EnableRowCommands();
    std::vector<int> GroupChoice() const;
    void RemoveListRows(std::vector<int> rows);
    void miOpenFolderClick();
    void miExportClick();

    // Replacing duplicates by links or clones, moving them (MainFormReplace.cpp).
    void setupReplaceCommands();
    void ReplaceSelectedRows(EReplaceAction action);
    // done(gone) runs at the end when given; gone: the files moved away.
    void ReplaceRows(const std::vector<int>& rows, EReplaceAction action,
                     std::function<void(bool gone)> done = {});
    void FinishReplacement(const TReplacementPlan& plan, const std::vector<TReplaceOutcome>& outcomes,
                           EReplaceAction action, const std::function<void(bool gone)>& done);
    void NoteReplacedRow(int row, EReplaceAction action, const std::string& kept);
    // Asks about each planned file in a protected folder (default No) and
    // drops the declined ones; false when none is left.
    bool ConfirmProtectedReplacements(TReplacementPlan& plan);
    // Moves the files of the newest move back when it is newer than the
    // newest deletion; false when a deletion is the newer (or nothing moved).
    bool UndoLastMove();

    // The interface language (MainFormLanguage.cpp).
    void setupLanguage();
    void ChangeLangClick();
    // Sets the texts of both windows and the picker for the installed
    // translators.
    void ApplyInterfaceTexts();

    // The preview pane (MainFormPreview.cpp).
    void setupPreview();
    void setupPreviewController();
    void lvFilesChange();
    // The focused photo's capture line: asked for when the focus settles on
    // a picture row, shown as the preview's and the row's tooltip.
    void RequestCaptureInfo();
    void CaptureInfoReady(const std::string& path, const TCaptureInfo& info);
    bool FocusedRowIsPicture() const;
    std::string RowPath(int row) const;
    bool edTimeKeyPress(QKeyEvent* event);
    void edTimeChange();
    void UpDown1Change(int position);
    void raClickClick();
    void raDblClickClick();
    void ckPreviewClick();
    void ImageImageLoading();
    void ImageImageLoaded();
    void ImageDblClick();
    void miViewClick();
    void PopupMenu2Popup();
    void miPreviewClick();
    void miViewFullClick();
    bool FormKeyDown(QKeyEvent* event);

    // The slides strip (MainFormSlides.cpp).
    void setupSlides();
    void pnSlidesResize();
    void ckShowSlidesClick();
    void SlideImageMouseDown(TAdvImage* sender);
    void SlideImageDblClick(TAdvImage* sender);

    // The directory area and "Save options" (MainFormWorkspace.cpp).
    TDirectoryList DirectoryList();
    void Edit1KeyDown();
    void btnAddDirClick();
    void miDelItemsClick();
    void miDelAllItemsClick();
    void lstDirClick();
    void PopupMenu3Popup();
    void btnSaveOptionsClick();
    // Protected folders (MainFormProtect.cpp).
    void setupProtection();
    void PopupMenu3ProtectPopup();
    void miProtectItemClick();
    // The protected entries of lstDir as they stand now.
    TProtectedFolders ProtectedFolders();

    // Runs a handler's work; an exception it lets escape is shown in the
    // application's error box and the program goes on.
    template <typename Work> void RunGuarded(Work&& work);

    bool FListReady = true;
    int FSortMode = 0;
    bool FIgnoreListChange = false;
    bool FShownOnce = false;
    // The width of the delay label's gap when the label draws its own two
    // parts around the edit (a text wider than the page); 0 otherwise.
    int FDelayLabelGap = 0;
    QObject* FDelayLabelHook = nullptr;
    std::array<TAdvImage*, 5> FSlides{};
    TPreviewController* FPreview = nullptr; // what the preview pane and the slides show

    TFileListModel* FModel = nullptr;
    TCaptureInfoView* FCaptureView = nullptr;
    // Capture infos read before, shared with the view's worker thread;
    // loaded on first use, saved after Select Duplicates and at the end.
    std::shared_ptr<TCaptureCache> FCaptureCache;
    std::string FCaptureShown; // the path whose capture line the preview shows
    QTimer* Timer1 = nullptr;
    TKelpHint* KelpHint1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QMenu* PopupMenu3 = nullptr;
    QAction* miNextGroup = nullptr;
    QAction* miPriorGroup = nullptr;
    QAction* miSelectDuplicates = nullptr;
    QAction* miInvertSelection = nullptr;
    QLabel* lbKeepRule = nullptr;
    QComboBox* cbKeepRule = nullptr;
    bool FSelectionSummaryShown = false;
    QString FPanel1BeforeSelection;
    QString FSelectionSummary;
    std::pair<std::size_t, std::uint64_t> FSelectionCounts; // files, bytes
    QAction* miOpen = nullptr;
    QAction* miViewFull = nullptr;
    QAction* miPreview = nullptr;
    QAction* miAcdsee = nullptr;
    QAction* miUltraEdit = nullptr;
    QAction* miDelete = nullptr;
    QAction* miView = nullptr;
    QAction* miAddItem = nullptr;
    QAction* miDelItems = nullptr;
    QAction* miDelAllItems = nullptr;
    QAction* miProtectItem = nullptr;
    QCursor FHandCursor;
    QCheckBox* ckSimilar = nullptr; // stored as "ckSimilar"
    QLabel* lblTolerance = nullptr;
    QLineEdit* edTolerance = nullptr; // stored as "Tolerance"
    TUpDown* UpDownTolerance = nullptr;
    QCheckBox* ckMoreFormats = nullptr;  // stored as "ckMoreFormats"
    QCheckBox* ckTurnUpright = nullptr;  // stored as "ckTurnUpright"
    QCheckBox* ckTurns = nullptr;        // stored as "ckTurns"
    QCheckBox* ckSamePixels = nullptr;   // stored as "ckSamePixels"
    QCheckBox* ckCrops = nullptr;        // stored as "ckCrops"
    QCheckBox* ckColourSlides = nullptr; // stored as "ckColourSlides"
    TPictureDecoder FSimilarDecoder;
    std::shared_ptr<TSimilarOutcome> FSimilarOutcome;

    TfrmProgress* FProgress = nullptr;
    TfrmViewer* FViewer = nullptr;
    std::shared_ptr<TViewerLink> FViewerLink;
    std::unique_ptr<TMessageBoxes> FMessageBoxes;
    IUserMessages* FMessages = nullptr;
    std::unique_ptr<TSearchWorker> FWorker;
    TNotReadReport* FNotRead = nullptr;
    TSearchKind FSearchKind = TSearchKind::Duplicates;
    QString FPanel0BeforeSearch;
    std::vector<std::pair<QWidget*, bool>> FSearchControlStates;
    std::unique_ptr<TListWidgetBox> FDirBox;
    std::unique_ptr<TDirectoryPicker> FOpenDialog;
    TDuplicateSearch FDuplicateSearch = &quorvane::FindNumberedDuplicates;

    // File commands.
    std::unique_ptr<TFileOpBoxes> FFileBoxes;
    std::unique_ptr<TLocalFileOperations> FLocalFileOps;
    std::unique_ptr<TDesktopShell> FDesktopShell;
    IFileOperations* FFileOps = nullptr;
    // FFileOps behind the protected-folder question; every deletion uses it.
    std::unique_ptr<IFileOperations> FGuardedOps;
    IFileOpPrompts* FFilePrompts = nullptr;
    IShellOpen* FShell = nullptr;
    TFileDisplayHooks FDisplayHooks;
    // The check of files under way, and what follows it.
    std::unique_ptr<TFileTask> FFileTask;
    std::function<void(bool cancelled)> FFileTaskDone;
    QTimer* FFileTaskWindowDelay = nullptr;
    // The list holds similar pictures: their copies differ by design.
    bool FListIsSimilar = false;
    // The removed rows of the last deletions to the trash, newest first.
    std::deque<std::vector<TFileRecord>> FUndoRows;
    QAction* miUndoDelete = nullptr;
    QAction* miCheckDisk = nullptr;
    // The files of the last moves to a folder, newest first, and which kind
    // each of the newest undoable steps was (true: a move), newest first.
    struct TMovedBatch {
        std::vector<TFileRecord> Rows;
        std::vector<std::string> MovedTo;
    };
    std::deque<TMovedBatch> FMovedBatches;
    std::deque<bool> FUndoIsMove;
    QAction* miRemoveFromList = nullptr;
    QAction* miRemoveGroup = nullptr;
    QAction* miOpenFolder = nullptr;
    QAction* miExport = nullptr;
    std::unique_ptr<TDirectoryPicker> FExportDialog; // the file "Export..." writes
    QAction* miReplaceHardLink = nullptr;
    QAction* miReplaceSymbolicLink = nullptr;
    QAction* miReplaceClone = nullptr;
    QAction* miMoveToFolder = nullptr;
    QAction* miAbsoluteLinks = nullptr;
    QCheckBox* ckAbsoluteLinks = nullptr; // stored as "ckAbsoluteLinks"
    QCheckBox* ckViewerFit = nullptr;     // hidden; the viewer's fit to screen
    void setupViewerOptions();
    QAbstractItemView::EditTriggers FEditTriggers;
    QLineEdit* ViewerProgramText = nullptr; // stored as "ViewerProgram"
    QLineEdit* EditorProgramText = nullptr; // stored as "EditorProgram"
    QPushButton* btnOpenWith = nullptr;
    mutable std::optional<QString> FDefaultViewer;
    mutable std::optional<QString> FDefaultEditor;
};

} // namespace quorvane

namespace quorvane {

template <typename Work> void TfrmMain::RunGuarded(Work&& work)
{
    try {
        work();
    } catch (const std::exception& error) {
        ShowException(QString::fromLocal8Bit(error.what()));
    }
}

} // namespace quorvane
