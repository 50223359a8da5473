// The picture loader with a fake decoder: answers by ticket, one decode per
// key, a taken-back ticket never answered, the focused request never behind
// prefetches, the cache's bound and order, and a changed file decoded anew.
#include "AdvImage.h"
#include "PictureLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

using namespace quorvane;

namespace {

// A picture of side x side pixels (4 bytes each), its side read from the
// path's last number: "p/12" is 12 x 12.
TLoadedPicture FakePicture(const TPictureRequest& request)
{
    const int side = std::stoi(request.Path.substr(request.Path.rfind('/') + 1));
    TLoadedPicture picture;
    picture.Image = QImage(side, side, QImage::Format_RGB32);
    picture.Image.fill(Qt::red);
    return picture;
}

TPictureRequest RequestOf(const std::string& path)
{
    TPictureRequest request;
    request.Path = path;
    return request;
}

// The decoder's record of what it was asked for and when.
struct TDecodes {
    std::mutex Mutex;
    std::vector<std::string> Started;
    std::set<std::string> Gated; // paths that wait for the gate
    QSemaphore Gate;
    std::atomic<int> Count{0};

    TPictureLoader::TDecoder Decoder()
    {
        return [this](const TPictureRequest& request) {
            {
                std::lock_guard lock(Mutex);
                Started.push_back(request.Path);
            }
            ++Count;
            bool gated = false;
            {
                std::lock_guard lock(Mutex);
                gated = Gated.count(request.Path) != 0;
            }
            if (gated) Gate.acquire();
            return FakePicture(request);
        };
    }
    std::vector<std::string> StartedNow()
    {
        std::lock_guard lock(Mutex);
        return Started;
    }
};

// Which thread gave back each picture's pixels, by path. The decoder's
// pictures own their pixels and note where they are freed.
struct TFreedOn {
    std::mutex Mutex;
    std::map<std::string, std::thread::id> Threads;

    TPictureLoader::TDecoder Decoder()
    {
        return [this](const TPictureRequest& request) {
            struct TOwner {
                TFreedOn* Record;
                std::string Path;
                std::unique_ptr<uchar[]> Pixels;
            };
            const int side = std::stoi(request.Path.substr(request.Path.rfind('/') + 1));
            auto* owner =
                new TOwner{this, request.Path, std::make_unique<uchar[]>(std::size_t(side) * side * 4)};
            TLoadedPicture picture;
            picture.Image = QImage(
                owner->Pixels.get(), side, side, side * 4, QImage::Format_RGB32,
                [](void* info) {
                    auto* freed = static_cast<TOwner*>(info);
                    {
                        std::lock_guard lock(freed->Record->Mutex);
                        freed->Record->Threads[freed->Path] = std::this_thread::get_id();
                    }
                    delete freed;
                },
                owner);
            return picture;
        };
    }
    std::optional<std::thread::id> ThreadOf(const std::string& path)
    {
        std::lock_guard lock(Mutex);
        const auto found = Threads.find(path);
        if (found == Threads.end()) return std::nullopt;
        return found->second;
    }
};

} // namespace

class TestPictureLoader : public QObject {
    Q_OBJECT

  private slots:
    void answersEachTicketOnce();
    void joinsRequestsForOneKey();
    void takenBackTicketIsNeverAnswered();
    void focusedRequestPassesPrefetches();
    void cacheKeepsItsBound();
    void changedFileIsDecodedAgain();
    void controlGoneWhileItsLoadRuns();
    void loaderGoneWithDecodesQueued();
    void largePicturesFreedOffTheWindowThread_data();
    void largePicturesFreedOffTheWindowThread();
};

void TestPictureLoader::answersEachTicketOnce()
{
    TDecodes decodes;
    TPictureLoader loader(decodes.Decoder(), 2);
    QSignalSpy loaded(&loader, &TPictureLoader::Loaded);
    const std::uint64_t a = loader.Request(RequestOf("p/3"), TPictureLoader::EPriority::Focused);
    const std::uint64_t b = loader.Request(RequestOf("p/5"), TPictureLoader::EPriority::Visible);
    QTRY_COMPARE(loaded.count(), 2);
    std::map<std::uint64_t, int> sides;
    for (const auto& arguments : loaded)
        sides[arguments.at(0).value<std::uint64_t>()] = arguments.at(1).value<TLoadedPicture>().Image.width();
    QCOMPARE(sides[a], 3);
    QCOMPARE(sides[b], 5);
    QVERIFY(a != b);
    // Now cached: answered without a decode.
    QVERIFY(loader.Cached(RequestOf("p/3")).has_value());
    loader.Request(RequestOf("p/3"), TPictureLoader::EPriority::Focused);
    QTRY_COMPARE(loaded.count(), 3);
    QCOMPARE(decodes.Count.load(), 2);
}

void TestPictureLoader::joinsRequestsForOneKey()
{
    TDecodes decodes;
    decodes.Gated = {"p/4"};
    TPictureLoader loader(decodes.Decoder(), 2);
    QSignalSpy loaded(&loader, &TPictureLoader::Loaded);
    loader.Request(RequestOf("p/4"), TPictureLoader::EPriority::Prefetch);
    QTRY_COMPARE(decodes.Count.load(), 1);
    loader.Request(RequestOf("p/4"), TPictureLoader::EPriority::Focused);
    decodes.Gate.release();
    QTRY_COMPARE(loaded.count(), 2);
    QCOMPARE(decodes.Count.load(), 1);
}

void TestPictureLoader::takenBackTicketIsNeverAnswered()
{
    TDecodes decodes;
    decodes.Gated = {"p/1"};
    TPictureLoader loader(decodes.Decoder(), 2);
    QSignalSpy loaded(&loader, &TPictureLoader::Loaded);
    // Running when taken back: decoded, kept, but not answered.
    const std::uint64_t running = loader.Request(RequestOf("p/1"), TPictureLoader::EPriority::Focused);
    QTRY_COMPARE(decodes.Count.load(), 1);
    loader.Cancel(running);
    decodes.Gate.release();
    QTRY_COMPARE(loader.PendingCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(loaded.count(), 0);
    QVERIFY(loader.Cached(RequestOf("p/1")).has_value());

    // Queued when taken back: never decoded.
    TDecodes more;
    more.Gated = {"p/1", "p/2"};
    TPictureLoader busy(more.Decoder(), 2);
    QSignalSpy busyLoaded(&busy, &TPictureLoader::Loaded);
    busy.Request(RequestOf("p/1"), TPictureLoader::EPriority::Focused);
    busy.Request(RequestOf("p/2"), TPictureLoader::EPriority::Focused);
    QTRY_COMPARE(more.Count.load(), 2);
    const std::uint64_t queued = busy.Request(RequestOf("p/7"), TPictureLoader::EPriority::Focused);
    busy.Cancel(queued);
    more.Gate.release(2);
    QTRY_COMPARE(busyLoaded.count(), 2);
    QTRY_COMPARE(busy.PendingCount(), 0);
    const auto started = more.StartedNow();
    QVERIFY(std::find(started.begin(), started.end(), "p/7") == started.end());
}

// Prefetches held in the decoder keep a thread free: the focused request
// starts while they wait, and is answered first.
void TestPictureLoader::focusedRequestPassesPrefetches()
{
    TDecodes decodes;
    decodes.Gated = {"p/1", "p/2", "p/3"};
    TPictureLoader loader(decodes.Decoder(), 2);
    QSignalSpy loaded(&loader, &TPictureLoader::Loaded);
    for (const char* path : {"p/1", "p/2", "p/3"})
        loader.Request(RequestOf(path), TPictureLoader::EPriority::Prefetch);
    QTRY_COMPARE(decodes.Count.load(), 1);
    QTest::qWait(50);
    QCOMPARE(decodes.Count.load(), 1); // one thread stays free of prefetches
    const std::uint64_t focused = loader.Request(RequestOf("p/9"), TPictureLoader::EPriority::Focused);
    QTRY_COMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(0).value<std::uint64_t>(), focused);
    decodes.Gate.release(3);
    QTRY_COMPARE(loaded.count(), 4);
}

void TestPictureLoader::cacheKeepsItsBound()
{
    TDecodes decodes;
    TPictureLoader loader(decodes.Decoder(), 2);
    loader.SetCacheLimit(3 * 10 * 10 * 4); // three pictures of 10 x 10
    QSignalSpy loaded(&loader, &TPictureLoader::Loaded);
    // The same side under four folders: four keys of 400 bytes each.
    for (int i = 0; i < 3; ++i) {
        loader.Request(RequestOf("d" + std::to_string(i) + "/10"), TPictureLoader::EPriority::Focused);
        QTRY_COMPARE(loaded.count(), i + 1);
    }
    QCOMPARE(loader.CachedCount(), 3);
    QVERIFY(loader.Cached(RequestOf("d0/10"))); // d0 is now the most recent, d1 the oldest
    loader.Request(RequestOf("d3/10"), TPictureLoader::EPriority::Focused);
    QTRY_COMPARE(loaded.count(), 4);
    QCOMPARE(loader.CachedCount(), 3);
    QVERIFY(loader.CacheBytes() <= loader.CacheLimit());
    QVERIFY(!loader.Cached(RequestOf("d1/10")));
    QVERIFY(loader.Cached(RequestOf("d0/10")));
    // A picture larger than the whole bound is answered but not kept.
    loader.Request(RequestOf("big/40"), TPictureLoader::EPriority::Focused);
    QTRY_COMPARE(loaded.count(), 5);
    QVERIFY(!loader.Cached(RequestOf("big/40")));
    QVERIFY(loader.CacheBytes() <= loader.CacheLimit());
}

void TestPictureLoader::changedFileIsDecodedAgain()
{
    QTemporaryDir dir;
    const std::string path = QFile::encodeName(dir.filePath("6")).toStdString();
    QFile file(dir.filePath("6"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("one") == 3);
    file.close();
    TDecodes decodes;
    TPictureLoader loader(decodes.Decoder(), 2);
    QSignalSpy loaded(&loader, &TPictureLoader::Loaded);
    TPictureRequest request = RequestOf(path);
    request.Identity = ReadPictureIdentity(path);
    loader.Request(request, TPictureLoader::EPriority::Focused);
    QTRY_COMPARE(loaded.count(), 1);
    QVERIFY(loader.Cached(request));
    // Same size, another time: another identity, so another key.
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("two") == 3);
    file.flush();
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    file.close();
    TPictureRequest again = RequestOf(path);
    again.Identity = ReadPictureIdentity(path);
    QVERIFY(!(again.Identity == request.Identity));
    QVERIFY(!loader.Cached(again));
    loader.Request(again, TPictureLoader::EPriority::Focused);
    QTRY_COMPARE(loaded.count(), 2);
    QCOMPARE(decodes.Count.load(), 2);
}

// A control deleted while its decode runs: the answer finds no control and
// nothing else; the decode is kept for whoever asks next.
void TestPictureLoader::controlGoneWhileItsLoadRuns()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("5");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
    file.close();
    TDecodes decodes;
    decodes.Gated = {QFile::encodeName(path).toStdString()};
    TPictureLoader loader(decodes.Decoder(), 2);
    QSignalSpy loaded(&loader, &TPictureLoader::Loaded);
    auto* image = new TAdvImage;
    image->SetLoader(&loader);
    image->LoadImage(path);
    QTRY_COMPARE(decodes.Count.load(), 1);
    delete image;
    decodes.Gate.release();
    QTRY_COMPARE(loader.PendingCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(loaded.count(), 0); // its ticket was taken back
    QCOMPARE(loader.CachedCount(), 1);
}

// A loader destroyed with one decode running and more queued waits for the
// running one and never starts the others.
void TestPictureLoader::loaderGoneWithDecodesQueued()
{
    TDecodes decodes;
    decodes.Gated = {"p/1"};
    auto loader = std::make_unique<TPictureLoader>(decodes.Decoder(), 2);
    loader->Request(RequestOf("p/1"), TPictureLoader::EPriority::Prefetch);
    QTRY_COMPARE(decodes.Count.load(), 1);
    for (const char* path : {"p/2", "p/3", "p/4"})
        loader->Request(RequestOf(path), TPictureLoader::EPriority::Prefetch);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        decodes.Gate.release();
    });
    loader.reset();
    release.join();
    QCOMPARE(decodes.Count.load(), 1);
    QCoreApplication::processEvents(); // an answer posted to the gone loader is dropped
}

// Pictures of megabytes are given back on a thread of the loader's, never
// on the window's: when the cache lets one go, when no one kept an answer,
// and when a control replaces the picture it showed.
void TestPictureLoader::largePicturesFreedOffTheWindowThread_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("let go by the cache") << "evicted";
    QTest::newRow("answer no one kept") << "unkept";
    QTest::newRow("replaced in a control") << "replaced";
}

void TestPictureLoader::largePicturesFreedOffTheWindowThread()
{
    QFETCH(QString, how);
    // 1,000 x 1,000 pixels: 4 MB each. Files for the control, which reads
    // their identity; paths of no file for the loader alone.
    QTemporaryDir dir;
    QString first = QStringLiteral("a/1000");
    QString second = QStringLiteral("b/1000");
    if (how == "replaced") {
        first = dir.filePath(first);
        second = dir.filePath(second);
        for (const QString& path : {first, second}) {
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
        }
    }
    const std::string firstPath = QFile::encodeName(first).toStdString();
    TFreedOn freed;
    TPictureLoader loader(freed.Decoder(), 2);
    // Counted, not recorded: a signal spy would hold on to the pictures.
    int answers = 0;
    connect(&loader, &TPictureLoader::Loaded, this, [&answers] { ++answers; });
    if (how == "evicted") {
        loader.SetCacheLimit(5'000'000); // room for one of them
        loader.Request(RequestOf(firstPath), TPictureLoader::EPriority::Focused);
        QTRY_COMPARE(answers, 1);
        QVERIFY(loader.Cached(RequestOf(firstPath)));
        loader.Request(RequestOf(QFile::encodeName(second).toStdString()),
                       TPictureLoader::EPriority::Focused);
        QTRY_COMPARE(answers, 2);
        QVERIFY(!loader.Cached(RequestOf(firstPath)));
    } else if (how == "unkept") {
        loader.SetCacheLimit(0);
        loader.Request(RequestOf(firstPath), TPictureLoader::EPriority::Focused);
        QTRY_COMPARE(answers, 1);
    } else {
        loader.SetCacheLimit(0);
        TAdvImage image;
        image.SetLoader(&loader);
        image.LoadImage(first);
        QTRY_VERIFY(image.HasPicture() && !image.Loading());
        QTest::qWait(50);
        QVERIFY(!freed.ThreadOf(firstPath)); // shown, so still held
        image.LoadImage(second);
        QTRY_VERIFY(image.HasPicture() && !image.Loading());
    }
    QTRY_VERIFY(freed.ThreadOf(firstPath).has_value());
    QVERIFY(*freed.ThreadOf(firstPath) != std::this_thread::get_id());
}

QTEST_MAIN(TestPictureLoader)
#include "tst_pictureloader.moc"
