// Deleting from the main window with the disk checked at the moment of
// acting, on real files with the real file-operation service and trash:
// the copy that stays must exist, be unchanged and have the same bytes; a
// cancelled check deletes nothing; nothing changes files while a search
// runs; F5 marks rows whose files are gone or changed; "Undo Delete" puts a
// deletion back; the viewer acts on the very bytes of its row's path.
#include "AdvImage.h"
#include "AppFakes.h"
#include "FileCommands.h"
#include "MainForm.h"
#include "ScanHost.h"
#include "SelectionSummary.h"
#include "ViewImage.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace quorvane;
using quorvane::test::TRecordingMessages;

namespace {

class TRecordingPrompts : public IFileOpPrompts {
  public:
    bool Answer = false;
    QStringList Questions;
    QStringList Failures;
    bool Confirm(const QString& question, bool) override
    {
        Questions.append(question);
        return Answer;
    }
    void ReportFailures(const QStringList& lines) override { Failures += lines; }
};

class TFailingShell : public IShellOpen {
  public:
    bool ShellOpen(const std::string&, const std::string&) override { return false; }
};

bool WriteBytes(const std::string& path, const QByteArray& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, bytes.data(), std::size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

QByteArray Filled(int size, char byte)
{
    return QByteArray(size, byte);
}

} // namespace

class TestDeleteCheck : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keptCopyIsCheckedNow_data();
    void keptCopyIsCheckedNow();
    void cancelledCheckDeletesNothing();
    void cancelledDeletionKeepsListAndDisk();
    void nothingChangesDuringASearch();
    void checkAgainstDiskMarksRows();
    void undoPutsADeletionBack();
    void viewerDeletesTheListedBytes();
    void summaryFollowsTheSelection();
    void openFailureIsSaid();

  private:
    template <typename T> T* Find(const char* name) const
    {
        return FForm->findChild<T*>(QString::fromLatin1(name));
    }
    QTreeView* List() const { return Find<QTreeView>("lvFiles"); }
    std::string Path(const char* name) const { return FDir + '/' + name; }
    void Search(bool name, bool size, bool cc);
    int RowOf(const std::string& path) const;
    void SelectRows(const std::vector<std::string>& paths);
    void DeleteAndWait();

    TfrmMain* FForm = nullptr;
    std::unique_ptr<QTemporaryDir> FTemp;
    std::string FDir;
    TRecordingMessages FMessages;
    TRecordingPrompts FPrompts;
};

void TestDeleteCheck::initTestCase()
{
    // The trash the real service uses stays inside the test's own folder.
    static QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dataHome.path() + QStringLiteral("/config")));
}

void TestDeleteCheck::init()
{
    FTemp = std::make_unique<QTemporaryDir>();
    FDir = QFile::encodeName(FTemp->path()).toStdString();
    FMessages = TRecordingMessages();
    FPrompts = TRecordingPrompts();
    FForm = new TfrmMain;
    FForm->SetUserMessages(&FMessages);
    FForm->SetFilePrompts(&FPrompts);
    FForm->resize(1024, 700);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowActive(FForm));
    // Only the questions of the check and of protected folders remain.
    Find<QCheckBox>("ckNoConfirm")->setChecked(true);
}

void TestDeleteCheck::cleanup()
{
    delete FForm;
    FForm = nullptr;
}

void TestDeleteCheck::Search(bool name, bool size, bool cc)
{
    Find<QListWidget>("lstDir")->addItem(FTemp->path());
    for (const auto& [box, ticked] : {std::pair{"ckName", name},
                                      {"ckSize", size},
                                      {"ckCC", cc},
                                      {"ckAllBytes", false},
                                      {"ckTime", false}})
        Find<QCheckBox>(box)->setChecked(ticked);
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QTRY_VERIFY(!FForm->SearchRunning());
}

int TestDeleteCheck::RowOf(const std::string& path) const
{
    const auto& rows = FForm->FileList()->Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].FullPath() == path) return int(i);
    return -1;
}

void TestDeleteCheck::SelectRows(const std::vector<std::string>& paths)
{
    QItemSelectionModel* selection = List()->selectionModel();
    selection->clearSelection();
    for (const std::string& path : paths) {
        const int row = RowOf(path);
        QVERIFY2(row >= 0, path.c_str());
        selection->setCurrentIndex(FForm->FileList()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void TestDeleteCheck::DeleteAndWait()
{
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Delete);
    QTRY_VERIFY(!FForm->FileTaskRunning());
}

void TestDeleteCheck::keptCopyIsCheckedNow_data()
{
    QTest::addColumn<QString>("criteria"); // N, S, C for Name, Size, CC
    QTest::addColumn<QByteArray>("keptBytes");
    QTest::addColumn<QByteArray>("deletedBytes");
    QTest::addColumn<QString>("meanwhile"); // done to the kept file after the search
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("deleted");

    const QByteArray same = Filled(1000, 'a');
    QByteArray middle = same;
    middle[100] = 'b'; // between the sampled offsets 0 and 200
    QTest::newRow("a true pair goes without a question")
        << "SC" << same << same << "" << false << false << true;
    QTest::newRow("kept copy gone, No keeps it") << "S" << same << same << "remove" << false << true << false;
    QTest::newRow("kept copy gone, Yes deletes it")
        << "S" << same << same << "remove" << true << true << true;
    QTest::newRow("kept copy changed since the search")
        << "S" << same << same << "rewrite" << false << true << false;
    QTest::newRow("a sampled pair that differs between the samples")
        << "SC" << same << middle << "" << false << true << false;
    QTest::newRow("a Name group of two different files")
        << "N" << Filled(10, 'x') << Filled(20, 'y') << "" << false << true << false;
}

void TestDeleteCheck::keptCopyIsCheckedNow()
{
    QFETCH(QString, criteria);
    QFETCH(QByteArray, keptBytes);
    QFETCH(QByteArray, deletedBytes);
    QFETCH(QString, meanwhile);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, deleted);
    // One name in two folders, so a Name search groups them too.
    QVERIFY(::mkdir(Path("k").c_str(), 0755) == 0 && ::mkdir(Path("d").c_str(), 0755) == 0);
    const std::string kept = Path("k/grey.jpg");
    const std::string doomed = Path("d/grey.jpg");
    QVERIFY(WriteBytes(kept, keptBytes) && WriteBytes(doomed, deletedBytes));
    Search(criteria.contains('N'), criteria.contains('S'), criteria.contains('C'));
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    if (meanwhile == "remove") QVERIFY(::unlink(kept.c_str()) == 0);
    if (meanwhile == "rewrite") QVERIFY(WriteBytes(kept, Filled(keptBytes.size(), 'z')));
    FPrompts.Answer = answer;
    SelectRows({doomed});
    DeleteAndWait();
    QCOMPARE(FPrompts.Questions.size(), asked ? 1 : 0);
    if (asked)
        QVERIFY(FPrompts.Questions.front().contains(QFile::decodeName(QByteArray::fromStdString(doomed))));
    QCOMPARE(!Exists(doomed), deleted);
    QCOMPARE(RowOf(doomed) < 0, deleted);
}

// Cancel while the copies are compared: nothing is deleted, nothing asked.
void TestDeleteCheck::cancelledCheckDeletesNothing()
{
    const QByteArray bytes = Filled(4 << 20, 'c');
    QVERIFY(WriteBytes(Path("a.bin"), bytes) && WriteBytes(Path("b.bin"), bytes));
    Search(false, true, true);
    SelectRows({Path("b.bin")});
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Delete);
    QVERIFY(FForm->FileTaskRunning());
    QTest::keyClick(List(), Qt::Key_Escape);
    QTRY_VERIFY(!FForm->FileTaskRunning());
    QVERIFY(FPrompts.Questions.isEmpty());
    QVERIFY(Exists(Path("a.bin")) && Exists(Path("b.bin")));
    QCOMPARE(FForm->FileList()->rowCount(), 2);
}

// The files go on the worker thread: the key press returns with the task
// running, and Esc stops it between files. Whatever went by then, the list
// and the disk agree afterwards, and Undo puts every trashed file back.
void TestDeleteCheck::cancelledDeletionKeepsListAndDisk()
{
    constexpr int kFiles = 300;
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        paths.push_back(
            Path(QStringLiteral("f%1.bin").arg(i, 3, 10, QLatin1Char('0')).toLatin1().constData()));
        QVERIFY(WriteBytes(paths.back(), QByteArray::number(i)));
    }
    Find<QCheckBox>("ckNoRecycle")->setChecked(false);
    Find<QListWidget>("lstDir")->addItem(FTemp->path());
    QTest::mouseClick(Find<QPushButton>("btnFindAll"), Qt::LeftButton);
    QTRY_VERIFY(!FForm->SearchRunning());
    QCOMPARE(FForm->FileList()->rowCount(), kFiles);
    FPrompts.Answer = true;
    List()->setFocus();
    List()->selectAll();
    QTest::keyClick(List(), Qt::Key_Delete);
    QVERIFY(FForm->FileTaskRunning());
    QTest::keyClick(List(), Qt::Key_Escape);
    QTRY_VERIFY(!FForm->FileTaskRunning());
    int present = 0;
    for (const std::string& path : paths) {
        QCOMPARE(RowOf(path) >= 0, Exists(path));
        present += Exists(path) ? 1 : 0;
    }
    QCOMPARE(FForm->FileList()->rowCount(), present);
    QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
    for (const std::string& path : paths)
        QVERIFY2(Exists(path) && RowOf(path) >= 0, path.c_str());
}

// While a search runs, the old list can be browsed but no command changes a
// file; Esc in the main window stops the search and panel 0 is emptied.
void TestDeleteCheck::nothingChangesDuringASearch()
{
    QVERIFY(WriteBytes(Path("a.jpg"), "same") && WriteBytes(Path("b.jpg"), "same"));
    Search(false, true, false);
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    std::atomic<bool> release{false};
    FForm->SetDuplicateSearch([&release](const std::vector<std::string>&, const TSearchCriteria&, bool,
                                         TDuplicateHost& host, std::vector<TFileRecord>&) {
        host.SetPercentage(100, false);
        while (!release.load() && !host.CancelRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (host.CancelRequested()) throw ESearchCancelled();
        return TSearchOutcome::Completed;
    });
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QVERIFY(FForm->SearchRunning());
    QVERIFY(!FForm->FileCommandsAllowed());
    SelectRows({Path("b.jpg")});
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Delete);
    QTest::keyClick(List(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(List()->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(Exists(Path("b.jpg")));
    QVERIFY(FPrompts.Questions.isEmpty());
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QTRY_COMPARE(FForm->StatusText(0), QStringLiteral("100%"));
    QTest::keyClick(List(), Qt::Key_Escape);
    QTRY_VERIFY(!FForm->SearchRunning());
    release = true;
    QCOMPARE(FForm->StatusText(0), QString());
    QVERIFY(FForm->FileCommandsAllowed());
    QVERIFY(List()->editTriggers() != QAbstractItemView::NoEditTriggers);
}

// F5 marks the rows whose files are gone or changed; Select Duplicates
// keeps none of them and selects nothing in a group left with one file.
void TestDeleteCheck::checkAgainstDiskMarksRows()
{
    for (const char* name : {"g1.jpg", "g2.jpg", "g3.jpg"})
        QVERIFY(WriteBytes(Path(name), Filled(30, 'g')));
    for (const char* name : {"h1.jpg", "h2.jpg"})
        QVERIFY(WriteBytes(Path(name), Filled(40, 'h')));
    Search(false, true, true);
    QCOMPARE(FForm->FileList()->rowCount(), 5);
    const int firstOfG = std::min({RowOf(Path("g1.jpg")), RowOf(Path("g2.jpg")), RowOf(Path("g3.jpg"))});
    const std::string firstG = FForm->FileList()->Row(firstOfG).FullPath();
    QVERIFY(::unlink(firstG.c_str()) == 0);
    QVERIFY(WriteBytes(Path("h1.jpg"), Filled(41, 'h')));
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_F5);
    QTRY_VERIFY(!FForm->FileTaskRunning());
    const auto& rows = FForm->FileList()->Rows();
    for (const TFileRecord& row : rows) {
        const std::string path = row.FullPath();
        const std::uint8_t expected = path == firstG           ? kDiskGone
                                      : path == Path("h1.jpg") ? kDiskChanged
                                                               : kDiskAsListed;
        QCOMPARE(row.DiskState, expected);
    }
    QCOMPARE(FForm->FileList()
                 ->data(FForm->FileList()->index(RowOf(firstG), 0), Qt::ForegroundRole)
                 .value<QColor>(),
             QColor(Qt::gray));
    Find<QComboBox>("cbKeepRule")->setCurrentIndex(0); // first listed
    QTest::keyClick(List(), Qt::Key_D, Qt::ControlModifier);
    QList<std::string> selected;
    for (const QModelIndex& index : List()->selectionModel()->selectedRows())
        selected << FForm->FileList()->Row(index.row()).FullPath();
    // The first valid g is kept, the other valid g selected; h keeps its
    // only valid file; gone and changed rows are never selected.
    QCOMPARE(selected.size(), 1);
    QVERIFY(selected.front() != firstG && selected.front().find("/g") != std::string::npos);
}

// Two deletions to the trash, undone newest first: files and rows come back;
// a file put in the place of a trashed one is never overwritten.
void TestDeleteCheck::undoPutsADeletionBack()
{
    for (const char* name : {"u1.jpg", "u2.jpg", "u3.jpg"})
        QVERIFY(WriteBytes(Path(name), Filled(50, 'u')));
    Search(false, true, true);
    SelectRows({Path("u2.jpg")});
    DeleteAndWait();
    SelectRows({Path("u3.jpg")});
    DeleteAndWait();
    QVERIFY(!Exists(Path("u2.jpg")) && !Exists(Path("u3.jpg")));
    QCOMPARE(FForm->FileList()->rowCount(), 1);
    // Someone else's file now stands where u3.jpg was.
    QVERIFY(WriteBytes(Path("u3.jpg"), "other"));
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(FPrompts.Failures.size(), 1);
    QVERIFY(FPrompts.Failures.front().contains(QStringLiteral("u3.jpg")));
    QCOMPARE(FForm->FileList()->rowCount(), 1);
    QTest::keyClick(List(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(Exists(Path("u2.jpg")));
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QVERIFY(RowOf(Path("u2.jpg")) >= 0);
}

// A name that is not UTF-8, its copy, and another picture whose name is what
// a trip through a QString would make of the first: the viewer shows and
// deletes only the listed file.
void TestDeleteCheck::viewerDeletesTheListedBytes()
{
    QImage picture(32, 24, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "BMP"));
    QImage other(48, 24, QImage::Format_RGB32);
    other.fill(Qt::green);
    QByteArray otherBmp;
    QBuffer otherBuffer(&otherBmp);
    QVERIFY(otherBuffer.open(QIODevice::WriteOnly) && other.save(&otherBuffer, "BMP"));
    const std::string listed = Path("x\xff.bmp");
    const std::string lookalike = Path("x\xef\xbf\xbd.bmp");
    QVERIFY(WriteBytes(listed, bmp) && WriteBytes(Path("copy.bmp"), bmp) && WriteBytes(lookalike, otherBmp));
    Search(false, true, true);
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    auto viewer = std::make_unique<TfrmViewer>();
    viewer->SetCoverRect(QRect(0, 0, 800, 600));
    FForm->SetViewer(viewer.get());
    SelectRows({listed});
    FForm->OpenViewer(listed);
    QVERIFY(QTest::qWaitForWindowActive(viewer.get()));
    QTRY_COMPARE(viewer->Picture()->PictureWidth(), 32);
    QTest::keyClick(viewer.get(), Qt::Key_Delete);
    QTRY_VERIFY(!FForm->FileTaskRunning());
    QVERIFY(!Exists(listed));
    QVERIFY(Exists(lookalike) && Exists(Path("copy.bmp")));
    QCOMPARE(FForm->FileList()->rowCount(), 1);
    FForm->SetViewer(nullptr);
}

void TestDeleteCheck::summaryFollowsTheSelection()
{
    QCOMPARE(SelectionSummaryText(1, 10), QStringLiteral("Selected: 1 file, 10 bytes"));
    QCOMPARE(SelectionSummaryText(2, 10), QStringLiteral("Selected: 2 files, 10 bytes"));
    for (const char* name : {"s1.jpg", "s2.jpg", "s3.jpg"})
        QVERIFY(WriteBytes(Path(name), Filled(60, 's')));
    Search(false, true, false);
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_D, Qt::ControlModifier);
    QVERIFY(FForm->StatusText(1).startsWith(QStringLiteral("Selected: 2 files")));
    SelectRows({Path("s1.jpg")});
    QVERIFY(!FForm->StatusText(1).startsWith(QStringLiteral("Selected:")));
}

void TestDeleteCheck::openFailureIsSaid()
{
    TFailingShell shell;
    FForm->SetShell(&shell);
    QVERIFY(WriteBytes(Path("doc.txt"), "text"));
    FForm->ShellOpen(Path("doc.txt"), {});
    QCOMPARE(FMessages.Errors.size(), 1);
    QVERIFY(FMessages.Errors.front().contains(QStringLiteral("doc.txt")));
    FForm->SetShell(nullptr);
}

QTEST_MAIN(TestDeleteCheck)
#include "tst_deletecheck.moc"
