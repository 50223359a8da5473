// The contents cache of "All bytes": a second search of an unchanged tree
// opens no file (seen by inotify, not by the cache's own word); a file
// rewritten with its old size and time restored is read again; a cache
// file that is damaged, foreign or not a file at all changes no result.
#include "ContentsCache.h"
#include "DuplicateSearch.h"
#include "ResultRows.h"
#include "SearchFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/inotify.h>
#include <sys/stat.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

TSearchCriteria AllBytes()
{
    TSearchCriteria criteria;
    criteria.Size = true;
    criteria.AllBytes = true;
    return criteria;
}

// The rows' names with a bar between groups, in the search's order.
QString GroupsOf(const std::vector<TFileRecord>& rows)
{
    QStringList names;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0 && rows[i].Group != rows[i - 1].Group) names << "|";
        names << QString::fromStdString(rows[i].Name);
    }
    return names.join(' ');
}

// Lets the files just written settle: hashes of a file whose times could
// still recur are not kept.
void Settle()
{
    QTest::qSleep(30);
}

QString Search(const std::string& root, const std::string& cache)
{
    TRecordingHost host;
    host.CachePath = cache;
    std::vector<TFileRecord> rows;
    std::vector<std::size_t> starts;
    FindDuplicatesWithGroups({root}, AllBytes(), true, host, rows, starts);
    NumberGroups(rows, starts);
    return GroupsOf(rows);
}

// Files opened (not folders) under the watched folders while work runs.
int FilesOpenedDuring(const std::vector<std::string>& folders, const std::function<void()>& work)
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return -1;
    for (const std::string& folder : folders)
        inotify_add_watch(fd, folder.c_str(), IN_OPEN);
    work();
    int opened = 0;
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if ((event->mask & IN_OPEN) && !(event->mask & IN_ISDIR)) ++opened;
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(fd);
    return opened;
}

} // namespace

class TestContentsCache : public QObject {
    Q_OBJECT

  private slots:
    void secondSearchOpensNothing();
    void restoredTimeStillReadsAgain();
    void cancelledSearchKeepsWhatItHashed();
    void untrustedCacheChangesNothing_data();
    void untrustedCacheChangesNothing();
};

void TestContentsCache::secondSearchOpensNothing()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string a = MakeDir(Join(root, "a"));
    const std::string b = MakeDir(Join(root, "b"));
    const QByteArray big(300 * 1024, 'x');
    QByteArray other = big;
    other[150 * 1024] = 'y'; // the same head and tail: only the whole-file stage tells
    WriteFile(a, "one.bin", big);
    WriteFile(b, "two.bin", big);
    WriteFile(b, "three.bin", other);
    WriteFile(a, "small1", "same");
    WriteFile(b, "small2", "same");
    const std::string cache = Local(tmp.path()) + "/cache/contents-hashes.bin";
    Settle();
    QString first, second;
    const int firstOpened = FilesOpenedDuring({a, b}, [&] { first = Search(root, cache); });
    QVERIFY(firstOpened >= 5);
    QVERIFY(QFile::exists(QString::fromStdString(cache)));
    const int secondOpened = FilesOpenedDuring({a, b}, [&] { second = Search(root, cache); });
    QCOMPARE(secondOpened, 0);
    QCOMPARE(second, first);
    QVERIFY(first.contains("one.bin") && !first.contains("three.bin"));
}

// Cancelled as the whole-file stage begins (its pass of two files starts at
// 50 %, after the passes in quarters over the four files): the next search
// opens only the two files that still need their whole hash.
void TestContentsCache::cancelledSearchKeepsWhatItHashed()
{
    class TCancelAtNextPass : public TRecordingHost {
      public:
        int Last = -1;
        bool QuartersSeen = false;
        void SetPercentage(int percent, bool repaintNow) override
        {
            if (percent < Last && percent == 50 && QuartersSeen) CancelAfter = 0;
            QuartersSeen = QuartersSeen || percent == 25;
            Last = percent;
            TRecordingHost::SetPercentage(percent, repaintNow);
        }
    };
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string a = MakeDir(Join(root, "a"));
    const QByteArray big(3 * 1024 * 1024, 'x');
    WriteFile(a, "big1", big);
    WriteFile(a, "big2", big);
    WriteFile(a, "small1", "same");
    WriteFile(a, "small2", "same");
    const std::string cache = root + "/cache/contents-hashes.bin";
    Settle();
    TCancelAtNextPass host;
    host.CachePath = cache;
    host.Threads = 1;
    std::vector<TFileRecord> rows;
    std::vector<std::size_t> starts;
    bool cancelled = false;
    try {
        FindDuplicatesWithGroups({root}, AllBytes(), true, host, rows, starts);
    } catch (const ESearchCancelled&) {
        cancelled = true;
    }
    QVERIFY(cancelled);
    QString second;
    QCOMPARE(FilesOpenedDuring({a}, [&] { second = Search(root, cache); }), 2);
    QCOMPARE(second, QString("big1 big2 | small1 small2"));
}

// The same size, the old last-write time put back: only the status-change
// time tells, and the new bytes are found.
void TestContentsCache::restoredTimeStillReadsAgain()
{
    QTemporaryDir tmp;
    const std::string root = Local(tmp.path());
    const std::string one = WriteFile(root, "one.txt", "AAAA");
    WriteFile(root, "two.txt", "AAAA");
    WriteFile(root, "three.txt", "BBBB");
    QTemporaryDir cacheFolder;
    const std::string cache = Local(cacheFolder.path()) + "/contents-hashes.bin";
    Settle();
    QCOMPARE(Search(root, cache), QStringLiteral("one.txt two.txt"));
    struct stat before;
    QCOMPARE(::stat(one.c_str(), &before), 0);
    WriteFile(root, "one.txt", "BBBB");
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, one.c_str(), times, 0), 0);
    QStringList names = Search(root, cache).split(' ');
    names.sort();
    QCOMPARE(names, (QStringList{"one.txt", "three.txt"}));
}

void TestContentsCache::untrustedCacheChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("truncated") << "truncated";
    QTest::newRow("one byte flipped") << "flipped";
    QTest::newRow("random bytes") << "random";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("a link to /dev/zero") << "zero";
}

void TestContentsCache::untrustedCacheChangesNothing()
{
    QFETCH(QString, kind);
    QTemporaryDir tmp;
    const std::string root = MakeDir(Join(Local(tmp.path()), "tree"));
    WriteFile(root, "one.txt", "AAAA");
    WriteFile(root, "two.txt", "AAAA");
    WriteFile(root, "three.txt", "AAAB");
    const std::string cache = Local(tmp.path()) + "/contents-hashes.bin";
    Settle();
    const QString expected = Search(root, cache);
    QCOMPARE(expected, QStringLiteral("one.txt two.txt"));
    QFile file(QString::fromStdString(cache));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    QFile::remove(file.fileName());
    if (kind == "truncated") bytes.chop(9);
    if (kind == "flipped") bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 1);
    if (kind == "random")
        for (qsizetype i = 16; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919) & 0xFF);
    if (kind == "folder") {
        QVERIFY(QDir().mkdir(file.fileName()));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(cache.c_str(), 0600), 0);
    } else if (kind == "zero") {
        QVERIFY(QFile::link("/dev/zero", file.fileName()));
    } else {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
    }
    TContentsCache loaded;
    QVERIFY(!loaded.Load(cache)); // never blocks, never reads without end
    QCOMPARE(loaded.Count(), std::size_t{0});
    QCOMPARE(Search(root, cache), expected);
}

QTEST_GUILESS_MAIN(TestContentsCache)
#include "tst_search_contentscache.moc"
