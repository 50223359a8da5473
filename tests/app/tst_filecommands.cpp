// The main window's file commands through its real widgets, with recording
// fakes for the file-operation service, its questions and the desktop
// shell: delete flags and read-back, the last-copy question, rename checks,
// open and "Open With", PopupMenu1's rules, double click and keys, and
// the commands that take rows out of the list.
#include "AppFakes.h"
#include "DirectoryList.h"
#include "FileCommands.h"
#include "MainForm.h"
#include "NotDuplicates.h"
#include "PathRules.h"
#include "ProtectedFolders.h"
#include "ResultRows.h"
#include "TakenJpeg.h"
#include "ViewImage.h"
#include "WindowRules.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QImageWriter>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;
using quorvane::test::TakenJpeg;
using quorvane::test::TRecordingMessages;

namespace {

class TRecordingPrompts : public IFileOpPrompts {
  public:
    bool Answer = true;
    QList<bool> Answers; // taken first, in order; then Answer
    QStringList Questions;
    QList<bool> Defaults;
    QStringList Failures;
    bool Confirm(const QString& question, bool defaultYes) override
    {
        Questions.append(question);
        Defaults.append(defaultYes);
        return Answers.isEmpty() ? Answer : Answers.takeFirst();
    }
    void ReportFailures(const QStringList& lines) override { Failures += lines; }
};

// Deletes every requested file except the locked ones, as a service whose
// user declined or that failed on some files would.
class TFakeFileOps : public IFileOperations {
  public:
    QList<unsigned> DeleteFlags;
    std::vector<std::vector<std::string>> Deleted; // paths asked, per request
    std::set<std::string> Locked;
    QList<std::pair<std::string, std::string>> Renames;
    bool RenameResult = true;

    void DeleteFiles(const std::vector<TDeleteItem>& items, unsigned flags) override
    {
        DeleteFlags.append(flags);
        Deleted.emplace_back();
        for (const TDeleteItem& item : items) {
            Deleted.back().push_back(item.Path);
            if (!Locked.count(item.Path)) ::unlink(item.Path.c_str());
        }
    }
    bool RenameFile(const std::string& oldPath, const std::string& newPath, unsigned) override
    {
        Renames.append({oldPath, newPath});
        return RenameResult;
    }
};

class TRecordingShell : public IShellOpen {
  public:
    QList<std::pair<std::string, std::string>> Calls;
    bool Starts = true;
    bool ShellOpen(const std::string& file, const std::string& parameters) override
    {
        Calls.append({file, parameters});
        return Starts;
    }
};

} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void deleteFlags_data();
    void deleteFlags();
    void lockedFileStaysSelected();
    void manyScatteredRows();
    void lastCopyQuestion_data();
    void lastCopyQuestion();
    void realServiceLeavesChangedFile();
    void renameChecks_data();
    void renameChecks();
    void renameFailureKeepsName();
    void openWith_data();
    void openWith();
    void popupEnabling();
    void doubleClickMatrix_data();
    void doubleClickMatrix();
    void keys();
    void adjacentGroupsOfOneSize();
    void removeRowsLeavesFiles();
    void optionalColumns();
    void resultsSaveAndOpen();
    void notDuplicatesAreRemembered();
    void filtersShapeTheSearch();
    void exportWritesTheList();
    void selectDuplicates();
    void rules_data();
    void rules();
    void selectDuplicatesReadsTheFiles_data();
    void selectDuplicatesReadsTheFiles();
    void selectDuplicatesSkipsProtected_data();
    void selectDuplicatesSkipsProtected();
    void deleteAsksForProtected_data();
    void deleteAsksForProtected();
    void viewerDeleteAsksForProtected_data();
    void viewerDeleteAsksForProtected();

  private:
    // The window's search over the temporary folder with Size and CC only.
    void FindBySizeAndContents();
    template <typename T> T* Find(const char* name) const
    {
        return FForm->findChild<T*>(QString::fromLatin1(name));
    }
    QTreeView* List() const { return Find<QTreeView>("lvFiles"); }
    // Files created under the temporary folder, listed as rows in this order.
    void ListFiles(const QList<QPair<QString, QByteArray>>& files);
    std::string PathOf(int row) const { return FForm->FileList()->Row(row).FullPath(); }
    void Select(const QList<int>& rows, int focus);
    // Lists the folder FDir/name in lstDir, protected by its menu entry.
    void ProtectFolder(const QString& name);
    QList<int> SelectedRows() const;
    // The language the window asks its questions in.
    EFileOpLanguage Language() const
    {
        return Find<QRadioButton>("rbChinese")->isChecked() ? EFileOpLanguage::Chinese
                                                            : EFileOpLanguage::English;
    }

    TfrmMain* FForm = nullptr;
    std::unique_ptr<QTemporaryDir> FTemp;
    std::string FDir;
    TRecordingMessages FMessages;
    TRecordingPrompts FPrompts;
    TFakeFileOps FOps;
    TRecordingShell FShell;
    QStringList FHookCalls;
};

void TestFileCommands::initTestCase()
{
    // Whatever reaches the real trash stays inside the test's own folder.
    static QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dataHome.path() + QStringLiteral("/config")));
}

void TestFileCommands::init()
{
    FTemp = std::make_unique<QTemporaryDir>();
    FDir = QFile::encodeName(FTemp->path()).toStdString();
    FMessages = TRecordingMessages();
    FPrompts = TRecordingPrompts();
    FOps = TFakeFileOps();
    FShell = TRecordingShell();
    FHookCalls.clear();
    FForm = new TfrmMain;
    FForm->SetUserMessages(&FMessages);
    FForm->SetFilePrompts(&FPrompts);
    FForm->SetFileOperations(&FOps);
    FForm->SetShell(&FShell);
    FForm->SetDefaultPrograms(QStringLiteral("/usr/bin/eog"), QStringLiteral("gedit"));
    TFileDisplayHooks& hooks = FForm->DisplayHooks();
    hooks.RequestPreview = [this] { FHookCalls << "preview"; };
    hooks.RequestSlides = [this] { FHookCalls << "slides"; };
    hooks.OpenViewer = [this](const std::string& path) {
        FHookCalls << "viewer " + QString::fromStdString(path);
    };
    hooks.ForgetDeletedFile = [this](const std::string& path) {
        FHookCalls << "forget " + QString::fromStdString(path);
    };
    FForm->resize(1024, 700);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowActive(FForm));
}

void TestFileCommands::cleanup()
{
    delete FForm;
    FForm = nullptr;
}

void TestFileCommands::ListFiles(const QList<QPair<QString, QByteArray>>& files)
{
    std::vector<TFileRecord> rows;
    for (const auto& [name, bytes] : files) {
        // "sub/x.jpg" is listed as x.jpg in the directory sub.
        const std::string path = FDir + '/' + QFile::encodeName(name).toStdString();
        QVERIFY(quorvane::test::WriteFile(QFile::decodeName(QByteArray::fromStdString(path)), bytes));
        struct stat st {};
        QVERIFY(::stat(path.c_str(), &st) == 0);
        TFileRecord row;
        row.Name = path.substr(path.rfind('/') + 1);
        row.Directory = std::make_shared<const std::string>(path.substr(0, path.rfind('/')));
        row.Size = static_cast<std::uint64_t>(st.st_size);
        row.TimeKey = 202401021530;
        row.ImageIndex = IsPictureFile(row.Name) ? kImagePicture : kImageOtherFile;
        row.Device = st.st_dev;
        row.Inode = st.st_ino;
        row.ModifiedNs = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
        rows.push_back(std::move(row));
    }
    FForm->FileList()->SetRows(std::move(rows));
    FForm->SetStatusText(1, QStringLiteral("Total Files:%1").arg(files.size()), false);
}

void TestFileCommands::Select(const QList<int>& rows, int focus)
{
    QItemSelectionModel* selection = List()->selectionModel();
    selection->clearSelection();
    if (focus >= 0)
        selection->setCurrentIndex(FForm->FileList()->index(focus, 0), QItemSelectionModel::NoUpdate);
    for (int row : rows)
        selection->select(FForm->FileList()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TestFileCommands::ProtectFolder(const QString& name)
{
    auto* list = Find<QListWidget>("lstDir");
    const QString path = FTemp->filePath(name);
    QVERIFY(QDir().mkpath(path));
    list->addItem(path);
    list->setCurrentRow(list->count() - 1);
    Find<QAction>("miProtectItem")->trigger();
}

QList<int> TestFileCommands::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : List()->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TestFileCommands::deleteFlags_data()
{
    QTest::addColumn<bool>("noConfirm");
    QTest::addColumn<bool>("noRecycle");
    QTest::addColumn<unsigned>("flags");
    QTest::newRow("no confirmation") << true << false << 0x50u;
    QTest::newRow("both") << true << true << 0x10u;
    QTest::newRow("neither") << false << false << 0x40u;
    QTest::newRow("only no recycle bin") << false << true << 0x00u;
}

void TestFileCommands::deleteFlags()
{
    QFETCH(bool, noConfirm);
    QFETCH(bool, noRecycle);
    QFETCH(unsigned, flags);
    Find<QCheckBox>("ckNoConfirm")->setChecked(noConfirm);
    Find<QCheckBox>("ckNoRecycle")->setChecked(noRecycle);
    ListFiles({{"a.jpg", "xx"}, {"b.jpg", "xx"}});
    Select({1}, 1);
    Find<QAction>("miDelete")->trigger();
    QCOMPARE(FOps.DeleteFlags, QList<unsigned>{flags});
    QCOMPARE(FForm->DeleteRequestFlags(), flags);
}

void TestFileCommands::lockedFileStaysSelected()
{
    // Three groups of two (by size); one row of each is selected, and the
    // service leaves the second file. "A.JPG" differs from "a.jpg" by case.
    ListFiles({{"a.jpg", "1"},
               {"A.JPG", "1"},
               {"b.gif", "22"},
               {"c.gif", "22"},
               {"d.txt", "333"},
               {"e.txt", "333"}});
    FOps.Locked.insert(PathOf(2));
    Select({0, 2, 4}, 4);
    const std::string a = PathOf(0), e = PathOf(4), b = PathOf(2);
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Delete);
    QCOMPARE(FOps.Deleted.size(), std::size_t{1});
    QCOMPARE(FOps.Deleted.front(), (std::vector<std::string>{a, b, e}));
    QCOMPARE(FForm->FileList()->rowCount(), 4);
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Total Files:4"));
    QCOMPARE(QString::fromStdString(PathOf(1)), QString::fromStdString(b));
    QVERIFY(SelectedRows().contains(1));
    QCOMPARE(QString::fromStdString(PathOf(0)), QString::fromStdString(FDir + "/A.JPG"));
    // Slides are told exactly the deleted paths, nothing for the kept one.
    QCOMPARE(FHookCalls,
             (QStringList{"forget " + QString::fromStdString(a), "forget " + QString::fromStdString(e)}));
    QVERIFY(FPrompts.Questions.isEmpty());
}

void TestFileCommands::manyScatteredRows()
{
    // Every even row of 100 goes (50 runs, removed in one pass); rows 10
    // and 20 are locked and stay selected.
    QList<QPair<QString, QByteArray>> files;
    for (int k = 0; k < 100; ++k)
        files.append({QStringLiteral("f%1.txt").arg(k, 3, 10, QLatin1Char('0')), "x"});
    ListFiles(files);
    QList<int> even;
    for (int k = 0; k < 100; k += 2)
        even.append(k);
    FOps.Locked = {PathOf(10), PathOf(20)};
    Select(even, 98);
    const QPersistentModelIndex kept(FForm->FileList()->index(51, 0));
    FForm->DeleteSelectedFiles();
    QCOMPARE(FForm->FileList()->rowCount(), 52);
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Total Files:52"));
    QStringList names;
    for (int row = 0; row < 6; ++row)
        names << QString::fromStdString(FForm->FileList()->Row(row).Name);
    QCOMPARE(names, (QStringList{"f001.txt", "f003.txt", "f005.txt", "f007.txt", "f009.txt", "f010.txt"}));
    QCOMPARE(kept.row(), 27); // 24 rows above it went
    QCOMPARE(SelectedRows(), (QList<int>{5, 11}));
    QCOMPARE(FHookCalls.size(), 48);
}

void TestFileCommands::lastCopyQuestion_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::newRow("one of two copies") << QList<int>{0} << false << true << false;
    QTest::newRow("both copies, No") << QList<int>{0, 1} << false << false << true;
    QTest::newRow("both copies, Yes") << QList<int>{0, 1} << false << true << true;
    QTest::newRow("lone row, Chinese") << QList<int>{2} << true << false << true;
}

void TestFileCommands::lastCopyQuestion()
{
    QFETCH(QList<int>, selected);
    QFETCH(bool, chinese);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    Find<QCheckBox>("ckNoConfirm")->setChecked(true); // asked even so
    Find<QRadioButton>(chinese ? "rbChinese" : "rbEnglish")->setChecked(true);
    ListFiles({{"a.jpg", "1"}, {"b.jpg", "1"}, {"c.jpg", "22"}});
    FPrompts.Answer = answer;
    Select(selected, selected.front());
    FForm->DeleteSelectedFiles();
    if (!asked) {
        QVERIFY(FPrompts.Questions.isEmpty());
    } else {
        QCOMPARE(FPrompts.Questions,
                 QStringList{chinese ? kLastCopyQuestionChinese : kLastCopyQuestionEnglish});
        QCOMPARE(FPrompts.Defaults, QList<bool>{false});
    }
    const bool deleted = !asked || answer;
    QCOMPARE(FOps.Deleted.size(), std::size_t{deleted});
    QCOMPARE(FForm->FileList()->rowCount(), deleted ? 3 - int(selected.size()) : 3);
}

void TestFileCommands::realServiceLeavesChangedFile()
{
    FForm->SetFileOperations(nullptr);
    Find<QCheckBox>("ckNoConfirm")->setChecked(false);
    Find<QCheckBox>("ckNoRecycle")->setChecked(true);
    ListFiles({{"same.bin", "1"}, {"changed.bin", "2"}, {"keep.bin", "3"}, {"keep2.bin", "4"}});
    const std::string changed = PathOf(1);
    QVERIFY(quorvane::test::WriteFile(QFile::decodeName(QByteArray::fromStdString(changed)), "22"));
    Select({0, 1}, 1);
    FForm->DeleteSelectedFiles();
    QTRY_VERIFY(!FForm->FileTaskRunning());
    // One group of four one-byte files: only the service's own question.
    QCOMPARE(FPrompts.Questions,
             QStringList{QStringLiteral("Delete these 2 files for good? They cannot be restored.")});
    QCOMPARE(FPrompts.Failures.size(), 1);
    QVERIFY(FPrompts.Failures.front().contains(QStringLiteral("changed.bin")));
    QCOMPARE(FForm->FileList()->rowCount(), 3);
    QCOMPARE(QString::fromStdString(PathOf(0)), QString::fromStdString(changed));
    QCOMPARE(SelectedRows(), QList<int>{0});
}

void TestFileCommands::renameChecks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: handed to the service
    QTest::newRow("only spaces") << "   " << kEmptyNameMessage;
    QTest::newRow("blanks and control characters") << " \t\x01 " << kEmptyNameMessage;
    const char* forbidden = "\\/:*?\"<>|";
    for (const char* c = forbidden; *c; ++c)
        QTest::addRow("character %c", *c)
            << QStringLiteral("x%1y.jpg").arg(QLatin1Char(*c)) << kBadCharacterMessage;
    QTest::newRow("trailing spaces kept") << "new name.jpg  " << QString();
    QTest::newRow("leading space kept") << " lead.jpg" << QString();
}

void TestFileCommands::renameChecks()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    ListFiles({{"old.jpg", "1"}});
    const std::string old = PathOf(0);
    FForm->FileList()->setData(FForm->FileList()->index(0, 0), typed, Qt::EditRole);
    if (!message.isEmpty()) {
        QCOMPARE(FMessages.Errors, QStringList{message});
        QVERIFY(FOps.Renames.isEmpty());
        QCOMPARE(QString::fromStdString(FForm->FileList()->Row(0).Name), QStringLiteral("old.jpg"));
        return;
    }
    QVERIFY(FMessages.Errors.isEmpty());
    QCOMPARE(FOps.Renames.size(), 1);
    QCOMPARE(FOps.Renames.front().first, old);
    QCOMPARE(QString::fromStdString(FOps.Renames.front().second), QString::fromStdString(FDir + '/') + typed);
    QCOMPARE(FForm->FileList()->Row(0).Name, QFile::encodeName(typed).toStdString());
}

void TestFileCommands::renameFailureKeepsName()
{
    ListFiles({{"old.jpg", "1"}});
    FOps.RenameResult = false;
    FForm->FileList()->setData(FForm->FileList()->index(0, 0), QStringLiteral("new.jpg"), Qt::EditRole);
    QCOMPARE(FOps.Renames.size(), 1);
    QCOMPARE(FForm->FileList()->Row(0).Name, std::string("old.jpg"));
    // The unchanged text renames nothing.
    FForm->FileList()->setData(FForm->FileList()->index(0, 0), QStringLiteral("old.jpg"), Qt::EditRole);
    QCOMPARE(FOps.Renames.size(), 1);
    QVERIFY(FMessages.Errors.isEmpty());
}

void TestFileCommands::openWith_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("viewerStarts");
    QTest::newRow("TXT") << "notes.TXT" << false;
    QTest::newRow("jpg lower case") << "photo.jpg" << true;
    QTest::newRow("JP (substring)") << "odd.JP" << true;
    QTest::newRow("png") << "shot.png" << true;
    QTest::newRow("no extension") << "README" << false;
}

void TestFileCommands::openWith()
{
    QFETCH(QString, name);
    QFETCH(bool, viewerStarts);
    ListFiles({{name, "1"}});
    Select({0}, 0);
    Find<QAction>("miAcdsee")->trigger();
    if (viewerStarts) {
        QCOMPARE(FShell.Calls.size(), 1);
        QCOMPARE(FShell.Calls.front().first, std::string("/usr/bin/eog"));
        QCOMPARE(FShell.Calls.front().second, PathOf(0));
    } else {
        QVERIFY(FShell.Calls.isEmpty());
    }
    FShell.Calls.clear();
    Find<QAction>("miUltraEdit")->trigger(); // any file type
    QCOMPARE(FShell.Calls, (QList<std::pair<std::string, std::string>>{{"gedit", PathOf(0)}}));
    FShell.Calls.clear();
    Find<QAction>("miOpen")->trigger();
    QCOMPARE(FShell.Calls, (QList<std::pair<std::string, std::string>>{{PathOf(0), ""}}));
}

void TestFileCommands::popupEnabling()
{
    ListFiles({{"a.jpg", "1"}, {"b.jpg", "1"}});
    QMenu* menu = Find<QMenu>("PopupMenu1");
    QAction* viewer = Find<QAction>("miAcdsee");
    QAction* editor = Find<QAction>("miUltraEdit");
    menu->popup(FForm->mapToGlobal(QPoint(50, 300)));
    QVERIFY(!viewer->isEnabled());
    QVERIFY(!Find<QAction>("miOpen")->isEnabled());
    menu->hide();
    Select({0, 1}, 0);
    menu->popup(FForm->mapToGlobal(QPoint(50, 300)));
    QVERIFY(viewer->isEnabled() && editor->isEnabled() && Find<QAction>("miOpen")->isEnabled());
    QVERIFY(!Find<QAction>("miPreview")->isEnabled()); // two rows selected
    QCOMPARE(viewer->text(), QStringLiteral("Open With eog"));
    QCOMPARE(editor->text(), QStringLiteral("Open With gedit"));
    menu->hide();
    // A program the user chose wins; none at all disables the entry.
    Find<QLineEdit>("EditorProgram")->setText(QStringLiteral("/opt/kate"));
    FForm->SetDefaultPrograms(QString(), QString());
    Find<QRadioButton>("rbChinese")->setChecked(true);
    menu->popup(FForm->mapToGlobal(QPoint(50, 300)));
    QVERIFY(!viewer->isEnabled());
    QCOMPARE(editor->text(), QStringLiteral("用 kate 開啟"));
    QVERIFY(editor->isEnabled());
    menu->hide();
}

void TestFileCommands::doubleClickMatrix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("doubleClickMode");
    QTest::addColumn<bool>("preview");
    QTest::addColumn<bool>("showSlides");
    QTest::addColumn<QStringList>("expected"); // "open" for the shell, else hooks
    QTest::newRow("executable opens") << "tool.exe" << true << true << true << QStringList{"open"};
    QTest::newRow("neither: viewer") << "p.jpg" << true << false << false << QStringList{"viewer", "slides"};
    QTest::newRow("slides only") << "p.jpg" << true << false << true << QStringList{"slides"};
    QTest::newRow("preview only") << "p.jpg" << true << true << false << QStringList{"preview", "slides"};
    QTest::newRow("preview and slides")
        << "p.jpg" << true << true << true << QStringList{"preview", "slides"};
    QTest::newRow("single-click mode") << "p.gif" << false << true << true << QStringList{"viewer"};
}

void TestFileCommands::doubleClickMatrix()
{
    QFETCH(QString, name);
    QFETCH(bool, doubleClickMode);
    QFETCH(bool, preview);
    QFETCH(bool, showSlides);
    QFETCH(QStringList, expected);
    Find<QRadioButton>(doubleClickMode ? "raDblClick" : "raClick")->setChecked(true);
    Find<QCheckBox>("ckPreview")->setChecked(preview);
    Find<QCheckBox>("ckShowSlides")->setChecked(showSlides);
    ListFiles({{"first.txt", "1"}, {name, "22"}});
    Select({1}, 1);
    const QRect rect = List()->visualRect(FForm->FileList()->index(1, 1));
    // A double click is a press, a release and a double-click event.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, rect.center());
    QStringList seen;
    for (const auto& call : FShell.Calls)
        seen << (call.first == PathOf(1) && call.second.empty() ? "open" : "shell?");
    for (QString call : FHookCalls) {
        if (call.startsWith("viewer ")) {
            QCOMPARE(call.mid(7), QString::fromStdString(PathOf(1)));
            call = "viewer";
        }
        seen << call;
    }
    QCOMPARE(seen, expected);
}

void TestFileCommands::keys()
{
    ListFiles({{"a1.jpg", "1"}, {"a2.jpg", "1"}, {"b1.jpg", "22"}, {"b2.jpg", "22"}, {"c.txt", "333"}});
    List()->setFocus();
    // Ctrl+Up from the second row of B lands on the first of A, without a
    // step of the list's own first.
    Select({3}, 3);
    QTest::keyClick(List(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(FForm->FocusedRow(), 0);
    QTest::keyClick(List(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(FForm->FocusedRow(), 2);
    // Enter on a non-picture opens it, like a double click.
    Select({4}, 4);
    QTest::keyClick(List(), Qt::Key_Return);
    QCOMPARE(FShell.Calls, (QList<std::pair<std::string, std::string>>{{PathOf(4), ""}}));
    // Del while a name is edited belongs to the editor.
    Select({0}, 0);
    QTest::keyClick(List(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Delete);
    QVERIFY(FOps.Deleted.empty());
    QTest::keyClick(editor, Qt::Key_Escape);
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Delete);
    QCOMPARE(FOps.Deleted.size(), std::size_t{1});
}

void TestFileCommands::FindBySizeAndContents()
{
    Find<QListWidget>("lstDir")->addItem(FTemp->path());
    for (const auto& [box, ticked] : {std::pair{"ckName", false},
                                      {"ckSize", true},
                                      {"ckCC", true},
                                      {"ckAllBytes", false},
                                      {"ckTime", false}})
        Find<QCheckBox>(box)->setChecked(ticked);
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QTRY_VERIFY(!FForm->SearchRunning());
}

// "Remove from List" and "Remove Group" take rows out and touch no file;
// the bands still alternate from group to group afterwards, and "Open
// Containing Folder" hands the row's folder bytes to the desktop.
void TestFileCommands::removeRowsLeavesFiles()
{
    const QStringList all{"a1.txt", "a2.txt", "b1.txt", "b2.txt", "b3.txt", "c1.txt", "c2.txt"};
    for (const QString& name : all)
        QVERIFY(quorvane::test::WriteFile(FTemp->filePath(name), QByteArray(4, name[0].toLatin1())));
    FindBySizeAndContents();
    if (QTest::currentTestFailed()) return;
    TFileListModel* model = FForm->FileList();
    const auto names = [model] {
        QStringList left;
        for (const TFileRecord& row : model->Rows())
            left << QString::fromStdString(row.Name);
        left.sort();
        return left.join(' ');
    };
    const auto rowOf = [model](const char* name) {
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->Row(row).Name == name) return row;
        return -1;
    };
    // The band turns exactly where the group does, starting at 1.
    const auto bandsFollowGroups = [model] {
        for (int row = 0; row < model->rowCount(); ++row) {
            const int band = model->index(row, 0).data(TFileListModel::BandRole).toInt();
            const int before = row == 0 ? 0 : model->index(row - 1, 0).data(TFileListModel::BandRole).toInt();
            const bool newGroup = row == 0 || model->Row(row).Group != model->Row(row - 1).Group;
            if ((band != before) != newGroup) return false;
        }
        return true;
    };
    QCOMPARE(names(), all.join(' '));
    QVERIFY(bandsFollowGroups());
    Select({rowOf("a2.txt"), rowOf("b2.txt")}, rowOf("b2.txt"));
    Find<QAction>("miRemoveFromList")->trigger();
    QCOMPARE(names(), QStringLiteral("a1.txt b1.txt b3.txt c1.txt c2.txt"));
    QVERIFY(bandsFollowGroups());
    Select({}, rowOf("b1.txt"));
    Find<QAction>("miRemoveGroup")->trigger();
    QCOMPARE(names(), QStringLiteral("a1.txt c1.txt c2.txt"));
    QVERIFY(bandsFollowGroups());
    for (const QString& name : all)
        QVERIFY2(QFile::exists(FTemp->filePath(name)), qPrintable(name));
    QVERIFY(FOps.Deleted.empty());
    QVERIFY(FHookCalls.contains("forget " + QString::fromStdString(FDir + "/b2.txt")));
    QCOMPARE(FForm->StatusText(1), TotalFilesText(3));
    Select({}, rowOf("c1.txt"));
    Find<QAction>("miOpenFolder")->trigger();
    QCOMPARE(FShell.Calls.size(), 1);
    QCOMPARE(FShell.Calls[0].first, FDir);
    QCOMPARE(model->index(rowOf("c1.txt"), TFileListModel::ColDirectory).data(Qt::ToolTipRole).toString(),
             FTemp->path());
}

namespace {

class TChosenFile : public TDirectoryPicker {
  public:
    QString Chosen;
    bool Execute() override
    {
        FileName = Chosen;
        return true;
    }
};

} // namespace

// The "Filters" page reaches the window's search: a pair of another
// extension and a pair in an excluded folder are not offered.
// Group, Copies and Dimensions are hidden until chosen from the header's
// menu; Copies counts files, not the names of one file, wherever a sort puts
// the rows; Dimensions is read in the background for picture rows.
void TestFileCommands::optionalColumns()
{
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(FTemp->filePath("p1.bmp")) && picture.save(FTemp->filePath("p3.bmp")));
    QVERIFY(::link(QFile::encodeName(FTemp->filePath("p1.bmp")).constData(),
                   QFile::encodeName(FTemp->filePath("p5.bmp")).constData()) == 0);
    for (const char* name : {"p2.txt", "p4.txt", "p6.txt"})
        QVERIFY(quorvane::test::WriteFile(FTemp->filePath(name), QByteArray("bbbb")));
    QHeaderView* header = List()->header();
    for (int column = 5; column < 8; ++column)
        QVERIFY(header->isSectionHidden(column));
    FindBySizeAndContents();
    if (QTest::currentTestFailed()) return;
    for (int k = 0; k < 3; ++k)
        Find<QAction>(qPrintable(QStringLiteral("miColumn%1").arg(k)))->setChecked(true);
    for (int column = 5; column < 8; ++column)
        QVERIFY(!header->isSectionHidden(column));
    QVERIFY(Find<QCheckBox>("ckColumnCopies")->isChecked());
    TFileListModel* model = FForm->FileList();
    QCOMPARE(model->headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Copies"));
    const auto cell = [model](int row, int column) { return model->index(row, column).data().toString(); };
    const auto checkColumns = [&] {
        QCOMPARE(model->rowCount(), 6);
        for (int row = 0; row < model->rowCount(); ++row) {
            const TFileRecord& record = model->Row(row);
            QCOMPARE(cell(row, 5), QString::number(record.Group));
            // p1 and p5 are one file: two files in the picture group, three in the other.
            QCOMPARE(cell(row, 6), QString(record.Name.ends_with(".bmp") ? "2" : "3"));
        }
    };
    checkColumns();
    for (int row = 0; row < model->rowCount(); ++row) {
        const bool bitmap = model->Row(row).Name.ends_with(".bmp");
        QTRY_COMPARE(cell(row, 7), QString(bitmap ? "3 × 2" : ""));
    }
    // Sorted by name (the list was by name already: now descending), the two
    // groups' rows alternate.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
    QStringList order;
    for (const TFileRecord& row : model->Rows())
        order << QString::fromStdString(row.Name);
    QCOMPARE(order.join(' '), QStringLiteral("p6.txt p5.bmp p4.txt p3.bmp p2.txt p1.bmp"));
    checkColumns();
    // The band turns wherever the group does, row after row.
    for (int row = 1; row < model->rowCount(); ++row) {
        const bool turns = model->index(row, 0).data(TFileListModel::BandRole) !=
                           model->index(row - 1, 0).data(TFileListModel::BandRole);
        QCOMPARE(turns, model->Row(row).Group != model->Row(row - 1).Group);
    }
}

// "Save Results..." keeps the list (a name that is not UTF-8 too) and
// "Open Results..." brings it back, checked against the disk as F5 does; a
// file cut short is said and the list stays as it was.
void TestFileCommands::resultsSaveAndOpen()
{
    for (const char* name : {"a1.txt", "a2.txt", "b1.txt", "b2.txt"})
        QVERIFY(quorvane::test::WriteFile(FTemp->filePath(name), QByteArray(4, name[0])));
    const std::string odd = FDir + "/b\xff"
                                   "3.txt";
    QVERIFY(quorvane::test::WriteFile(QFile::decodeName(QByteArray::fromStdString(odd)), "bbbb"));
    FindBySizeAndContents();
    if (QTest::currentTestFailed()) return;
    TFileListModel* model = FForm->FileList();
    const auto listed = [model] {
        QStringList rows;
        for (const TFileRecord& row : model->Rows())
            rows << QString::number(row.Group) + ":" +
                        QString::fromLatin1(QByteArray::fromStdString(row.Name).toHex());
        rows.sort();
        return rows.join(' ');
    };
    const QString before = listed();
    QCOMPARE(model->rowCount(), 5);
    auto save = std::make_unique<TChosenFile>();
    auto open = std::make_unique<TChosenFile>();
    TChosenFile* opened = open.get();
    save->Chosen = FTemp->filePath("results.json");
    FForm->SetResultPickers(std::move(save), std::move(open));
    Find<QAction>("miSaveResults")->trigger();
    QVERIFY2(FMessages.Errors.isEmpty(), qPrintable(FMessages.Errors.join('\n')));
    // The disk changes behind the list; the list is emptied.
    QVERIFY(QFile::remove(FTemp->filePath("a2.txt")));
    QVERIFY(quorvane::test::WriteFile(FTemp->filePath("b1.txt"), QByteArray("BBBB")));
    Select({0, 1, 2, 3, 4}, 0);
    Find<QAction>("miRemoveFromList")->trigger();
    QCOMPARE(model->rowCount(), 0);
    opened->Chosen = FTemp->filePath("results.json");
    Find<QAction>("miOpenResults")->trigger();
    QTRY_COMPARE(model->rowCount(), 5);
    QTRY_VERIFY(!FForm->FileTaskRunning() && model->Row(0).Name.size() > 0);
    QCOMPARE(listed(), before);
    QTRY_VERIFY(std::any_of(model->Rows().begin(), model->Rows().end(), [](const TFileRecord& r) {
        return r.Name == "a2.txt" && r.DiskState == kDiskGone;
    }));
    for (const TFileRecord& row : model->Rows()) {
        const std::uint8_t expected =
            row.Name == "a2.txt" ? kDiskGone : (row.Name == "b1.txt" ? kDiskChanged : kDiskAsListed);
        QCOMPARE(row.DiskState, expected);
    }
    // Cut short: said, in the user's words, and the list stays.
    QFile whole(FTemp->filePath("results.json"));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray text = whole.readAll();
    QFile cut(FTemp->filePath("cut.json"));
    QVERIFY(cut.open(QIODevice::WriteOnly) && cut.write(text.left(text.size() / 2)) > 0);
    cut.close();
    opened->Chosen = cut.fileName();
    Find<QAction>("miOpenResults")->trigger();
    QTRY_COMPARE(FMessages.Errors.size(), 1);
    QVERIFY(FMessages.Errors[0].contains("incomplete"));
    QCOMPARE(listed(), before);
}

// "Not Duplicates" takes the focused group out of the list and out of the
// next search, in this window and after a restart; "Forget Not
// Duplicates..." brings it back.
void TestFileCommands::notDuplicatesAreRemembered()
{
    class TForgetAll : public IForgetNotDuplicatesPrompt {
      public:
        std::vector<QStringList> Shown;
        std::vector<std::size_t> Choose(const std::vector<QStringList>& sets) override
        {
            Shown = sets;
            std::vector<std::size_t> all;
            for (std::size_t k = 0; k < sets.size(); ++k)
                all.push_back(k);
            return all;
        }
    };
    QFile::remove(QString::fromStdString(DefaultNotDuplicatesPath()));
    for (const char* name : {"a1.txt", "a2.txt", "b1.txt", "b2.txt"})
        QVERIFY(quorvane::test::WriteFile(FTemp->filePath(name), QByteArray(4, name[0])));
    FindBySizeAndContents();
    if (QTest::currentTestFailed()) return;
    const auto names = [this] {
        QStringList left;
        for (const TFileRecord& row : FForm->FileList()->Rows())
            left << QString::fromStdString(row.Name);
        left.sort();
        return left.join(' ');
    };
    QCOMPARE(names(), QStringLiteral("a1.txt a2.txt b1.txt b2.txt"));
    int a1 = 0;
    while (FForm->FileList()->Row(a1).Name != "a1.txt")
        ++a1;
    Select({}, a1);
    Find<QAction>("miNotDuplicates")->trigger();
    QCOMPARE(names(), QStringLiteral("b1.txt b2.txt"));
    // A new window (a restart) searching again leaves the pair out.
    std::unique_ptr<QTemporaryDir> files = std::move(FTemp);
    delete FForm;
    init();
    FTemp = std::move(files);
    FindBySizeAndContents();
    QCOMPARE(names(), QStringLiteral("b1.txt b2.txt"));
    auto prompt = std::make_unique<TForgetAll>();
    TForgetAll* shown = prompt.get();
    FForm->SetForgetNotDuplicatesPrompt(std::move(prompt));
    Find<QAction>("miForgetNotDuplicates")->trigger();
    QCOMPARE(shown->Shown.size(), std::size_t{1});
    QCOMPARE(shown->Shown[0].size(), 2);
    FindBySizeAndContents();
    QCOMPARE(names(), QStringLiteral("a1.txt a2.txt b1.txt b2.txt"));
}

void TestFileCommands::filtersShapeTheSearch()
{
    QDir(FTemp->path()).mkdir(QStringLiteral("skip"));
    for (const char* name : {"a.txt", "b.txt", "c.log", "d.log", "skip/e.txt", "skip/f.txt"})
        QVERIFY(quorvane::test::WriteFile(FTemp->filePath(QString::fromLatin1(name)),
                                          QByteArray(name).endsWith(".log") ? "LOG" : "TXT"));
    Find<QLineEdit>("edExtensions")->setText(QStringLiteral("TXT"));
    Find<QLineEdit>("edExcludeFolders")
        ->setText(FTemp->filePath(QStringLiteral("skip")) + QStringLiteral("/"));
    FindBySizeAndContents();
    if (QTest::currentTestFailed()) return;
    QStringList names;
    for (const TFileRecord& row : FForm->FileList()->Rows())
        names << QString::fromStdString(row.Name);
    names.sort();
    QCOMPARE(names, (QStringList{"a.txt", "b.txt"}));
}

// "Export..." writes every row as CSV to the chosen file, groups numbered;
// a file that cannot be written is said.
void TestFileCommands::exportWritesTheList()
{
    for (const char* name : {"a1.txt", "a2.txt", "b,1.txt", "b2.txt"})
        QVERIFY(
            quorvane::test::WriteFile(FTemp->filePath(QString::fromLatin1(name)), QByteArray(4, name[0])));
    FindBySizeAndContents();
    if (QTest::currentTestFailed()) return;
    auto picker = std::make_unique<TChosenFile>();
    TChosenFile* chosen = picker.get();
    FForm->SetExportPicker(std::move(picker));
    chosen->Chosen = FTemp->filePath(QStringLiteral("list.csv"));
    Find<QAction>("miExport")->trigger();
    QFile file(chosen->Chosen);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.value(0), QByteArray("group,name,directory,size,type,time\r"));
    QCOMPARE(lines.size(), 6);
    QStringList groups;
    for (qsizetype i = 1; i < 5; ++i)
        groups << QString::fromUtf8(lines[i].left(2));
    groups.sort();
    QCOMPARE(groups, (QStringList{"1,", "1,", "2,", "2,"}));
    QVERIFY(lines.join('\n').contains("\"b,1.txt\""));
    QVERIFY(FMessages.Errors.isEmpty());
    // A folder where the file should go: said, nothing else changes.
    chosen->Chosen = FTemp->path();
    Find<QAction>("miExport")->trigger();
    QCOMPARE(FMessages.Errors.size(), 1);
    QVERIFY(FMessages.Errors[0].contains(FTemp->path()));
}

// The real search with Size and CC over two pairs of one size: the rows
// carry their group numbers, so navigation, the marks and the last-copy
// question keep the two groups apart; "List All" lists no groups.
void TestFileCommands::adjacentGroupsOfOneSize()
{
    for (const char* name : {"a1.txt", "a2.txt", "b1.txt", "b2.txt"})
        QVERIFY(
            quorvane::test::WriteFile(FTemp->filePath(QString::fromLatin1(name)), QByteArray(4, name[0])));
    FindBySizeAndContents();
    if (QTest::currentTestFailed()) return;
    const std::vector<TFileRecord>& rows = FForm->FileList()->Rows();
    QCOMPARE(rows.size(), std::size_t{4});
    QCOMPARE((QList<std::uint32_t>{rows[0].Group, rows[1].Group, rows[2].Group, rows[3].Group}),
             (QList<std::uint32_t>{1, 1, 2, 2}));
    QCOMPARE(rows[0].Name[0], rows[1].Name[0]);
    QVERIFY(rows[1].Name[0] != rows[2].Name[0]);
    List()->setFocus();
    Select({0}, 0);
    QTest::keyClick(List(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(FForm->FocusedRow(), 2);
    QList<int> marked;
    for (int row = 0; row < 4; ++row)
        if (FForm->FileList()->GroupMarked(row)) marked << row;
    QCOMPARE(marked, (QList<int>{2, 3}));
    Find<QCheckBox>("ckNoConfirm")->setChecked(true);
    FPrompts.Answer = false;
    Select({2, 3}, 2); // the whole second group: asked, and declined
    FForm->DeleteSelectedFiles();
    QTRY_VERIFY(!FForm->FileTaskRunning());
    QCOMPARE(FPrompts.Questions.size(), 1);
    QVERIFY(FOps.Deleted.empty());
    Select({1, 2}, 2); // one copy of each group: not asked
    FForm->DeleteSelectedFiles();
    QTRY_VERIFY(!FForm->FileTaskRunning());
    QCOMPARE(FPrompts.Questions.size(), 1);
    QCOMPARE(FOps.Deleted.size(), std::size_t{1});
    QTest::mouseClick(Find<QPushButton>("btnFindAll"), Qt::LeftButton);
    QTRY_VERIFY(!FForm->SearchRunning());
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QVERIFY(!HasGroupNumbers(FForm->FileList()->Rows()));
}

// Ctrl+D selects all but the kept row of each group and sums them up in
// panel 1 until the list changes; "Invert Selection" flips every row; the
// rule is saved and restored with the options.
void TestFileCommands::selectDuplicates()
{
    const QList<QPair<const char*, long long>> files{
        {"a1.txt", 100}, {"a2.txt", 300}, {"a3.txt", 300}, {"b1.txt", 200}, {"b2.txt", 100}};
    for (const auto& [name, modified] : files) {
        const QString path = FTemp->filePath(QString::fromLatin1(name));
        QVERIFY(quorvane::test::WriteFile(path, QByteArray(1500, name[0])));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::fromSecsSinceEpoch(1700000000 + modified),
                                 QFileDevice::FileModificationTime));
    }
    FindBySizeAndContents();
    if (QTest::currentTestFailed()) return;
    QCOMPARE(FForm->FileList()->rowCount(), 5);
    const QString total = FForm->StatusText(1);
    auto* rule = Find<QComboBox>("cbKeepRule");
    rule->setCurrentIndex(1); // newest: the first listed of the two newest a's
    List()->setFocus();
    Select({}, 0);
    QTest::keyClick(List(), Qt::Key_D, Qt::ControlModifier);
    // Kept: b1 (newest b) and whichever of a2 and a3 (a tie) is listed first.
    QList<int> expected;
    bool newestAKept = false;
    const auto& rows = FForm->FileList()->Rows();
    for (int row = 0; row < 5; ++row) {
        const std::string& name = rows[std::size_t(row)].Name;
        const bool newestA = (name == "a2.txt" || name == "a3.txt") && !newestAKept;
        newestAKept = newestAKept || newestA;
        if (!newestA && name != "b1.txt") expected << row;
    }
    QCOMPARE(SelectedRows(), expected);
    QCOMPARE(FForm->FocusedRow(), expected.front());
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Selected: 3 files, 4.4 KB"));
    Find<QAction>("miInvertSelection")->trigger();
    QCOMPARE(SelectedRows().size(), 2);
    FForm->SetSortMode(1); // the list changes: the summary goes
    QCOMPARE(FForm->StatusText(1), total);
    Find<QRadioButton>("rbChinese")->setChecked(true);
    Find<QAction>("miSelectDuplicates")->trigger();
    QCOMPARE(FForm->StatusText(1), QStringLiteral("已選取: 3 個檔案, 4.4 KB"));
    Find<QRadioButton>("rbEnglish")->click(); // the summary on show follows the language
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Selected: 3 files, 4.4 KB"));
    Find<QRadioButton>("rbChinese")->click();
    Find<QPushButton>("btnSaveOptions")->click();
    TfrmMain second;
    second.SetUserMessages(&FMessages);
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    QTRY_COMPARE(second.findChild<QComboBox*>("cbKeepRule")->currentIndex(), 1);
}

void TestFileCommands::rules_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<bool>("everyCopy");
    // Rows: A A B B B C (by size).
    QTest::newRow("one of A") << QList<int>{1} << false;
    QTest::newRow("A whole") << QList<int>{0, 1} << true;
    QTest::newRow("two of three B") << QList<int>{2, 4} << false;
    QTest::newRow("B whole among others") << QList<int>{0, 2, 3, 4} << true;
    QTest::newRow("lone C") << QList<int>{5} << true;
    QTest::newRow("one of each pair") << QList<int>{0, 3} << false;
}

void TestFileCommands::rules()
{
    QFETCH(QList<int>, selected);
    QFETCH(bool, everyCopy);
    std::vector<TFileRecord> rows;
    for (const std::uint64_t size : {1, 1, 2, 2, 2, 3})
        rows.push_back(quorvane::test::MakeRecord("f", size));
    TSearchCriteria bySize;
    QCOMPARE(TakesEveryCopy(rows, std::vector<int>(selected.begin(), selected.end()), bySize), everyCopy);
}

void TestFileCommands::selectDuplicatesReadsTheFiles_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QList<int>>("expected");
    // Groups by size: 0 an 8 x 8 JPEG padded to the size of 1, a 64 x 48
    // one; 2, 3 and 4 heads taken in 2021, in 2019 and on no valid date.
    // Where the rule cannot tell rows apart, the first listed stays.
    QTest::newRow("largest picture") << 3 << QList<int>{0, 3, 4};
    QTest::newRow("oldest photo") << 6 << QList<int>{1, 2, 4};
}

// The rules that weigh pixel counts and capture dates read them from the
// files, off the window's thread, and select once the reading is done.
void TestFileCommands::selectDuplicatesReadsTheFiles()
{
    QFETCH(int, rule);
    QFETCH(QList<int>, expected);
    auto jpeg = [](int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "jpeg").write(image);
        return bytes;
    };
    const QByteArray big = jpeg(64, 48);
    QByteArray small = jpeg(8, 8);
    QVERIFY(small.size() < big.size());
    small.append(QByteArray(big.size() - small.size(), '\0')); // after the end marker
    ListFiles({{"small.jpg", small},
               {"big.jpg", big},
               {"d2021.jpg", TakenJpeg("2021:06:01 08:00:00")},
               {"d2019.jpg", TakenJpeg("2019:06:01 08:00:00")},
               {"undated.jpg", TakenJpeg("2019:13:01 08:00:00")}});
    Find<QComboBox>("cbKeepRule")->setCurrentIndex(rule);
    Select({}, 0);
    Find<QAction>("miSelectDuplicates")->trigger();
    QTRY_COMPARE(SelectedRows(), expected);
    QCOMPARE(FForm->FocusedRow(), expected.front());
    QVERIFY(FForm->FileCommandsAllowed());
}

void TestFileCommands::selectDuplicatesSkipsProtected_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QList<int>>("expected");
    // Groups by size: A = safe/a1 plain/a2 plain/a3; B = safe/b1 safe/b2;
    // C = plain/c1 safe/c2; D = safe2/d1 plain/d2 ("safe2" is not "safe").
    QTest::newRow("first listed") << 0 << QList<int>{1, 2, 8};
    QTest::newRow("protected folder") << 5 << QList<int>{1, 2, 5, 8};
}

// Select Duplicates never selects a row of a protected folder: a group of
// protected rows only stays wholly unselected, and "Protected" keeps
// the protected copy where a group has one.
void TestFileCommands::selectDuplicatesSkipsProtected()
{
    QFETCH(int, rule);
    QFETCH(QList<int>, expected);
    ProtectFolder(QStringLiteral("safe"));
    ListFiles({{"safe/a1.txt", "1"},
               {"plain/a2.txt", "1"},
               {"plain/a3.txt", "1"},
               {"safe/b1.txt", "22"},
               {"safe/b2.txt", "22"},
               {"plain/c1.txt", "333"},
               {"safe/c2.txt", "333"},
               {"safe2/d1.txt", "4444"},
               {"plain/d2.txt", "4444"}});
    Find<QComboBox>("cbKeepRule")->setCurrentIndex(rule);
    Select({}, 0);
    Find<QAction>("miSelectDuplicates")->trigger();
    QCOMPARE(SelectedRows(), expected);
    QCOMPARE(FForm->FocusedRow(), expected.front());
}

void TestFileCommands::deleteAsksForProtected_data()
{
    QTest::addColumn<bool>("byKey"); // the Del key deleting for good, else the menu to the trash
    QTest::addColumn<bool>("noConfirm");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("gone");
    // Rows: safe/p1 plain/q1 plain/q2 (size 1), safe/p2 plain/r (size 2).
    const QList<int> mixed{0, 1, 3};
    QTest::newRow("menu, Yes to both") << false << false << mixed << QList<bool>{true, true}
                                       << QStringList{"safe/p1.jpg", "plain/q1.jpg", "safe/p2.jpg"};
    QTest::newRow("key for good, No to both, No confirmation")
        << true << true << mixed << QList<bool>{false, false} << QStringList{"plain/q1.jpg"};
    QTest::newRow("menu, No then Yes, No confirmation")
        << false << true << mixed << QList<bool>{false, true} << QStringList{"plain/q1.jpg", "safe/p2.jpg"};
    QTest::newRow("key for good, Yes then No")
        << true << false << mixed << QList<bool>{true, false} << QStringList{"safe/p1.jpg", "plain/q1.jpg"};
    QTest::newRow("only a protected row, No: no request at all")
        << false << true << QList<int>{0} << QList<bool>{false} << QStringList{};
}

// Every deletion from the list asks first, file by file, about the files of
// protected folders, whatever "No confirmation" says; a No keeps that file
// (still listed and selected) and lets the others go.
void TestFileCommands::deleteAsksForProtected()
{
    QFETCH(bool, byKey);
    QFETCH(bool, noConfirm);
    QFETCH(QList<int>, selected);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, gone);
    Find<QCheckBox>("ckNoConfirm")->setChecked(noConfirm);
    Find<QCheckBox>("ckNoRecycle")->setChecked(byKey); // the trash, and for good
    ProtectFolder(QStringLiteral("safe"));
    ListFiles({{"safe/p1.jpg", "1"},
               {"plain/q1.jpg", "1"},
               {"plain/q2.jpg", "1"},
               {"safe/p2.jpg", "22"},
               {"plain/r.jpg", "22"}});
    QStringList protectedAsked;
    QStringList declined; // selected, protected and not deleted
    for (const int row : selected) {
        const QString path = QString::fromStdString(PathOf(row));
        if (!path.contains("/safe/")) continue;
        protectedAsked << ProtectedDeleteQuestion(path, Language());
        if (!gone.contains(path.mid(int(FDir.size()) + 1))) declined << path;
    }
    FPrompts.Answers = answers;
    Select(selected, selected.front());
    if (byKey) {
        List()->setFocus();
        QTest::keyClick(List(), Qt::Key_Delete);
    } else {
        Find<QAction>("miDelete")->trigger();
    }
    QCOMPARE(FPrompts.Questions, protectedAsked);
    QCOMPARE(FPrompts.Defaults, QList<bool>(protectedAsked.size(), false));
    QStringList requested;
    for (const auto& request : FOps.Deleted)
        for (const std::string& path : request)
            requested << QString::fromStdString(path).mid(int(FDir.size()) + 1);
    QCOMPARE(requested, gone);
    QCOMPARE(FOps.DeleteFlags,
             gone.isEmpty() ? QList<unsigned>{} : QList<unsigned>{DeleteFlags(noConfirm, byKey)});
    QCOMPARE(FForm->FileList()->rowCount(), 5 - int(gone.size()));
    // The declined files stay listed and selected.
    QStringList stillSelected;
    for (const int row : SelectedRows())
        stillSelected << QString::fromStdString(PathOf(row));
    for (const QString& path : declined)
        QVERIFY2(stillSelected.contains(path), qPrintable(path));
}

void TestFileCommands::viewerDeleteAsksForProtected_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("No keeps the file") << false;
    QTest::newRow("Yes deletes it") << true;
}

// The viewer's Delete goes through the same question, with "No
// confirmation" ticked.
void TestFileCommands::viewerDeleteAsksForProtected()
{
    QFETCH(bool, answer);
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "BMP"));
    Find<QCheckBox>("ckNoConfirm")->setChecked(true);
    ProtectFolder(QStringLiteral("safe"));
    ListFiles({{"safe/p.bmp", bmp}, {"plain/q.bmp", bmp}});
    auto viewer = std::make_unique<TfrmViewer>();
    viewer->SetCoverRect(QRect(0, 0, 800, 600));
    FForm->SetViewer(viewer.get());
    Select({0}, 0);
    const std::string path = PathOf(0);
    FForm->OpenViewer(path);
    QVERIFY(QTest::qWaitForWindowActive(viewer.get()));
    FPrompts.Answer = answer;
    QTest::keyClick(viewer.get(), Qt::Key_Delete);
    QCOMPARE(FPrompts.Questions, QStringList{ProtectedDeleteQuestion(
                                     QFile::decodeName(QByteArray::fromStdString(path)), Language())});
    QCOMPARE(FOps.Deleted.size(), std::size_t{answer});
    QCOMPARE(QFile::exists(QFile::decodeName(QByteArray::fromStdString(path))), !answer);
    QCOMPARE(FForm->FileList()->rowCount(), answer ? 1 : 2);
    FForm->SetViewer(nullptr);
}

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
