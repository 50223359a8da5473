// The viewer's rules without a window: the control's size after a load, the
// pan limits at both edges, the key step, and where each step lands in rows
// that mix pictures and other files.
#include "ViewerRules.h"

#include <QtTest>
#include <memory>
#include <string>
#include <vector>

using namespace quorvane;

namespace {

TFileRecord Row(const std::string& name, const std::string& directory = "/p")
{
    TFileRecord record;
    record.Name = name;
    record.Directory = std::make_shared<const std::string>(directory);
    return record;
}

// a.jpg, notes.txt, b.gif, c.txt, d.bmp, e.doc
std::vector<TFileRecord> MixedRows()
{
    return {Row("a.jpg"), Row("notes.txt"), Row("b.gif"), Row("c.txt"), Row("d.bmp"), Row("e.doc")};
}

} // namespace

class TestViewerRules : public QObject {
    Q_OBJECT

  private slots:
    void keyStep_data();
    void keyStep();
    void panDelta_data();
    void panDelta();
    void zoom_data();
    void zoom();
    void zoomLadder();
    void indexOfPath();
    void step_data();
    void step();
};

void TestViewerRules::keyStep_data()
{
    QTest::addColumn<int>("extent");
    QTest::addColumn<int>("step");
    QTest::newRow("1024 gives 204.8, rounded up") << 1024 << 205;
    QTest::newRow("768 gives 153.6") << 768 << 154;
    QTest::newRow("1001 gives 200.2, rounded down") << 1001 << 200;
    QTest::newRow("3 gives 0.6") << 3 << 1;
    QTest::newRow("2 gives 0.4") << 2 << 0;
    QTest::newRow("empty client") << 0 << 0;
}

void TestViewerRules::keyStep()
{
    QFETCH(int, extent);
    QFETCH(int, step);
    QCOMPARE(ViewerKeyStep(extent), step);
}

void TestViewerRules::panDelta_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("extent");
    QTest::addColumn<int>("client");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("result");
    QTest::newRow("inside both limits") << -300 << 2000 << 1024 << -205 << -205;
    QTest::newRow("near edge stops at the window's edge") << -100 << 2000 << 1024 << 205 << 100;
    QTest::newRow("at the near edge, no further") << 0 << 2000 << 1024 << 205 << 0;
    QTest::newRow("far edge stops at the window's far edge") << -900 << 2000 << 1024 << -205 << -76;
    QTest::newRow("at the far edge, no further") << -976 << 2000 << 1024 << -1 << 0;
    QTest::newRow("a fitting control cannot move forwards") << 0 << 768 << 768 << 154 << 0;
    QTest::newRow("a fitting control cannot move back") << 0 << 768 << 768 << -154 << 0;
    QTest::newRow("a long drag is cut at the edge") << -10 << 2000 << 1024 << -5000 << -966;
    QTest::newRow("no overflow far out") << -2000000000 << 2100000000 << 1024 << -2000000000 << -99998976;
}

void TestViewerRules::panDelta()
{
    QFETCH(int, position);
    QFETCH(int, extent);
    QFETCH(int, client);
    QFETCH(int, delta);
    QFETCH(int, result);
    QCOMPARE(ClampPanDelta(position, extent, client, delta), result);
}

void TestViewerRules::indexOfPath()
{
    std::vector<TFileRecord> rows = {Row("a.jpg"), Row("b.jpg"), Row("a.jpg"), Row("A.JPG")};
    QCOMPARE(IndexOfPath(rows, -1, "/p/a.jpg"), std::ptrdiff_t(0));
    QCOMPARE(IndexOfPath(rows, 2, "/p/a.jpg"), std::ptrdiff_t(2)); // the focused row wins
    QCOMPARE(IndexOfPath(rows, 1, "/p/a.jpg"), std::ptrdiff_t(0));
    QCOMPARE(IndexOfPath(rows, -1, "/p/A.JPG"), std::ptrdiff_t(3)); // exact, case kept
    QCOMPARE(IndexOfPath(rows, 0, "/p/missing.jpg"), std::ptrdiff_t(-1));
    QCOMPARE(IndexOfPath(rows, 7, "/p/b.jpg"), std::ptrdiff_t(1)); // a stale focus is ignored
    QCOMPARE(IndexOfPath({}, -1, ""), std::ptrdiff_t(-1));
}

void TestViewerRules::step_data()
{
    QTest::addColumn<int>("focused");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("stepKind");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<int>("row");
    const auto next = int(EViewerStep::Next), prior = int(EViewerStep::Prior);
    const auto first = int(EViewerStep::First), last = int(EViewerStep::Last);
    QTest::newRow("next skips a text file") << 0 << "/p/a.jpg" << next << true << 2;
    QTest::newRow("next from the last picture finds nothing") << 4 << "/p/d.bmp" << next << true << -1;
    QTest::newRow("prior skips a text file") << 4 << "/p/d.bmp" << prior << true << 2;
    QTest::newRow("prior from the first picture finds nothing") << 0 << "/p/a.jpg" << prior << true << -1;
    QTest::newRow("next from a file no row shows is the first picture")
        << 3 << "/x/gone.jpg" << next << true << 0;
    QTest::newRow("prior from a file no row shows finds nothing")
        << 3 << "/x/gone.jpg" << prior << true << -1;
    QTest::newRow("next needs a focused row") << -1 << "/p/a.jpg" << next << false << -1;
    QTest::newRow("prior needs a focused row") << -1 << "/p/d.bmp" << prior << false << -1;
    QTest::newRow("first without a focused row") << -1 << "" << first << true << 0;
    QTest::newRow("last without a focused row skips trailing files") << -1 << "" << last << true << 4;
    QTest::newRow("next starts at the shown row, not the focused one")
        << 4 << "/p/a.jpg" << next << true << 2;
}

void TestViewerRules::step()
{
    QFETCH(int, focused);
    QFETCH(QString, shown);
    QFETCH(int, stepKind);
    QFETCH(bool, allowed);
    QFETCH(int, row);
    const TViewerStepTarget target =
        FindViewerStep(MixedRows(), focused, shown.toStdString(), static_cast<EViewerStep>(stepKind));
    QCOMPARE(target.Allowed, allowed);
    QCOMPARE(target.Row, std::ptrdiff_t(row));
}

// Fit and zoom along one axis: the scale fitted into the client, the next
// step of the ladder, and where the control lands with its anchor kept.
void TestViewerRules::zoom_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("oldExtent");
    QTest::addColumn<int>("newExtent");
    QTest::addColumn<int>("client");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("expected");
    QTest::newRow("fits: centred") << 0 << 2000 << 600 << 1000 << 700 << 200;
    QTest::newRow("centre stays at the centre") << -500 << 2000 << 4000 << 1000 << 500 << -1500;
    QTest::newRow("left edge anchored stays") << 0 << 2000 << 3000 << 1000 << 0 << 0;
    QTest::newRow("right edge anchored stays") << -1000 << 2000 << 3000 << 1000 << 1000 << -2000;
    QTest::newRow("never black on the left") << 0 << 1200 << 1500 << 1000 << -400 << 0;
    QTest::newRow("never black on the right") << -200 << 1200 << 1100 << 1000 << 1000 << -100;
}

void TestViewerRules::zoom()
{
    QFETCH(int, position);
    QFETCH(int, oldExtent);
    QFETCH(int, newExtent);
    QFETCH(int, client);
    QFETCH(int, anchor);
    QFETCH(int, expected);
    QCOMPARE(ViewerZoomPosition(position, oldExtent, newExtent, client, anchor), expected);
}

void TestViewerRules::zoomLadder()
{
    QCOMPARE(ViewerFitScale(1000, 500, 4000, 1000), 0.25);
    QCOMPARE(ViewerFitScale(1000, 500, 300, 200), 1.0);
    QCOMPARE(ViewerZoomStep(1.0, true), 1.5);
    QCOMPARE(ViewerZoomStep(1.0, false), 2.0 / 3);
    QCOMPARE(ViewerZoomStep(0.3, true), 1.0 / 3);
    QCOMPARE(ViewerZoomStep(16.0, true), 16.0);
    QCOMPARE(ViewerZoomStep(1.0 / 16, false), 1.0 / 16);
}

QTEST_GUILESS_MAIN(TestViewerRules)
#include "tst_viewer_rules.moc"
