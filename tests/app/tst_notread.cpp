// What a search could not read, as the window shows it: the count added to
// panel 1 in both languages, "Files Not Read..." in the list's menu enabled
// only after a search that left something out, and its list of paths and
// reasons shown through the message interface (a recording fake here);
// and the mark of the list's rows that are names of one file.
#include "AppFakes.h"
#include "FileListModel.h"
#include "MainForm.h"
#include "NotReadReport.h"
#include "ProgressForm.h"

#include <QAction>
#include <QDir>
#include <QFont>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using namespace quorvane;
using quorvane::test::MakeRecord;
using quorvane::test::TRecordingMessages;

namespace {

// A search that finds one group and reports what it could not read.
TfrmMain::TDuplicateSearch ReportingSearch(std::vector<TNotRead> entries)
{
    return [entries](const std::vector<std::string>&, const TSearchCriteria&, bool, TDuplicateHost& host,
                     std::vector<TFileRecord>& target) {
        host.ClearFileList();
        for (const TNotRead& entry : entries)
            host.NotRead(entry);
        target.push_back(MakeRecord("a.jpg", 9));
        target.push_back(MakeRecord("a.jpg", 9, 202401021530, "/other"));
        host.SetStatusText("Total Files:2", true);
        return TSearchOutcome::Completed;
    };
}

const QString kHint = QStringLiteral("   Ctrl+Up=Prior group  Ctrl+Down=Next group");

} // namespace

class TestNotRead : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void countText_data();
    void countText();
    void listTextIsBounded();
    void searchLeavingFilesOutIsReported();
    void cleanSearchDisablesTheItem();
    void chinesePanelText();
    void realSearchNamesAMissingInput();
    void namesOfOneFileAreMarked();

  private:
    template <typename T> T* Find(const char* name) const
    {
        T* object = FForm->findChild<T*>(QString::fromLatin1(name));
        if (!object) qFatal("no object %s", name);
        return object;
    }
    void Search();

    TfrmMain* FForm = nullptr;
    TfrmProgress* FProgress = nullptr;
    TRecordingMessages FMessages;
};

void TestNotRead::init()
{
    FMessages = TRecordingMessages();
    FForm = new TfrmMain;
    FProgress = new TfrmProgress;
    FForm->SetProgressForm(FProgress);
    FForm->SetUserMessages(&FMessages);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm));
    Find<QListWidget>("lstDir")->addItem(QStringLiteral("/nowhere"));
}

void TestNotRead::cleanup()
{
    delete FForm;
    delete FProgress;
}

void TestNotRead::Search()
{
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QTRY_VERIFY(!FForm->SearchRunning());
}

void TestNotRead::countText_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("folders");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing") << 0 << 0 << QString();
    QTest::newRow("files only") << 3 << 0 << "3 files could not be read";
    QTest::newRow("folders only") << 0 << 2 << "2 folders could not be read";
    QTest::newRow("both") << 1 << 4 << "1 files could not be read, 4 folders could not be read";
}

void TestNotRead::countText()
{
    QFETCH(int, files);
    QFETCH(int, folders);
    QFETCH(QString, expected);
    std::vector<TNotRead> entries;
    // Interleaved, as a search meets them.
    for (int i = 0; i < std::max(files, folders); ++i) {
        if (i < folders) entries.push_back({"/d", TNotReadReason::DirectoryReadFailed, EIO});
        if (i < files) entries.push_back({"/f", TNotReadReason::FileChanged, 0});
    }
    QCOMPARE(NotReadCountText(entries), expected);
}

void TestNotRead::listTextIsBounded()
{
    std::vector<TNotRead> entries;
    for (std::size_t i = 0; i < kNotReadListLimit + 5; ++i)
        entries.push_back({"/f" + std::to_string(i), TNotReadReason::CannotOpenFile, EACCES});
    const QStringList lines = NotReadListText(entries).split('\n');
    QCOMPARE(lines.size(), qsizetype(kNotReadListLimit) + 2); // heading, paths, the rest counted
    QCOMPARE(lines[1], QStringLiteral("/f0: cannot be opened (Permission denied)"));
    QCOMPARE(lines.last(), QStringLiteral("and 5 more"));
}

void TestNotRead::searchLeavingFilesOutIsReported()
{
    FForm->SetDuplicateSearch(ReportingSearch({{"/data/locked.jpg", TNotReadReason::CannotOpenFile, EACCES},
                                               {"/data/sub", TNotReadReason::CannotOpenDirectory, EACCES},
                                               {"/data/grew.jpg", TNotReadReason::FileChanged, 0}}));
    QAction* item = Find<QAction>("miFilesNotRead");
    QVERIFY(!item->isEnabled()); // nothing searched yet
    Search();
    QCOMPARE(FForm->FileList()->rowCount(), 2); // the groups are shown all the same
    QCOMPARE(FForm->StatusText(1),
             "Total Files:2" + kHint + "   2 files could not be read, 1 folders could not be read");
    QVERIFY(item->isEnabled());
    item->trigger();
    QCOMPARE(FMessages.Informations, QStringList{"These files and folders could not be read:\n"
                                                 "/data/locked.jpg: cannot be opened (Permission denied)\n"
                                                 "/data/sub: folder cannot be opened (Permission denied)\n"
                                                 "/data/grew.jpg: changed during the search"});
    QVERIFY(FMessages.Errors.isEmpty());
}

void TestNotRead::cleanSearchDisablesTheItem()
{
    FForm->SetDuplicateSearch(ReportingSearch({{"/data/x", TNotReadReason::FileReadFailed, EIO}}));
    Search();
    QAction* item = Find<QAction>("miFilesNotRead");
    QVERIFY(item->isEnabled());
    FForm->SetDuplicateSearch(ReportingSearch({}));
    Search();
    QVERIFY(!item->isEnabled());
    QCOMPARE(FForm->StatusText(1), "Total Files:2" + kHint);
    item->trigger(); // a stale trigger shows nothing
    QVERIFY(FMessages.Informations.isEmpty());
}

void TestNotRead::chinesePanelText()
{
    Find<QRadioButton>("rbChinese")->setChecked(true);
    FForm->SetDuplicateSearch(ReportingSearch({{"/data/x", TNotReadReason::FileReadFailed, EIO}}));
    Search();
    QVERIFY2(FForm->StatusText(1).endsWith(QStringLiteral("   1 個檔案無法讀取")),
             qPrintable(FForm->StatusText(1)));
    QAction* item = Find<QAction>("miFilesNotRead");
    emit Find<QMenu>("PopupMenu1")->aboutToShow();
    QCOMPARE(item->text(), QStringLiteral("無法讀取的檔案..."));
    Find<QRadioButton>("rbEnglish")->click();
    emit Find<QMenu>("PopupMenu1")->aboutToShow();
    QCOMPARE(item->text(), QStringLiteral("Files Not Read..."));
}

void TestNotRead::realSearchNamesAMissingInput()
{
    QTemporaryDir tmp;
    QVERIFY(quorvane::test::WriteFile(tmp.filePath("a.bin"), "same"));
    QVERIFY(quorvane::test::WriteFile(tmp.filePath("b.bin"), "same"));
    const QString missing = tmp.filePath("missing");
    QListWidget* dirs = Find<QListWidget>("lstDir");
    dirs->clear();
    dirs->addItem(tmp.path());
    dirs->addItem(missing);
    Search();
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QVERIFY2(FForm->StatusText(1).endsWith("   1 folders could not be read"),
             qPrintable(FForm->StatusText(1)));
    Find<QAction>("miFilesNotRead")->trigger();
    QCOMPARE(FMessages.Informations.size(), 1);
    QVERIFY2(FMessages.Informations[0].contains(missing + ": folder cannot be opened"),
             qPrintable(FMessages.Informations[0]));
}

void TestNotRead::namesOfOneFileAreMarked()
{
    std::vector<TFileRecord> rows{MakeRecord("a.jpg", 9), MakeRecord("b.jpg", 9), MakeRecord("c.jpg", 9)};
    rows[0].OtherNames = rows[1].OtherNames = true;
    TFileListModel model;
    model.SetRows(std::move(rows));
    for (int row = 0; row < 3; ++row) {
        const bool marked = row < 2;
        QCOMPARE(model.index(row, 0).data(Qt::FontRole).value<QFont>().italic(), marked);
        QCOMPARE(model.index(row, 4).data(Qt::FontRole).value<QFont>().italic(), marked);
        QCOMPARE(model.index(row, 0).data(Qt::ToolTipRole).toString().isEmpty(), !marked);
    }
}

QTEST_MAIN(TestNotRead)
#include "tst_notread.moc"
