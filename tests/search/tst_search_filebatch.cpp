// Batched reads: through io_uring and by plain system calls, each kind of
// file gives the answers worked out here from the file itself (its bytes
// read by QFile, its status by lstat), and the two ways agree field by
// field, short reads, links, FIFOs and directories included.
#include "FileBatch.h"
#include "SearchFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// One read asked of a file: Expected of Length bytes, or At Offset.
struct TAsk {
    bool Expected;
    int Length;
    int Offset;
};

// What a read of the file's bytes gives, worked out from the bytes.
QByteArray ExpectedBytes(const QByteArray& bytes, const TAsk& ask)
{
    if (ask.Expected) return bytes.left(ask.Length + 1);
    return ask.Offset >= bytes.size() ? QByteArray() : bytes.mid(ask.Offset, ask.Length);
}

// Runs one batch over every name of dir with the same reads.
struct TRun {
    std::vector<TBatchFile> Files;
    std::vector<std::vector<QByteArray>> Bytes; // per file, per read made
};

TRun RunBatch(bool ring, int dirFd, const std::vector<std::string>& names, const QList<TAsk>& asks)
{
    TFileBatch batch(ring);
    for (const std::string& name : names) {
        batch.AddFile(dirFd, name.c_str());
        for (const TAsk& ask : asks)
            batch.AddRead(ask.Expected ? TBatchReadKind::Expected : TBatchReadKind::At,
                          static_cast<std::size_t>(ask.Length), ask.Offset);
    }
    batch.Run();
    TRun run;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const TBatchFile& file = batch.File(i);
        run.Files.push_back(file);
        std::vector<QByteArray> bytes;
        for (std::size_t r = 0; r < file.ReadCount && file.Opened; ++r) {
            const TBatchRead& read = file.Reads[r];
            bytes.push_back(read.Got < 0 ? QByteArray()
                                         : QByteArray(reinterpret_cast<const char*>(batch.Data(read)),
                                                      static_cast<qsizetype>(read.Got)));
            if (read.Got != static_cast<ssize_t>(read.Length)) break;
        }
        run.Bytes.push_back(bytes);
    }
    return run;
}

} // namespace

Q_DECLARE_METATYPE(TAsk)

class TestSearchFileBatch : public QObject {
    Q_OBJECT

  private slots:
    void answers_data();
    void answers();
};

void TestSearchFileBatch::answers_data()
{
    QTest::addColumn<QString>("kind"); // file, missing, link, fifo, directory
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QList<TAsk>>("asks");
    QTest::addColumn<int>("openError");
    QTest::addColumn<int>("readError"); // of the first read, when it fails
    QByteArray large(300 * 1024, '\0');
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 7 + i / 4099);
    const int size = static_cast<int>(large.size());
    QTest::newRow("empty file whole") << "file" << QByteArray() << QList<TAsk>{{true, 0, 0}} << 0 << 0;
    QTest::newRow("small file whole")
        << "file" << QByteArray("0123456789") << QList<TAsk>{{true, 10, 0}} << 0 << 0;
    QTest::newRow("grew: one byte more")
        << "file" << QByteArray("0123456789!") << QList<TAsk>{{true, 10, 0}} << 0 << 0;
    QTest::newRow("shrank: fewer bytes")
        << "file" << QByteArray("01234") << QList<TAsk>{{true, 10, 0}} << 0 << 0;
    QTest::newRow("sampled bytes") << "file" << large
                                   << QList<TAsk>{{false, 1, 0},
                                                  {false, 1, size / 5},
                                                  {false, 1, 4 * (size / 5)}}
                                   << 0 << 0;
    QTest::newRow("first block and tail")
        << "file" << large << QList<TAsk>{{false, 64 * 1024, 0}, {false, 4096, size - 4096}} << 0 << 0;
    QTest::newRow("read past the end stops the reads")
        << "file" << large << QList<TAsk>{{false, 1, size + 5}, {false, 1, 0}} << 0 << 0;
    QTest::newRow("missing") << "missing" << QByteArray() << QList<TAsk>{{true, 4, 0}} << ENOENT << 0;
    QTest::newRow("link in its place") << "link" << QByteArray() << QList<TAsk>{{true, 4, 0}} << 0 << 0;
    QTest::newRow("fifo in its place") << "fifo" << QByteArray() << QList<TAsk>{{true, 4, 0}} << 0 << 0;
    QTest::newRow("directory in its place")
        << "directory" << QByteArray() << QList<TAsk>{{true, 4, 0}} << 0 << EISDIR;
}

void TestSearchFileBatch::answers()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, contents);
    QFETCH(QList<TAsk>, asks);
    QFETCH(int, openError);
    QFETCH(int, readError);
    QTemporaryDir tmp;
    const std::string dir = Local(tmp.path());
    WriteFile(dir, "target", "elsewhere");
    // Three names, so that a batch holds more than one file.
    std::vector<std::string> names{"f0", "f1", "f2"};
    for (const std::string& name : names) {
        const std::string path = Join(dir, name);
        if (kind == "file") WriteFile(dir, name, contents);
        if (kind == "link") QCOMPARE(symlink(Join(dir, "target").c_str(), path.c_str()), 0);
        if (kind == "fifo") QCOMPARE(mkfifo(path.c_str(), 0600), 0);
        if (kind == "directory") MakeDir(path);
    }
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(dirFd >= 0);
    const TRun plain = RunBatch(false, dirFd, names, asks);
    const bool ringHere = TFileBatch().UsesRing();
    const TRun ring = RunBatch(true, dirFd, names, asks);
    close(dirFd);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const TBatchFile& file = plain.Files[i];
        const bool opens = kind != "missing" && kind != "link";
        QCOMPARE(file.Opened, opens);
        QCOMPARE(file.OpenError, openError);
        if (opens) {
            struct stat st;
            QCOMPARE(lstat(Join(dir, names[i]).c_str(), &st), 0);
            QVERIFY(file.Statted);
            QCOMPARE(file.Status.st_ino, st.st_ino);
            QCOMPARE(file.Status.st_dev, st.st_dev);
            QCOMPARE(file.Status.st_mode, st.st_mode);
            QCOMPARE(file.Status.st_size, st.st_size);
            QCOMPARE(file.Status.st_mtim.tv_nsec, st.st_mtim.tv_nsec);
            if (readError != 0) {
                QCOMPARE(file.Reads[0].Got, ssize_t{-1});
                QCOMPARE(file.Reads[0].Error, readError);
            } else {
                // The reads made, up to the first that fell short.
                for (std::size_t r = 0; r < plain.Bytes[i].size(); ++r)
                    QCOMPARE(plain.Bytes[i][r], ExpectedBytes(contents, asks[static_cast<qsizetype>(r)]));
            }
        }
        // The ring gives the same answers, field by field.
        const TBatchFile& other = ring.Files[i];
        QCOMPARE(other.Opened, file.Opened);
        QCOMPARE(other.OpenError, file.OpenError);
        QCOMPARE(other.Statted, file.Statted);
        QCOMPARE(ring.Bytes[i], plain.Bytes[i]);
        for (std::size_t r = 0; r < plain.Bytes[i].size(); ++r) {
            QCOMPARE(other.Reads[r].Got, file.Reads[r].Got);
            QCOMPARE(other.Reads[r].Error, file.Reads[r].Error);
        }
        if (file.Statted) {
            QCOMPARE(other.Status.st_ino, file.Status.st_ino);
            QCOMPARE(other.Status.st_dev, file.Status.st_dev);
            QCOMPARE(other.Status.st_mode, file.Status.st_mode);
            QCOMPARE(other.Status.st_size, file.Status.st_size);
            QCOMPARE(other.Status.st_mtim.tv_sec, file.Status.st_mtim.tv_sec);
            QCOMPARE(other.Status.st_mtim.tv_nsec, file.Status.st_mtim.tv_nsec);
            QCOMPARE(other.Status.st_ctim.tv_nsec, file.Status.st_ctim.tv_nsec);
        }
    }
    if (!ringHere) QSKIP("io_uring is not available here: only the plain way was checked");
}

QTEST_GUILESS_MAIN(TestSearchFileBatch)
#include "tst_search_filebatch.moc"
