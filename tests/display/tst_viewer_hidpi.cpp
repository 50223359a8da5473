// The viewer on a screen with a scale factor of 2 (set by CTest through
// QT_SCALE_FACTOR): a picture is shown at its natural size in pixels of the
// screen, so it takes half its pixel count in the window's own units, and a
// picture wider than the screen's pixels still pans.
#include "AdvImage.h"
#include "ViewImage.h"
#include "ViewerFakes.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

class TestViewerHighDpi : public QObject {
    Q_OBJECT

  private slots:
    void pictureKeepsItsPixels_data();
    void pictureKeepsItsPixels();
};

void TestViewerHighDpi::pictureKeepsItsPixels_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("control");
    // 1024 x 768 units are 2048 x 1536 pixels of the screen.
    QTest::newRow("small, centred") << QSize(300, 200) << QRect(0, 0, 1024, 768);
    QTest::newRow("wider than the screen") << QSize(3001, 500) << QRect(0, 0, 1501, 768);
}

void TestViewerHighDpi::pictureKeepsItsPixels()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, control);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TFakeViewerHost host;
    TfrmViewer viewer;
    viewer.SetHost(&host);
    viewer.SetCoverRect(QRect(0, 0, 1024, 768));
    const QString path = WriteBitmap(dir.filePath("p.bmp"), picture.width(), picture.height());
    viewer.Open(path, nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QTRY_VERIFY(!viewer.Picture()->Loading());
    QCOMPARE(viewer.devicePixelRatioF(), 2.0);
    TAdvImage* image = viewer.Picture();
    QCOMPARE(image->PictureWidth(), picture.width());
    QCOMPARE(image->DisplayWidth(), (picture.width() + 1) / 2);
    QCOMPARE(image->geometry(), control);

    // Count the red pixels of one row and one column through the middle of
    // the picture in the grabbed screen pixels: exactly the picture's own.
    const QImage shot = image->grab().toImage();
    QCOMPARE(shot.devicePixelRatio(), 2.0);
    const auto red = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 50 && qBlue(p) < 50; };
    const QRect inside(QPoint(0, 0), shot.size());
    int across = 0;
    int down = 0;
    const int midRow = shot.height() / 2;
    for (int x = 0; x < shot.width(); ++x)
        across += red(shot.pixel(x, midRow));
    int firstColumn = -1;
    for (int x = 0; x < shot.width() && firstColumn < 0; ++x)
        if (red(shot.pixel(x, midRow))) firstColumn = x;
    QVERIFY(firstColumn >= 0 && inside.contains(firstColumn, 0));
    for (int y = 0; y < shot.height(); ++y)
        down += red(shot.pixel(firstColumn, y));
    QCOMPARE(across, picture.width());
    QCOMPARE(down, picture.height());
}

QTEST_MAIN(TestViewerHighDpi)
#include "tst_viewer_hidpi.moc"
