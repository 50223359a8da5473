// The main window and the full-size viewer together: OpenViewer's loading
// indicator, the list catching up after the viewer is left in both click
// modes, and a deletion from the viewer through the window's file operation
// service (a recording fake that really removes the file).
#include "AdvImage.h"
#include "AppFakes.h"
#include "MainForm.h"
#include "ViewImage.h"
#include "ViewerFakes.h"
#include "WindowRules.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace quorvane;
using namespace quorvane::test;

class TestAppViewer : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void openViewerShowsTheLoadingIndicator();
    void listCatchesUpAfterTheViewer_data();
    void listCatchesUpAfterTheViewer();
    void deletionRemovesTheRowAndClearsThePreview();
    void deleteWhileARowIsEditedDoesNothing();

  private:
    template <typename T> T* Find(const char* name) const
    {
        return FForm->findChild<T*>(QString::fromLatin1(name));
    }
    QTreeView* List() const { return Find<QTreeView>("lvFiles"); }
    // Rows for a.bmp, b.bmp and c.bmp (pictures of one size) in the folder.
    void ThreePictures();
    void Focus(int row);
    QString Path(const char* name) const { return FDir->filePath(QString::fromLatin1(name)); }

    std::unique_ptr<QTemporaryDir> FDir;
    TfrmMain* FForm = nullptr;
    TfrmViewer* FViewer = nullptr;
    TRecordingFileOperations FOperations;
    TRecordingMessages FMessages;
};

void TestAppViewer::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    FOperations = TRecordingFileOperations();
    FForm = new TfrmMain;
    FViewer = new TfrmViewer;
    FViewer->SetCoverRect(QRect(0, 0, 1024, 768));
    FForm->SetViewer(FViewer);
    FForm->SetUserMessages(&FMessages);
    FForm->SetFileOperations(&FOperations);
    FForm->resize(1024, 700);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowActive(FForm));
}

void TestAppViewer::cleanup()
{
    delete FViewer;
    delete FForm;
    FForm = nullptr;
    FViewer = nullptr;
    FDir.reset();
}

void TestAppViewer::ThreePictures()
{
    std::vector<TFileRecord> rows;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
        QVERIFY(!WriteBitmap(Path(name), 400, 300).isEmpty());
        rows.push_back(ViewerRow(FDir->path(), QString::fromLatin1(name)));
    }
    FForm->FileList()->SetRows(std::move(rows));
}

void TestAppViewer::Focus(int row)
{
    List()->selectionModel()->setCurrentIndex(
        FForm->FileList()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TestAppViewer::openViewerShowsTheLoadingIndicator()
{
    ThreePictures();
    QStringList seen;
    connect(FViewer->Picture(), &TAdvImage::OnImageLoading, this, [&] {
        seen << FForm->StatusText(0) << (Find<QLabel>("Label1")->isVisible() ? "shown" : "hidden");
    });
    FForm->OpenViewer(QFile::encodeName(Path("a.bmp")).toStdString());
    QCOMPARE(seen, (QStringList{"Loading", "shown"}));
    QVERIFY(QTest::qWaitForWindowActive(FViewer));
    QTRY_COMPARE(FForm->StatusText(0), QString());
    QVERIFY(!Find<QLabel>("Label1")->isVisible());
    QTest::keyClick(FViewer, Qt::Key_Escape);
    FForm->OpenViewer(QFile::encodeName(Path("a.bmp")).toStdString());
    QCOMPARE(seen.size(), 2); // the same file is not loaded again
    QVERIFY(FViewer->isVisible());
}

void TestAppViewer::listCatchesUpAfterTheViewer_data()
{
    QTest::addColumn<bool>("singleClick");
    QTest::newRow("single click") << true;
    QTest::newRow("double click") << false;
}

void TestAppViewer::listCatchesUpAfterTheViewer()
{
    QFETCH(bool, singleClick);
    Find<QRadioButton>(singleClick ? "raClick" : "raDblClick")->setChecked(true);
    ThreePictures();
    Focus(0);
    if (singleClick)
        QTRY_COMPARE(FForm->PreviewImage()->FileName(), Path("a.bmp"));
    else
        FForm->PreviewImage()->LoadImage(Path("a.bmp"));
    QVERIFY(!FForm->PendingLoad());
    QCOMPARE(FForm->MarkedIndex(), 0);
    FForm->OpenViewer(QFile::encodeName(Path("a.bmp")).toStdString());
    QVERIFY(QTest::qWaitForWindowActive(FViewer));
    QVERIFY(FForm->IgnoreListChange());
    QTest::keyClick(FViewer, Qt::Key_PageDown);
    QCOMPARE(FForm->FocusedRow(), 1);
    QVERIFY(List()->selectionModel()->selectedRows().isEmpty());
    // While the viewer is up the window does not follow the list.
    QCOMPARE(FForm->MarkedIndex(), 0);
    QVERIFY(!FForm->PendingLoad());
    QTest::mouseDClick(FViewer->Picture(), Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!FViewer->isVisible());
    QVERIFY(!FForm->IgnoreListChange());
    QCOMPARE(FForm->MarkedIndex(), 1);
    if (singleClick) {
        QVERIFY(FForm->PendingLoad());
        QTRY_COMPARE(FForm->PreviewImage()->FileName(), Path("b.bmp"));
    } else {
        QVERIFY(!FForm->PendingLoad());
        QCOMPARE(FForm->PreviewImage()->FileName(), Path("a.bmp"));
    }
}

void TestAppViewer::deletionRemovesTheRowAndClearsThePreview()
{
    Find<QCheckBox>("ckNoConfirm")->setChecked(true);
    Find<QCheckBox>("ckNoRecycle")->setChecked(false);
    ThreePictures();
    FForm->PreviewImage()->LoadImage(Path("a.bmp"));
    Focus(0);
    FForm->OpenViewer(QFile::encodeName(Path("a.bmp")).toStdString());
    QVERIFY(QTest::qWaitForWindowActive(FViewer));
    QTest::keyClick(FViewer, Qt::Key_Delete);
    QVERIFY(!QFile::exists(Path("a.bmp")));
    QCOMPARE(FOperations.Flags, (std::vector<unsigned>{kFofNoConfirmation | kFofAllowUndo}));
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QCOMPARE(FForm->StatusText(1), TotalFilesText(2));
    QCOMPARE(FForm->PreviewImage()->FileName(), QString());
    // The list's focus passed to b.bmp, which the viewer shows in place.
    QCOMPARE(FForm->FocusedRow(), 0);
    QCOMPARE(FViewer->Picture()->FileName(), Path("b.bmp"));
    QVERIFY(FViewer->isVisible());
}

void TestAppViewer::deleteWhileARowIsEditedDoesNothing()
{
    ThreePictures();
    Focus(0);
    FForm->OpenViewer(QFile::encodeName(Path("a.bmp")).toStdString());
    QVERIFY(QTest::qWaitForWindowActive(FViewer));
    List()->edit(FForm->FileList()->index(1, 0));
    QTest::keyClick(FViewer, Qt::Key_Delete);
    QVERIFY(FOperations.Requests.empty());
    QVERIFY(QFile::exists(Path("a.bmp")));
    QCOMPARE(FForm->FileList()->rowCount(), 3);
}

QTEST_MAIN(TestAppViewer)
#include "tst_app_viewer.moc"
