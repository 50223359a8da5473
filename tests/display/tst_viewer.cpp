// The full-size viewer driven through its real widgets with a fake host: a
// 1024 x 768 client area, pictures written as bitmaps into a temporary
// directory. Covers the layout and cursor, keys and drags, stepping through
// rows, the delete sequence, closing and the list-change flag.
#include "AdvImage.h"
#include "ViewImage.h"
#include "ViewerFakes.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

const QRect kClient(0, 0, 1024, 768);

bool IsRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 50 && qBlue(pixel) < 50;
}

bool IsBlack(QRgb pixel)
{
    return qRed(pixel) < 30 && qGreen(pixel) < 30 && qBlue(pixel) < 30;
}

} // namespace

class TestViewer : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void smallPictureIsCentredAndStill();
    void widePictureMovesWithinItsEdges();
    void dragWithAnyButton_data();
    void dragWithAnyButton();
    void rightClickOpensTheMenu();
    void stepsSkipOtherFiles();
    void pageDownOnTheLastPictureClearsTheSelection();
    void homeAndEndWithoutAFocusedRow();
    void keysActWhileLoading();
    void deletingTheOnlyPictureCloses();
    void deletionShowsTheFocusedPictureInPlace();
    void deletionLaysOutAPictureOfAnotherSize();
    void deletionThatLeavesTheFileChangesNothing();
    void deleteWhileARowIsEditedDoesNothing();
    void sameFileIsNotReloaded();
    void leavingTheViewerLetsTheListCatchUp();
    void closingKeysAndDoubleClick_data();
    void closingKeysAndDoubleClick();
    void altXClosesTheMainWindow();
    void menuEntriesAct();
    void fitAndZoom();

  private:
    QString Picture(const QString& name, int width, int height, QColor color = Qt::red);
    void OpenAndActivate(const QString& path);
    void WaitForPicture();
    // A point of the window in the picture control's own coordinates.
    QPoint At(QPoint windowPoint) const { return FViewer->Picture()->mapFrom(FViewer.get(), windowPoint); }

    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<TFakeViewerHost> FHost;
    std::unique_ptr<TfrmViewer> FViewer;
};

QString TestViewer::Picture(const QString& name, int width, int height, QColor color)
{
    return WriteBitmap(FDir->filePath(name), width, height, color);
}

void TestViewer::OpenAndActivate(const QString& path)
{
    FViewer->Open(path, nullptr);
    QVERIFY(QTest::qWaitForWindowActive(FViewer.get()));
    WaitForPicture();
}

void TestViewer::WaitForPicture()
{
    QTRY_VERIFY(!FViewer->Picture()->Loading());
}

void TestViewer::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FDir->isValid());
    FHost = std::make_unique<TFakeViewerHost>();
    FViewer = std::make_unique<TfrmViewer>();
    FViewer->SetHost(FHost.get());
    FViewer->SetCoverRect(kClient);
}

void TestViewer::cleanup()
{
    FViewer.reset();
    FHost.reset();
    FDir.reset();
}

void TestViewer::smallPictureIsCentredAndStill()
{
    const QString big = Picture("big.bmp", 2000, 500);
    const QString small = Picture("small.bmp", 300, 200);
    OpenAndActivate(big);
    FViewer->ShowPicture(QFile::encodeName(small).toStdString());
    WaitForPicture();
    TAdvImage* image = FViewer->Picture();
    QCOMPARE(image->geometry(), kClient);
    QCOMPARE(image->cursor().shape(), Qt::ArrowCursor);
    const QImage shot = FViewer->grab().toImage();
    QVERIFY(IsRed(shot.pixel(362, 284)));
    QVERIFY(IsRed(shot.pixel(661, 483)));
    QVERIFY(IsBlack(shot.pixel(361, 284)));
    QVERIFY(IsBlack(shot.pixel(362, 283)));
    QVERIFY(IsBlack(shot.pixel(662, 483)));
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_Down})
        QTest::keyClick(FViewer.get(), key);
    QTest::mousePress(image, Qt::LeftButton, {}, At(QPoint(500, 400)));
    QTest::mouseMove(image, At(QPoint(300, 250)));
    QTest::mouseRelease(image, Qt::LeftButton, {}, At(QPoint(300, 250)));
    QCOMPARE(image->geometry(), kClient);
}

void TestViewer::widePictureMovesWithinItsEdges()
{
    const QString wide = Picture("wide.bmp", 2000, 500);
    FViewer->ShowPicture(QFile::encodeName(wide).toStdString());
    OpenAndActivate(wide);
    TAdvImage* image = FViewer->Picture();
    QCOMPARE(image->geometry(), QRect(0, 0, 2000, 768));
    QCOMPARE(image->cursor().shape(), Qt::BitmapCursor);
    const QImage shot = FViewer->grab().toImage();
    QVERIFY(IsRed(shot.pixel(0, 134)));
    QVERIFY(IsBlack(shot.pixel(0, 133)));
    QList<int> lefts;
    for (int press = 0; press < 6; ++press) {
        QTest::keyClick(FViewer.get(), Qt::Key_Right);
        lefts << image->x();
    }
    QCOMPARE(lefts, (QList<int>{-205, -410, -615, -820, -976, -976}));
    QTest::keyClick(FViewer.get(), Qt::Key_Up);
    QTest::keyClick(FViewer.get(), Qt::Key_Down);
    QCOMPARE(image->y(), 0);
    // The picture's right edge now meets the window's right edge.
    QVERIFY(IsRed(FViewer->grab().toImage().pixel(1023, 400)));
    lefts.clear();
    for (int press = 0; press < 6; ++press) {
        QTest::keyClick(FViewer.get(), Qt::Key_Left);
        lefts << image->x();
    }
    QCOMPARE(lefts, (QList<int>{-771, -566, -361, -156, 0, 0}));
}

void TestViewer::dragWithAnyButton_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("middle") << Qt::MiddleButton;
    QTest::newRow("right") << Qt::RightButton;
}

void TestViewer::dragWithAnyButton()
{
    QFETCH(Qt::MouseButton, button);
    OpenAndActivate(Picture("tall.bmp", 1500, 1000));
    TAdvImage* image = FViewer->Picture();
    QTest::mousePress(image, button, {}, At(QPoint(600, 400)));
    QTest::mouseMove(image, At(QPoint(500, 350)));
    QCOMPARE(image->pos(), QPoint(-100, -50));
    // Beyond the far edges the picture stops.
    QTest::mouseMove(image, At(QPoint(0, 0)));
    QCOMPARE(image->pos(), QPoint(-476, -232));
    QTest::mouseRelease(image, button, {}, At(QPoint(0, 0)));
    QTest::mouseMove(image, At(QPoint(300, 300)));
    QCOMPARE(image->pos(), QPoint(-476, -232));
    QVERIFY(!FViewer->PopupMenu()->isVisible());
}

void TestViewer::rightClickOpensTheMenu()
{
    OpenAndActivate(Picture("a.bmp", 300, 200));
    QTest::mouseClick(FViewer->Picture(), Qt::RightButton, {}, QPoint(400, 300));
    QTRY_VERIFY(FViewer->PopupMenu()->isVisible());
    // The menu does not count as leaving the viewer.
    QVERIFY(FHost->ListChanges.empty());
    FViewer->PopupMenu()->close();
}

void TestViewer::stepsSkipOtherFiles()
{
    const QString dir = FDir->path();
    Picture("a.bmp", 300, 200);
    Picture("c.bmp", 300, 200, Qt::green);
    FHost->Rows = {ViewerRow(dir, "a.bmp"), ViewerRow(dir, "b.txt"), ViewerRow(dir, "c.bmp")};
    FHost->Focused = 0;
    OpenAndActivate(FDir->filePath("a.bmp"));
    QTest::keyClick(FViewer.get(), Qt::Key_PageDown);
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("c.bmp"));
    QCOMPARE(FHost->Focused, std::ptrdiff_t(2));
    QCOMPARE(FHost->ScrolledTo, (std::vector<std::ptrdiff_t>{2}));
    QVERIFY(!FHost->Selected);
    QTest::keyClick(FViewer.get(), Qt::Key_PageUp);
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("a.bmp"));
    QCOMPARE(FHost->Focused, std::ptrdiff_t(0));
}

void TestViewer::pageDownOnTheLastPictureClearsTheSelection()
{
    const QString dir = FDir->path();
    Picture("a.bmp", 300, 200);
    FHost->Rows = {ViewerRow(dir, "a.bmp"), ViewerRow(dir, "b.txt")};
    FHost->Focused = 0;
    OpenAndActivate(FDir->filePath("a.bmp"));
    QSignalSpy loads(FViewer->Picture(), &TAdvImage::OnImageLoading);
    QVERIFY(!FViewer->ShowNextImage());
    QCOMPARE(loads.count(), 0);
    QCOMPARE(FHost->Focused, std::ptrdiff_t(0));
    QVERIFY(!FHost->Selected);
    QCOMPARE(FHost->ScrolledTo, (std::vector<std::ptrdiff_t>{0}));
}

void TestViewer::homeAndEndWithoutAFocusedRow()
{
    const QString dir = FDir->path();
    Picture("a.bmp", 300, 200);
    Picture("b.bmp", 300, 200);
    FHost->Rows = {ViewerRow(dir, "x.txt"), ViewerRow(dir, "a.bmp"), ViewerRow(dir, "b.bmp"),
                   ViewerRow(dir, "y.txt")};
    OpenAndActivate(FDir->filePath("a.bmp"));
    // Without a focused row the page keys do nothing at all.
    QTest::keyClick(FViewer.get(), Qt::Key_PageDown);
    QTest::keyClick(FViewer.get(), Qt::Key_PageUp);
    QCOMPARE(FHost->Deselects, 0);
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("a.bmp"));
    QTest::keyClick(FViewer.get(), Qt::Key_End);
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("b.bmp"));
    QCOMPARE(FHost->Focused, std::ptrdiff_t(2));
    FHost->Focused = -1;
    QTest::keyClick(FViewer.get(), Qt::Key_Home);
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("a.bmp"));
    QCOMPARE(FHost->Focused, std::ptrdiff_t(1));
    QCOMPARE(FHost->Deselects, 2);
}

// A key pressed while a picture is under way acts at once: the viewer steps
// on from the picture asked for, and only the last one asked for is shown.
void TestViewer::keysActWhileLoading()
{
    const QString dir = FDir->path();
    Picture("a.bmp", 300, 200);
    Picture("b.bmp", 300, 200);
    Picture("c.bmp", 200, 100, Qt::green);
    FHost->Rows = {ViewerRow(dir, "a.bmp"), ViewerRow(dir, "b.bmp"), ViewerRow(dir, "c.bmp")};
    FHost->Focused = 0;
    OpenAndActivate(FDir->filePath("a.bmp"));
    QSignalSpy loaded(FViewer->Picture(), &TAdvImage::OnImageLoaded);
    QTest::keyClick(FViewer.get(), Qt::Key_PageDown);
    QTest::keyClick(FViewer.get(), Qt::Key_PageDown);
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("c.bmp"));
    QCOMPARE(FHost->Focused, std::ptrdiff_t(2));
    WaitForPicture();
    QCOMPARE(FViewer->Picture()->PictureWidth(), 200);
    QCoreApplication::processEvents();
    QCOMPARE(FViewer->Picture()->PictureWidth(), 200);
    QVERIFY(loaded.count() >= 1);
    QVERIFY(FViewer->isVisible());
}

void TestViewer::deletingTheOnlyPictureCloses()
{
    const QString dir = FDir->path();
    const QString path = Picture("a.bmp", 300, 200);
    FHost->Rows = {ViewerRow(dir, "notes.txt"), ViewerRow(dir, "a.bmp", 42)};
    FHost->Focused = 1;
    FHost->Flags = kFofNoConfirmation;
    OpenAndActivate(path);
    QTest::keyClick(FViewer.get(), Qt::Key_Delete);
    QVERIFY(!QFile::exists(path));
    QVERIFY(!FViewer->isVisible());
    QCOMPARE(FHost->Rows.size(), std::size_t(1));
    QCOMPARE(FHost->Forgotten, QStringList{path});
    // One request with the row's identity and the list's flags.
    QCOMPARE(FHost->Operations.Requests.size(), std::size_t(1));
    const TDeleteItem& item = FHost->Operations.Requests[0].at(0);
    QCOMPARE(QString::fromStdString(item.Path), path);
    QVERIFY(item.Expected.Known);
    QCOMPARE(item.Expected.Inode, std::uint64_t(42));
    QCOMPARE(item.Expected.ModifiedNs, std::int64_t(1'700'000'000'000'000'000));
    QCOMPARE(FHost->Operations.Flags, (std::vector<unsigned>{kFofNoConfirmation}));
}

void TestViewer::deletionShowsTheFocusedPictureInPlace()
{
    const QString dir = FDir->path();
    const QString first = Picture("a.bmp", 2000, 500);
    Picture("b.bmp", 2000, 500, Qt::blue);
    Picture("c.bmp", 2000, 500);
    FHost->Rows = {ViewerRow(dir, "a.bmp"), ViewerRow(dir, "b.bmp"), ViewerRow(dir, "c.bmp")};
    FHost->Focused = 0;
    OpenAndActivate(first);
    QTest::keyClick(FViewer.get(), Qt::Key_Right);
    FViewer->DeleteImage();
    WaitForPicture();
    // The row after the deleted one has the focus and is shown where the
    // deleted one was; the viewer does not step on.
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("b.bmp"));
    QCOMPARE(FViewer->Picture()->geometry(), QRect(-205, 0, 2000, 768));
    QCOMPARE(FHost->Focused, std::ptrdiff_t(0));
    QCOMPARE(FHost->Rows.size(), std::size_t(2));
    QVERIFY(FViewer->isVisible());
}

void TestViewer::deletionLaysOutAPictureOfAnotherSize()
{
    const QString dir = FDir->path();
    const QString first = Picture("a.bmp", 2000, 500);
    Picture("b.bmp", 300, 200);
    FHost->Rows = {ViewerRow(dir, "a.bmp"), ViewerRow(dir, "b.bmp")};
    FHost->Focused = 0;
    OpenAndActivate(first);
    for (int press = 0; press < 5; ++press)
        QTest::keyClick(FViewer.get(), Qt::Key_Right);
    QTest::keyClick(FViewer.get(), Qt::Key_Delete);
    WaitForPicture();
    // At the old position the small picture would lie outside the window.
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("b.bmp"));
    QCOMPARE(FViewer->Picture()->geometry(), kClient);
    QCOMPARE(FViewer->Picture()->cursor().shape(), Qt::ArrowCursor);
}

void TestViewer::deletionThatLeavesTheFileChangesNothing()
{
    const QString dir = FDir->path();
    const QString path = Picture("a.bmp", 300, 200);
    Picture("b.bmp", 300, 200);
    FHost->Rows = {ViewerRow(dir, "a.bmp"), ViewerRow(dir, "b.bmp")};
    FHost->Focused = 0;
    FHost->Operations.Remove = false;
    OpenAndActivate(path);
    QTest::keyClick(FViewer.get(), Qt::Key_Delete);
    QCOMPARE(FHost->Operations.Requests.size(), std::size_t(1));
    QCOMPARE(FHost->Rows.size(), std::size_t(2));
    QCOMPARE(FHost->Deselects, 0);
    QVERIFY(FHost->Forgotten.isEmpty());
    QCOMPARE(FViewer->Picture()->FileName(), path);
    QVERIFY(FViewer->isVisible());
}

void TestViewer::deleteWhileARowIsEditedDoesNothing()
{
    const QString path = Picture("a.bmp", 300, 200);
    FHost->Rows = {ViewerRow(FDir->path(), "a.bmp")};
    FHost->Focused = 0;
    FHost->Editing = true;
    OpenAndActivate(path);
    QTest::keyClick(FViewer.get(), Qt::Key_Delete);
    FViewer->PopupMenu()->findChild<QAction*>("miDelete")->trigger();
    QVERIFY(FHost->Operations.Requests.empty());
    QVERIFY(QFile::exists(path));
    QVERIFY(FViewer->isVisible());
    // Nor while the list's files may not change (a search runs), nor for a
    // file that no row lists.
    FHost->Editing = false;
    FHost->Allowed = false;
    QTest::keyClick(FViewer.get(), Qt::Key_Delete);
    FHost->Allowed = true;
    FHost->Rows = {ViewerRow(FDir->path(), "other.bmp")};
    QTest::keyClick(FViewer.get(), Qt::Key_Delete);
    QVERIFY(FHost->Operations.Requests.empty());
    QVERIFY(QFile::exists(path));
}

void TestViewer::sameFileIsNotReloaded()
{
    const QString path = Picture("wide.bmp", 2000, 500);
    QSignalSpy loads(FViewer->Picture(), &TAdvImage::OnImageLoading);
    OpenAndActivate(path);
    QTest::keyClick(FViewer.get(), Qt::Key_Escape);
    QVERIFY(!FViewer->isVisible());
    OpenAndActivate(path);
    FViewer->ShowPicture(QFile::encodeName(path).toStdString());
    QCOMPARE(loads.count(), 1);
    QCOMPARE(FViewer->Picture()->geometry(), QRect(0, 0, 2000, 768));
}

void TestViewer::leavingTheViewerLetsTheListCatchUp()
{
    OpenAndActivate(Picture("a.bmp", 300, 200));
    QVERIFY(FHost->IgnoreListChange);
    QVERIFY(FHost->ListChanges.empty());
    // Another window taking the activation leaves the viewer too.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(FHost->ListChanges, std::vector<bool>{false});
    QVERIFY(!FHost->IgnoreListChange);
    FViewer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FViewer.get()));
    QVERIFY(FHost->IgnoreListChange);
    QTest::keyClick(FViewer.get(), Qt::Key_Escape);
    QTRY_COMPARE(FHost->ListChanges.size(), std::size_t(2));
    QVERIFY(!FHost->IgnoreListChange);
}

void TestViewer::closingKeysAndDoubleClick_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("double click on the picture") << 0;
    QTest::newRow("double click on the window") << 1;
}

void TestViewer::closingKeysAndDoubleClick()
{
    QFETCH(int, key);
    OpenAndActivate(Picture("a.bmp", 300, 200));
    if (key == 0)
        QTest::mouseDClick(FViewer->Picture(), Qt::LeftButton, {}, QPoint(20, 20));
    else if (key == 1)
        QTest::mouseDClick(FViewer.get(), Qt::LeftButton, {}, QPoint(20, 20));
    else
        QTest::keyClick(FViewer.get(), Qt::Key(key));
    QVERIFY(!FViewer->isVisible());
    QCOMPARE(FHost->ListChanges.size(), std::size_t(1));
    QCOMPARE(FHost->MainWindowCloses, 0);
}

void TestViewer::altXClosesTheMainWindow()
{
    OpenAndActivate(Picture("a.bmp", 300, 200));
    QTest::keyClick(FViewer.get(), Qt::Key_X);
    QCOMPARE(FHost->MainWindowCloses, 0);
    QTest::keyClick(FViewer.get(), Qt::Key_X, Qt::AltModifier);
    QCOMPARE(FHost->MainWindowCloses, 1);
    QTest::keyClick(FViewer.get(), Qt::Key_X, Qt::AltModifier | Qt::ShiftModifier);
    QCOMPARE(FHost->MainWindowCloses, 2);
}

void TestViewer::menuEntriesAct()
{
    const QString dir = FDir->path();
    Picture("a.bmp", 300, 200);
    Picture("b.bmp", 300, 200);
    FHost->Rows = {ViewerRow(dir, "a.bmp"), ViewerRow(dir, "b.bmp")};
    FHost->Focused = 0;
    OpenAndActivate(FDir->filePath("a.bmp"));
    QStringList names;
    for (QAction* entry : FViewer->PopupMenu()->actions())
        names << (entry->isSeparator() ? QStringLiteral("-") : entry->objectName());
    QCOMPARE(names, (QStringList{"miNextImage", "miPriorImage", "miFirstImage", "miLastImage", "-",
                                 "miDelete", "miReplaceHardLink", "miReplaceSymbolicLink", "miReplaceClone",
                                 "miMoveToFolder", "-", "miFitToScreen", "miClose"}));
    auto entry = [this](const char* name) { return FViewer->PopupMenu()->findChild<QAction*>(name); };
    entry("miLastImage")->trigger();
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("b.bmp"));
    entry("miPriorImage")->trigger();
    QCOMPARE(FViewer->Picture()->FileName(), FDir->filePath("a.bmp"));
    entry("miClose")->trigger();
    QVERIFY(!FViewer->isVisible());
}

// F fits a large photo to the window, centred, and is kept for the next
// opening; + and - step the zoom around the anchor, 1 is natural size
// again; a picture that fits is never enlarged by fitting.
void TestViewer::fitAndZoom()
{
    const QString large = Picture("large.bmp", kClient.width() * 2, kClient.height() * 3);
    const QString small = Picture("small.bmp", 100, 50);
    OpenAndActivate(large);
    TAdvImage* image = FViewer->Picture();
    QCOMPARE(image->size(), QSize(kClient.width() * 2, kClient.height() * 3));
    QTest::keyClick(FViewer.get(), Qt::Key_F);
    QVERIFY(FHost->Fit && FViewer->FitToScreen());
    const QSize fitted(qRound(kClient.width() * 2 / 3.0), kClient.height());
    QCOMPARE(image->geometry(), QRect(QPoint((kClient.width() - fitted.width()) / 2, 0), fitted));
    // The whole picture is drawn: red at its edges, black beside it.
    const QImage shot = FViewer->grab().toImage();
    QVERIFY(IsRed(shot.pixel(image->x() + 1, 1)));
    QVERIFY(IsRed(shot.pixel(image->geometry().right() - 1, kClient.height() - 2)));
    QVERIFY(IsBlack(shot.pixel(image->x() - 2, kClient.height() / 2)));
    // Zoomed in around the window's top-left corner: that corner stays.
    FViewer->ZoomImage(true, QPoint(image->x(), 0));
    QVERIFY(!FViewer->FitToScreen() && !FHost->Fit);
    QVERIFY(image->width() > fitted.width());
    QCOMPARE(image->pos(), QPoint(0, 0));
    QTest::keyClick(FViewer.get(), Qt::Key_1);
    QCOMPARE(image->geometry(), QRect(QPoint(0, 0), QSize(kClient.width() * 2, kClient.height() * 3)));
    QTest::keyClick(FViewer.get(), Qt::Key_Minus);
    QVERIFY(image->width() < kClient.width() * 2);
    // The kept choice comes back at the next opening; a small picture keeps its size.
    FHost->Fit = true;
    FViewer->CloseViewer();
    OpenAndActivate(small);
    QVERIFY(FViewer->FitToScreen());
    QCOMPARE(image->geometry(), kClient);
    QCOMPARE(FViewer->ShownScale(), 1.0);
}

QTEST_MAIN(TestViewer)
#include "tst_viewer.moc"
