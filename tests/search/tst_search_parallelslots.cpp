// Runs of slotCount on several threads: every slot is worked on exactly once,
// in runs of neighbouring slotCount within the count, each step is reported
// only once its slot is done (with more than one thread), and a failure in
// one run reaches the caller after the other threads stopped.
#include "ParallelSlots.h"
#include "SearchFixtures.h"

#include <QTest>
#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>

using namespace quorvane;
using namespace quorvane::test;

class TestSearchParallelSlots : public QObject {
    Q_OBJECT

  private slots:
    void everySlotOnceInRuns_data();
    void everySlotOnceInRuns();
    void failureReachesTheCaller_data();
    void failureReachesTheCaller();
    void growingSlotsAreReportedInOrder_data();
    void growingSlotsAreReportedInOrder();
};

void TestSearchParallelSlots::everySlotOnceInRuns_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<unsigned>("threads");
    for (const unsigned threads : {1u, 2u, 8u}) {
        for (const int count : {0, 1, 3, 257, 100000})
            QTest::addRow("%d slots, %u threads", count, threads) << count << threads;
    }
}

void TestSearchParallelSlots::everySlotOnceInRuns()
{
    QFETCH(int, count);
    QFETCH(unsigned, threads);
    const auto slotCount = static_cast<std::size_t>(count);
    const auto visits = std::make_unique<std::atomic<int>[]>(slotCount + 1);
    std::atomic<int> badRuns{0};
    TRecordingHost host;
    int stepsAhead = 0; // steps reported before their slot was done
    host.OnStep = [&](int steps) {
        if (threads > 1 && slotCount > 1 && visits[static_cast<std::size_t>(steps - 1)].load() == 0)
            ++stepsAhead;
    };
    ForEachSlotRun(slotCount, threads, host, [&](std::size_t begin, std::size_t end, unsigned worker) {
        if (begin >= end || end > slotCount || worker >= threads) ++badRuns;
        for (std::size_t slot = begin; slot < end && slot < slotCount; ++slot)
            ++visits[slot];
    });
    QCOMPARE(badRuns.load(), 0);
    int once = 0;
    for (std::size_t slot = 0; slot < slotCount; ++slot)
        once += visits[slot].load() == 1;
    QCOMPARE(once, count);
    QCOMPARE(host.ShowCount, count);
    QCOMPARE(stepsAhead, 0);
}

void TestSearchParallelSlots::failureReachesTheCaller_data()
{
    QTest::addColumn<unsigned>("threads");
    QTest::newRow("one thread") << 1u;
    QTest::newRow("two threads") << 2u;
    QTest::newRow("eight threads") << 8u;
}

void TestSearchParallelSlots::failureReachesTheCaller()
{
    QFETCH(unsigned, threads);
    TRecordingHost host;
    std::atomic<int> worked{0};
    bool caught = false;
    try {
        ForEachSlotRun(5000, threads, host, [&](std::size_t begin, std::size_t end, unsigned) {
            if (begin <= 1234 && 1234 < end) throw std::runtime_error("slot 1234");
            worked += static_cast<int>(end - begin);
        });
    } catch (const std::runtime_error& error) {
        caught = std::string(error.what()) == "slot 1234";
    }
    QVERIFY(caught);
    QVERIFY(worked.load() < 5000);
}

void TestSearchParallelSlots::growingSlotsAreReportedInOrder_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<unsigned>("threads");
    QTest::addColumn<int>("failAt"); // produce throws once this many slots are ready (-1: never)
    for (const unsigned threads : {1u, 2u, 8u}) {
        for (const int count : {0, 1, 31, 33, 1000})
            QTest::addRow("%d slots, %u threads", count, threads) << count << threads << -1;
        QTest::addRow("walk fails at 500, %u threads", threads) << 1000 << threads << 500;
    }
}

// Slots published a few at a time while the workers run: each is worked on
// once, none before it was published, and the host hears step i and then
// slot i's findings, in order; a failing walk stops the pass.
void TestSearchParallelSlots::growingSlotsAreReportedInOrder()
{
    QFETCH(int, count);
    QFETCH(unsigned, threads);
    QFETCH(int, failAt);
    const auto slotCount = static_cast<std::size_t>(count);
    const auto worked = std::make_unique<std::atomic<int>[]>(slotCount + 1);
    std::atomic<std::size_t> published{0};
    std::atomic<int> early{0};
    TRecordingHost host;
    QStringList heard, expected;
    host.OnStep = [&](int steps) { heard << QString("step %1").arg(steps - 1); };
    bool failed = false;
    try {
        ForEachGrowingSlotRunReporting(
            threads, host,
            [&](const std::function<void(std::size_t)>& publish) {
                for (std::size_t ready = 0; ready < slotCount;) {
                    ready = std::min(slotCount, ready + 1 + ready % 7);
                    if (failAt >= 0 && ready >= static_cast<std::size_t>(failAt))
                        throw std::runtime_error("walk failed");
                    published = ready;
                    publish(ready);
                }
            },
            [&](std::size_t begin, std::size_t end, unsigned) {
                for (std::size_t slot = begin; slot < end; ++slot) {
                    if (slot >= published.load()) ++early;
                    ++worked[slot];
                }
            },
            [&](std::size_t slot) {
                heard << QString("done %1 after %2 works").arg(slot).arg(worked[slot].load());
            });
    } catch (const std::runtime_error&) {
        failed = true;
    }
    QCOMPARE(failed, failAt >= 0);
    QCOMPARE(early.load(), 0);
    if (failed) {
        QVERIFY(heard.isEmpty()); // no step before the walk ends
        return;
    }
    for (int slot = 0; slot < count; ++slot)
        expected << QString("step %1").arg(slot) << QString("done %1 after 1 works").arg(slot);
    QCOMPARE(heard, expected);
}

QTEST_GUILESS_MAIN(TestSearchParallelSlots)
#include "tst_search_parallelslots.moc"
