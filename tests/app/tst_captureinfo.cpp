// The focused photo's capture line: the text each part gives, and the
// view's tickets (an answer for a file asked before the latest request is
// never handed on, a file asked twice is read once).
#include "CaptureInfoView.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <atomic>

using namespace quorvane;

Q_DECLARE_METATYPE(std::string)

class TestCaptureInfo : public QObject {
    Q_OBJECT

  private slots:
    void text_data();
    void text();
    void staleAnswerDropped();
};

void TestCaptureInfo::text_data()
{
    QTest::addColumn<bool>("dated");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all parts") << true << "Pixel 7" << 4032
                               << QString::fromUtf8(
                                      "Taken 2023-05-14 10:31:07 +02:00 · Pixel 7 · 4032 × 3024");
    QTest::newRow("no date") << false << "Pixel 7" << 4032 << QString::fromUtf8("Pixel 7 · 4032 × 3024");
    QTest::newRow("date alone") << true << "" << 0 << "Taken 2023-05-14 10:31:07 +02:00";
    QTest::newRow("nothing") << false << "" << 0 << "";
}

void TestCaptureInfo::text()
{
    QFETCH(bool, dated);
    QFETCH(QString, model);
    QFETCH(int, width);
    QFETCH(QString, expected);
    TCaptureInfo info;
    if (dated) {
        info.CaptureNs = 1;
        info.OriginalText = "2023:05:14 10:31:07";
        info.HasOffset = true;
        info.OffsetMinutes = 120;
    }
    info.Model = model.toStdString();
    info.Width = std::uint32_t(width);
    info.Height = width != 0 ? 3024 : 0;
    QCOMPARE(CaptureInfoText(info), expected);
}

void TestCaptureInfo::staleAnswerDropped()
{
    QSemaphore firstMayEnd;
    std::atomic<int> reads{0};
    TCaptureInfoView view([&](const std::string& path) {
        ++reads;
        if (path == "first") firstMayEnd.acquire();
        TCaptureInfo info;
        info.Model = path;
        return info;
    });
    std::vector<std::string> answered;
    connect(&view, &TCaptureInfoView::Ready, this, [&](const std::string& path, const TCaptureInfo& info) {
        answered.push_back(path + "=" + info.Model);
    });
    view.Request("first");
    QTRY_COMPARE(reads.load(), 1); // the first read is under way
    view.Request("second");
    view.Request("second"); // asked again: not read again
    firstMayEnd.release();
    QTRY_COMPARE(answered.size(), std::size_t{1});
    // One worker, one queue: the answer of "first" was posted before the
    // answer of "second", so it has been dropped by now, not merely delayed.
    QCOMPARE(answered, std::vector<std::string>{"second=second"});
    QCOMPARE(reads.load(), 2);
}

QTEST_MAIN(TestCaptureInfo)
#include "tst_captureinfo.moc"
