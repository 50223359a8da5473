// Replacing duplicates from the main window on real files: the selected row
// of a group is replaced by a link of the group's kept row (read back from
// the disk), its row stays with a note; a move takes the row out and "Undo
// Delete" moves the file back, the newest of moves and deletions first; a
// file that fails the check is reported and left.
#include "AppFakes.h"
#include "DirectoryList.h"
#include "MainForm.h"
#include "ViewImage.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;
using quorvane::test::TRecordingMessages;

namespace {

class TRecordingPrompts : public IFileOpPrompts {
  public:
    QStringList Questions, Failures;
    bool Answer = true;
    bool Confirm(const QString& question, bool) override
    {
        Questions.append(question);
        return Answer;
    }
    void ReportFailures(const QStringList& lines) override { Failures += lines; }
};

// Picks Folder as a file dialog would: a file name inside it.
class TFolderChoice : public TDirectoryPicker {
  public:
    QString Folder;
    int Runs = 0;
    bool Execute() override
    {
        ++Runs;
        FileName = Folder + QStringLiteral("/Any File Name");
        return !Folder.isEmpty();
    }
};

bool WriteBytes(const std::string& path, const QByteArray& bytes, long long seconds)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, bytes.data(), std::size_t(bytes.size())) == bytes.size();
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    return ::close(fd) == 0 && written && ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

struct stat StatOf(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) st.st_ino = 0;
    return st;
}

const QByteArray kBytes = QByteArray("bytes shared by the kept file and its copy\n").repeated(30);

} // namespace

class TestReplaceWindow : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void replacedRowStaysNoted_data();
    void replacedRowStaysNoted();
    void cloneOnCopyOnWriteFileSystem();
    void absoluteLinksOption();
    void moveLeavesAndUndoBringsBack();
    void undoTakesTheNewestStepFirst();
    void failedCheckIsReported();
    void rowsOutsideGroupsAreRefused();
    void protectedFilesAreAskedAbout_data();
    void protectedFilesAreAskedAbout();
    void viewerActsOnTheShownFile_data();
    void viewerActsOnTheShownFile();

  private:
    template <typename T> T* Find(const char* name) const
    {
        return FForm->findChild<T*>(QString::fromLatin1(name));
    }
    std::string Path(const char* name) const { return FDir + '/' + name; }
    void Search(const std::string& dir = {});
    int RowOf(const std::string& path) const;
    void SelectRows(const std::vector<std::string>& paths);
    void Trigger(const char* entry);

    TfrmMain* FForm = nullptr;
    std::unique_ptr<QTemporaryDir> FTemp;
    std::string FDir, FKept, FCopy;
    TRecordingMessages FMessages;
    TRecordingPrompts FPrompts;
    TFolderChoice* FPicker = nullptr;
};

void TestReplaceWindow::initTestCase()
{
    static QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dataHome.path() + QStringLiteral("/config")));
}

void TestReplaceWindow::init()
{
    FTemp = std::make_unique<QTemporaryDir>();
    FDir = QFile::encodeName(FTemp->path()).toStdString();
    QVERIFY(::mkdir(Path("in").c_str(), 0755) == 0 && ::mkdir(Path("in/sub").c_str(), 0755) == 0);
    FKept = Path("in/kept.bin");
    FCopy = Path("in/sub/copy.bin");
    QVERIFY(WriteBytes(FKept, kBytes, 1000) && WriteBytes(FCopy, kBytes, 2000));
    FMessages = TRecordingMessages();
    FPrompts = TRecordingPrompts();
    FForm = new TfrmMain;
    FForm->SetUserMessages(&FMessages);
    FForm->SetFilePrompts(&FPrompts);
    auto picker = std::make_unique<TFolderChoice>();
    FPicker = picker.get();
    FForm->SetDirectoryPicker(std::move(picker));
    FForm->resize(1024, 700);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowActive(FForm));
    Find<QCheckBox>("ckNoConfirm")->setChecked(true);
}

void TestReplaceWindow::cleanup()
{
    delete FForm;
    FForm = nullptr;
}

void TestReplaceWindow::Search(const std::string& dir)
{
    Find<QListWidget>("lstDir")->addItem(
        QFile::decodeName(QByteArray::fromStdString(dir.empty() ? Path("in") : dir)));
    for (const auto& [box, ticked] : {std::pair{"ckName", false},
                                      {"ckSize", true},
                                      {"ckCC", false},
                                      {"ckAllBytes", true},
                                      {"ckTime", false}})
        Find<QCheckBox>(box)->setChecked(ticked);
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QTRY_VERIFY(!FForm->SearchRunning());
}

int TestReplaceWindow::RowOf(const std::string& path) const
{
    const auto& rows = FForm->FileList()->Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].FullPath() == path) return int(i);
    return -1;
}

void TestReplaceWindow::SelectRows(const std::vector<std::string>& paths)
{
    QTreeView* list = Find<QTreeView>("lvFiles");
    list->selectionModel()->clearSelection();
    for (const std::string& path : paths) {
        const int row = RowOf(path);
        QVERIFY2(row >= 0, path.c_str());
        list->selectionModel()->setCurrentIndex(FForm->FileList()->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void TestReplaceWindow::Trigger(const char* entry)
{
    QAction* action = Find<QAction>(entry);
    QVERIFY2(action, entry);
    action->trigger();
    QTRY_VERIFY(!FForm->FileTaskRunning());
}

void TestReplaceWindow::replacedRowStaysNoted_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("note");
    QTest::newRow("hard link") << "miReplaceHardLink"
                               << "Hard link of ";
    QTest::newRow("symbolic link") << "miReplaceSymbolicLink"
                                   << "Symbolic link to ";
}

void TestReplaceWindow::replacedRowStaysNoted()
{
    QFETCH(QString, entry);
    QFETCH(QString, note);
    Search();
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    SelectRows({FCopy});
    Trigger(entry.toLatin1().constData());
    QVERIFY2(FPrompts.Failures.isEmpty(), qPrintable(FPrompts.Failures.join('\n')));
    const ino_t kept = StatOf(FKept).st_ino;
    if (entry == "miReplaceHardLink") {
        QCOMPARE(StatOf(FCopy).st_ino, kept);
    } else {
        QVERIFY(S_ISLNK(StatOf(FCopy).st_mode));
        struct stat target {};
        QVERIFY(::stat(FCopy.c_str(), &target) == 0 && target.st_ino == kept);
    }
    const int row = RowOf(FCopy);
    QVERIFY(row >= 0);
    const QString shown =
        FForm->FileList()->data(FForm->FileList()->index(row, 0), Qt::ToolTipRole).toString();
    QCOMPARE(shown, note + QFile::decodeName(QByteArray::fromStdString(FKept)));
    // The replaced row carries its own picture, so it is seen without a tooltip.
    const auto picture = [this](int at) {
        return qvariant_cast<QIcon>(
                   FForm->FileList()->data(FForm->FileList()->index(at, 0), Qt::DecorationRole))
            .pixmap(16, 16)
            .toImage();
    };
    QVERIFY(picture(row) != picture(RowOf(FKept)));
    // The hard link is a regular file the row now stands for; a symbolic
    // link is no copy of its own.
    QCOMPARE(FForm->FileList()->Row(row).DiskState,
             std::uint8_t(entry == "miReplaceHardLink" ? kDiskAsListed : kDiskChanged));
}

void TestReplaceWindow::cloneOnCopyOnWriteFileSystem()
{
    // A clone needs a file system that shares blocks: a btrfs image on a loop
    // device, as root.
    const std::string image = Path("fs.img"), where = Path("cow");
    QVERIFY(::mkdir(where.c_str(), 0755) == 0);
    const std::string command = "truncate -s 160M '" + image + "' && mkfs.btrfs -q -f '" + image +
                                "' >/dev/null 2>&1 && mount -o loop '" + image + "' '" + where +
                                "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) QSKIP("cannot make and mount a btrfs image here");
    const auto unmount = qScopeGuard([&where] { ::umount2(where.c_str(), MNT_DETACH); });
    const std::string kept = where + "/kept.bin", copy = where + "/copy.bin";
    QVERIFY(WriteBytes(kept, kBytes.repeated(50), 1000) && WriteBytes(copy, kBytes.repeated(50), 2000));
    const ino_t copyInode = StatOf(copy).st_ino;
    Search(where);
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    SelectRows({copy});
    Trigger("miReplaceClone");
    QVERIFY2(FPrompts.Failures.isEmpty(), qPrintable(FPrompts.Failures.join('\n')));
    // A file of its own again (not a link), with the kept file's bytes and the
    // copy's time; the row stands for it and says what it is.
    const struct stat now = StatOf(copy);
    QVERIFY(S_ISREG(now.st_mode) && now.st_ino != copyInode && now.st_ino != StatOf(kept).st_ino);
    QCOMPARE(now.st_mtim.tv_sec, time_t(2000));
    QFile file(QFile::decodeName(QByteArray::fromStdString(copy)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), kBytes.repeated(50));
    const int row = RowOf(copy);
    QVERIFY(row >= 0);
    QCOMPARE(FForm->FileList()->Row(row).DiskState, std::uint8_t(kDiskAsListed));
    QCOMPARE(FForm->FileList()->Row(row).Inode, std::uint64_t(now.st_ino));
    QCOMPARE(FForm->FileList()->data(FForm->FileList()->index(row, 0), Qt::ToolTipRole).toString(),
             QStringLiteral("Clone of ") + QFile::decodeName(QByteArray::fromStdString(kept)));
}

void TestReplaceWindow::absoluteLinksOption()
{
    Search();
    QCheckBox* stored = Find<QCheckBox>("ckAbsoluteLinks");
    QVERIFY(stored && !stored->isChecked());
    Find<QAction>("miAbsoluteLinks")->trigger();
    QVERIFY(stored->isChecked()); // saved with the options under its own name
    SelectRows({FCopy});
    Trigger("miReplaceSymbolicLink");
    char text[4096];
    const ssize_t length = ::readlink(FCopy.c_str(), text, sizeof text);
    QVERIFY(length > 0);
    QCOMPARE(std::string(text, std::size_t(length)), FKept);
}

void TestReplaceWindow::moveLeavesAndUndoBringsBack()
{
    Search();
    FPicker->Folder = QFile::decodeName(QByteArray::fromStdString(Path("out")));
    SelectRows({FCopy});
    const ino_t copy = StatOf(FCopy).st_ino;
    Trigger("miMoveToFolder");
    QCOMPARE(FPicker->Runs, 1);
    QCOMPARE(StatOf(Path("out/sub/copy.bin")).st_ino, copy);
    QCOMPARE(StatOf(FCopy).st_ino, ino_t(0));
    QCOMPARE(RowOf(FCopy), -1);
    QCOMPARE(FForm->FileList()->rowCount(), 1);
    Trigger("miUndoDelete");
    QCOMPARE(StatOf(FCopy).st_ino, copy);
    QCOMPARE(StatOf(Path("out/sub/copy.bin")).st_ino, ino_t(0));
    QVERIFY(RowOf(FCopy) >= 0);
    QCOMPARE(FForm->FileList()->rowCount(), 2);
}

void TestReplaceWindow::undoTakesTheNewestStepFirst()
{
    const std::string third = Path("in/sub/third.bin");
    QVERIFY(WriteBytes(third, kBytes, 3000));
    Search();
    QCOMPARE(FForm->FileList()->rowCount(), 3);
    // A deletion to the trash, then a move: undo takes the move back first.
    SelectRows({third});
    QTest::keyClick(Find<QTreeView>("lvFiles"), Qt::Key_Delete);
    QTRY_VERIFY(!FForm->FileTaskRunning());
    QCOMPARE(StatOf(third).st_ino, ino_t(0));
    FPicker->Folder = QFile::decodeName(QByteArray::fromStdString(Path("out")));
    SelectRows({FCopy});
    Trigger("miMoveToFolder");
    QCOMPARE(StatOf(FCopy).st_ino, ino_t(0));
    Trigger("miUndoDelete");
    QVERIFY(StatOf(FCopy).st_ino != 0);
    QCOMPARE(StatOf(third).st_ino, ino_t(0));
    Trigger("miUndoDelete");
    QVERIFY(StatOf(third).st_ino != 0);
    QCOMPARE(FForm->FileList()->rowCount(), 3);
}

void TestReplaceWindow::failedCheckIsReported()
{
    Search();
    // The kept file changes after the search: the copy must stay.
    QVERIFY(WriteBytes(FKept, kBytes, 5000));
    SelectRows({FCopy});
    const ino_t copy = StatOf(FCopy).st_ino;
    Trigger("miReplaceHardLink");
    QCOMPARE(StatOf(FCopy).st_ino, copy);
    QCOMPARE(FPrompts.Failures.size(), 1);
    QVERIFY(FPrompts.Failures.front().contains(QFile::decodeName(QByteArray::fromStdString(FCopy))));
    QVERIFY(FPrompts.Failures.front().contains("the kept file is gone or changed"));
}

void TestReplaceWindow::rowsOutsideGroupsAreRefused()
{
    Search();
    // Both rows selected: no file of the group would stay.
    SelectRows({FKept, FCopy});
    Trigger("miReplaceHardLink");
    QCOMPARE(FMessages.Informations.size(), 1);
    QVERIFY(StatOf(FCopy).st_ino != StatOf(FKept).st_ino);
    QCOMPARE(FPicker->Runs, 0);
}

void TestReplaceWindow::protectedFilesAreAskedAbout_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("No keeps the file") << false;
    QTest::newRow("Yes replaces it") << true;
}

void TestReplaceWindow::protectedFilesAreAskedAbout()
{
    QFETCH(bool, answer);
    auto* list = Find<QListWidget>("lstDir");
    list->addItem(QFile::decodeName(QByteArray::fromStdString(Path("in/sub"))));
    list->setCurrentRow(list->count() - 1);
    Find<QAction>("miProtectItem")->trigger();
    Search();
    FPrompts.Answer = answer;
    const ino_t copy = StatOf(FCopy).st_ino;
    SelectRows({FCopy});
    Trigger("miReplaceHardLink");
    QCOMPARE(FPrompts.Questions.size(), 1);
    QVERIFY(FPrompts.Questions.front().contains(QFile::decodeName(QByteArray::fromStdString(FCopy))));
    QCOMPARE(StatOf(FCopy).st_ino, answer ? StatOf(FKept).st_ino : copy);
}

void TestReplaceWindow::viewerActsOnTheShownFile_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("hard link") << "miReplaceHardLink";
    QTest::newRow("move") << "miMoveToFolder";
}

void TestReplaceWindow::viewerActsOnTheShownFile()
{
    QFETCH(QString, entry);
    // Two pictures with the same bytes; the viewer shows the copy.
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const std::string kept = Path("in/kept.bmp"), copy = Path("in/sub/copy.bmp");
    QVERIFY(picture.save(QFile::decodeName(QByteArray::fromStdString(kept)), "BMP"));
    QVERIFY(picture.save(QFile::decodeName(QByteArray::fromStdString(copy)), "BMP"));
    QVERIFY(::unlink(FCopy.c_str()) == 0); // leave only the pictures' group
    Search();
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    auto* viewer = new TfrmViewer;
    viewer->SetCoverRect(QRect(0, 0, 1024, 768));
    FForm->SetViewer(viewer);
    FPicker->Folder = QFile::decodeName(QByteArray::fromStdString(Path("out")));
    const ino_t copyInode = StatOf(copy).st_ino;
    SelectRows({copy});
    FForm->OpenViewer(copy);
    QVERIFY(QTest::qWaitForWindowActive(viewer));
    QAction* action = viewer->findChild<QAction*>(entry);
    QVERIFY(action);
    action->trigger();
    QTRY_VERIFY(!FForm->FileTaskRunning());
    if (entry == "miReplaceHardLink") {
        QCOMPARE(StatOf(copy).st_ino, StatOf(kept).st_ino);
        QVERIFY(RowOf(copy) >= 0);
    } else {
        QCOMPARE(StatOf(Path("out/sub/copy.bmp")).st_ino, copyInode);
        QCOMPARE(RowOf(copy), -1);
    }
    QVERIFY(StatOf(kept).st_ino != 0);
    FForm->SetViewer(nullptr);
    delete viewer;
}

QTEST_MAIN(TestReplaceWindow)
#include "tst_replacewindow.moc"
