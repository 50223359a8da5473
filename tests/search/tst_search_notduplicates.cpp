// The remembered "not duplicates": which rows match a remembered file, what
// leaves a result's groups (against a pairwise walk of random groups), the
// store's file surviving a save and a load, and damaged files read as an
// empty store that says so.
#include "CacheFile.h"
#include "NotDuplicates.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <memory>
#include <set>

using namespace quorvane;

namespace {

TFileRecord Row(const std::string& path, std::uint64_t inode, std::uint32_t group = 1,
                std::uint64_t size = 10, std::int64_t modifiedNs = 1'700'000'000'123'456'789,
                std::uint64_t device = 2049)
{
    TFileRecord row;
    const std::size_t slash = path.rfind('/');
    row.Directory = std::make_shared<const std::string>(path.substr(0, slash));
    row.Name = path.substr(slash + 1);
    row.Inode = inode;
    row.Device = device;
    row.Size = size;
    row.ModifiedNs = modifiedNs;
    row.Group = group;
    return row;
}

// "name:group" of each row, in order.
QStringList Describe(const std::vector<TFileRecord>& rows)
{
    QStringList out;
    for (const TFileRecord& row : rows)
        out << QString::fromStdString(row.Name) + ':' + QString::number(row.Group);
    return out;
}

// The rows named by letters of a group, a row per letter ("a" row a/0).
std::vector<TFileRecord> RowsOf(const std::vector<TFileRecord>& rows, const QString& names)
{
    std::vector<TFileRecord> out;
    for (const TFileRecord& row : rows) {
        if (names.contains(QString::fromStdString(row.Name))) out.push_back(row);
    }
    return out;
}

} // namespace

class TestNotDuplicates : public QObject {
    Q_OBJECT

  private slots:
    void matching_data();
    void matching();
    void applying_data();
    void applying();
    void applyingAgreesWithPairwiseWalk();
    void addingSets();
    void survivesSaveAndLoad();
    void damagedFiles_data();
    void damagedFiles();
    void defaultPath_data();
    void defaultPath();
};

void TestNotDuplicates::matching_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<quint64>("device");
    QTest::addColumn<quint64>("inode");
    QTest::addColumn<quint64>("size");
    QTest::addColumn<qint64>("modifiedNs");
    QTest::addColumn<bool>("matches");
    // The member: /d/x on device 2049, inode 7, 10 bytes, time T.
    const qint64 t = 1'700'000'000'123'456'789;
    QTest::newRow("same file") << QByteArray("/d/x") << quint64(2049) << quint64(7) << quint64(10) << t
                               << true;
    QTest::newRow("renamed") << QByteArray("/e/y") << quint64(2049) << quint64(7) << quint64(10) << t << true;
    QTest::newRow("remounted") << QByteArray("/d/x") << quint64(66) << quint64(7) << quint64(10) << t << true;
    QTest::newRow("remounted, other inode")
        << QByteArray("/d/x") << quint64(66) << quint64(9) << quint64(10) << t << true;
    QTest::newRow("same inode, other device and path")
        << QByteArray("/e/y") << quint64(66) << quint64(7) << quint64(10) << t << false;
    QTest::newRow("rewritten, time one ns later")
        << QByteArray("/d/x") << quint64(2049) << quint64(7) << quint64(10) << t + 1 << false;
    QTest::newRow("rewritten, other size")
        << QByteArray("/d/x") << quint64(2049) << quint64(7) << quint64(11) << t << false;
    QTest::newRow("renamed and rewritten")
        << QByteArray("/e/y") << quint64(2049) << quint64(7) << quint64(10) << t - 1 << false;
    QTest::newRow("path bytes differ in case")
        << QByteArray("/d/X") << quint64(66) << quint64(9) << quint64(10) << t << false;
}

// The rule on its own, and the same rule as a search's result sees it: the
// group {member's file, row} disappears exactly when the row matches.
void TestNotDuplicates::matching()
{
    QFETCH(QByteArray, path);
    QFETCH(quint64, device);
    QFETCH(quint64, inode);
    QFETCH(quint64, size);
    QFETCH(qint64, modifiedNs);
    QFETCH(bool, matches);
    const TFileRecord marked = Row("/d/x", 7);
    const TFileRecord other = Row("/d/other", 8);
    const TFileRecord row = Row(path.toStdString(), inode, 1, size, modifiedNs, device);
    QCOMPARE(MatchesMember(NotDuplicateMemberOf(marked), row), matches);

    TNotDuplicates store;
    QVERIFY(store.AddSet({marked, other}));
    std::vector<TFileRecord> rows{other, row};
    QCOMPARE(ApplyNotDuplicates(rows, store), matches ? std::size_t{2} : std::size_t{0});
    QCOMPARE(rows.size(), matches ? std::size_t{0} : std::size_t{2});
}

void TestNotDuplicates::applying_data()
{
    QTest::addColumn<QList<int>>("groups");    // per row a..: its group
    QTest::addColumn<QList<int>>("inodes");    // per row: its file (equal: names of one file)
    QTest::addColumn<QStringList>("sets");     // each set: the letters of its rows
    QTest::addColumn<QStringList>("expected"); // name:group of the rows left
    QTest::addColumn<bool>("remounted");       // rows on another device than marked: paths match only
    QTest::newRow("a fully marked group disappears")
        << QList<int>{1, 1, 2, 2} << QList<int>{1, 2, 3, 4} << QStringList{"ab"} << QStringList{"c:1", "d:1"}
        << false;
    QTest::newRow("a set of three in a group of three")
        << QList<int>{1, 1, 1} << QList<int>{1, 2, 3} << QStringList{"abc"} << QStringList{} << false;
    QTest::newRow("a pair in a group of three keeps all: both match the third")
        << QList<int>{1, 1, 1} << QList<int>{1, 2, 3} << QStringList{"ab"} << QStringList{"a:1", "b:1", "c:1"}
        << false;
    QTest::newRow("a member without a partner leaves")
        << QList<int>{1, 1, 1, 2, 2} << QList<int>{1, 2, 3, 4, 5} << QStringList{"ab", "ac"}
        << QStringList{"b:1", "c:1", "d:2", "e:2"} << false;
    QTest::newRow("names of one file count once")
        << QList<int>{1, 1, 1} << QList<int>{1, 1, 2} << QStringList{"ac"} << QStringList{} << false;
    QTest::newRow("names of one file count once, one matched by path")
        << QList<int>{1, 1, 1} << QList<int>{1, 1, 2} << QStringList{"ac"} << QStringList{} << true;
    QTest::newRow("the other name of a file marked stays with it")
        << QList<int>{1, 1, 1, 1} << QList<int>{1, 1, 2, 3} << QStringList{"bc", "bd"}
        << QStringList{"c:1", "d:1"} << false;
    QTest::newRow("groups after a vanished one renumbered")
        << QList<int>{1, 1, 2, 2, 3, 3} << QList<int>{1, 2, 3, 4, 5, 6} << QStringList{"cd"}
        << QStringList{"a:1", "b:1", "e:2", "f:2"} << false;
    QTest::newRow("a set across two groups marks nothing")
        << QList<int>{1, 1, 2, 2} << QList<int>{1, 2, 3, 4} << QStringList{"ac", "bd"}
        << QStringList{"a:1", "b:1", "c:2", "d:2"} << false;
    QTest::newRow("rows of no group stay")
        << QList<int>{0, 0, 1, 1} << QList<int>{1, 2, 3, 4} << QStringList{"ab"}
        << QStringList{"a:0", "b:0", "c:1", "d:1"} << false;
    QTest::newRow("groups numbered apart after a sort")
        << QList<int>{4, 2, 4, 2} << QList<int>{1, 2, 3, 4} << QStringList{"ac"} << QStringList{"b:1", "d:1"}
        << false;
}

void TestNotDuplicates::applying()
{
    QFETCH(QList<int>, groups);
    QFETCH(QList<int>, inodes);
    QFETCH(QStringList, sets);
    QFETCH(QStringList, expected);
    QFETCH(bool, remounted);
    std::vector<TFileRecord> rows;
    for (int i = 0; i < groups.size(); ++i) {
        const std::string name(1, char('a' + i));
        rows.push_back(Row("/r/" + name, std::uint64_t(inodes[i]), std::uint32_t(groups[i])));
    }
    TNotDuplicates store;
    for (const QString& set : sets)
        QVERIFY(store.AddSet(RowsOf(rows, set)));
    for (TFileRecord& row : rows)
        row.Device += remounted ? 1 : 0;
    const std::size_t before = rows.size();
    QCOMPARE(ApplyNotDuplicates(rows, store), before - std::size_t(expected.size()));
    QCOMPARE(Describe(rows), expected);
}

// Random groups with hard links and random sets, against a literal walk:
// file f leaves when some other file of its group shares a set with it and
// every other file of its group does; the remains of a group with fewer
// than two files leave too.
void TestNotDuplicates::applyingAgreesWithPairwiseWalk()
{
    QRandomGenerator random(20261210);
    for (int round = 0; round < 40; ++round) {
        std::vector<TFileRecord> rows;
        std::vector<std::vector<std::uint64_t>> filesOfGroup;
        std::uint64_t nextInode = 1;
        const int groupCount = random.bounded(1, 12);
        for (int g = 1; g <= groupCount; ++g) {
            std::vector<std::uint64_t>& files = filesOfGroup.emplace_back();
            for (int f = random.bounded(2, 6); f > 0; --f) {
                files.push_back(nextInode++);
                for (int name = random.bounded(1, 100) < 20 ? 2 : 1; name > 0; --name)
                    rows.push_back(Row("/r/" + std::to_string(rows.size()), files.back(), std::uint32_t(g)));
            }
        }
        // Sets of 2 to 4 files drawn from one group or from anywhere; each
        // marks one name of each of its files.
        std::vector<std::set<std::uint64_t>> sets;
        TNotDuplicates store;
        for (int s = random.bounded(0, 3 * groupCount); s > 0; --s) {
            const auto& pool = filesOfGroup[std::size_t(random.bounded(groupCount))];
            std::set<std::uint64_t> set;
            for (int k = random.bounded(2, 5); k > 0; --k)
                set.insert(random.bounded(4) == 0 ? std::uint64_t(random.bounded(1, int(nextInode)))
                                                  : pool[std::size_t(random.bounded(int(pool.size())))]);
            std::vector<TFileRecord> marked;
            for (const std::uint64_t inode : set)
                marked.push_back(*std::find_if(rows.begin(), rows.end(),
                                               [inode](const TFileRecord& r) { return r.Inode == inode; }));
            if (store.AddSet(marked)) sets.push_back(set);
        }
        const auto apart = [&](std::uint64_t x, std::uint64_t y) {
            return std::any_of(sets.begin(), sets.end(),
                               [&](const auto& set) { return set.contains(x) && set.contains(y); });
        };
        std::set<std::uint64_t> leaving;
        for (const auto& files : filesOfGroup) {
            std::vector<std::uint64_t> out;
            for (const std::uint64_t f : files) {
                const bool allApart = std::all_of(files.begin(), files.end(),
                                                  [&](std::uint64_t g) { return g == f || apart(f, g); });
                if (allApart) out.push_back(f);
            }
            if (!out.empty() && files.size() - out.size() < 2) out = files;
            leaving.insert(out.begin(), out.end());
        }
        QStringList expected;
        std::map<std::uint32_t, std::uint32_t> renumbered;
        for (const TFileRecord& row : rows) {
            if (leaving.contains(row.Inode)) continue;
            const auto number = renumbered.try_emplace(row.Group, std::uint32_t(renumbered.size() + 1)).first;
            expected << QString::fromStdString(row.Name) + ':' + QString::number(number->second);
        }
        ApplyNotDuplicates(rows, store);
        QCOMPARE(Describe(rows), expected);
    }
}

void TestNotDuplicates::addingSets()
{
    const TFileRecord a = Row("/r/a", 1), aLink = Row("/r/a-link", 1), b = Row("/r/b", 2), c = Row("/r/c", 3);
    TNotDuplicates store;
    QVERIFY(!store.AddSet({a, aLink})); // one file under two names
    QVERIFY(!store.AddSet({a, a}));     // one row twice
    QVERIFY(store.AddSet({a, b, c}));
    QVERIFY(!store.AddSet({c, a}));                    // already held by the set above
    QVERIFY(store.AddSet({a, aLink, b}));              // a new member: the other name
    QVERIFY(store.AddSet({a, Row("/r/b", 2, 1, 11)})); // b rewritten since
    QCOMPARE(store.Sets().size(), std::size_t{3});
    QCOMPARE(store.SetPaths()[1], (std::vector<std::string>{"/r/a", "/r/a-link", "/r/b"}));
    QVERIFY(store.RemoveSet(0));
    QVERIFY(!store.RemoveSet(2));
    QCOMPARE(store.SetPaths().front().size(), std::size_t{3});
    store.Clear();
    QVERIFY(store.Empty());
}

// Saved and read back by a new store ("after a restart"): every field, a
// name that is not UTF-8, a folder made on the way; forgetting sticks too.
void TestNotDuplicates::survivesSaveAndLoad()
{
    QTemporaryDir tmp;
    const std::string path = QDir(tmp.path()).filePath("new/folder/marks.bin").toStdString();
    std::vector<TFileRecord> rows{Row("/r/caf\xE9\xFF", 1, 1, 5, -3, 1),
                                  Row("/r/b", ~0ull, 1, ~0ull, 7, ~0ull), Row("/r/c", 3, 2),
                                  Row("/r/d", 4, 2)};
    TNotDuplicates store;
    QVERIFY(store.AddSet({rows[0], rows[1]}));
    QVERIFY(store.AddSet({rows[2], rows[3]}));
    QVERIFY(store.Save(path));

    TNotDuplicates reopened;
    QCOMPARE(reopened.Load(path), TNotDuplicatesLoad::Loaded);
    QVERIFY(reopened.Sets() == store.Sets());
    QVERIFY(reopened.RemoveSet(1));
    QVERIFY(reopened.Save(path));

    TNotDuplicates third;
    QCOMPARE(third.Load(path), TNotDuplicatesLoad::Loaded);
    QCOMPARE(ApplyNotDuplicates(rows, third), std::size_t{2});
    QCOMPARE(Describe(rows), (QStringList{"c:1", "d:1"}));
    third.Clear(); // "Forget" of every set
    QVERIFY(third.Save(path));
    QCOMPARE(reopened.Load(path), TNotDuplicatesLoad::Loaded);
    QVERIFY(reopened.Empty());
}

void TestNotDuplicates::damagedFiles_data()
{
    QTest::addColumn<QString>("damage");
    for (const char* damage :
         {"cut by one byte", "cut to the header", "one bit flipped", "grown by a byte", "random bytes",
          "empty", "a link to a good file", "a folder", "checksummed, a set of one",
          "checksummed, path past the end", "checksummed, a byte left over", "checksummed, other version"})
        QTest::newRow(damage) << QString::fromLatin1(damage);
}

void TestNotDuplicates::damagedFiles()
{
    QFETCH(QString, damage);
    QTemporaryDir tmp;
    const std::string good = QDir(tmp.path()).filePath("good.bin").toStdString();
    const QString path = tmp.filePath("marks.bin");
    TNotDuplicates store;
    QVERIFY(store.AddSet({Row("/r/a", 1), Row("/r/b", 2)}));
    QVERIFY(store.Save(good));
    QFile file(QString::fromStdString(good));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    // A body that passes the checksum but not the parse, member by member.
    const auto checksummed = [&](std::vector<std::uint8_t> body, std::uint32_t version = 1) {
        const TCacheFormat format{{'Q', 'V', 'N', 'O', 'T', 'D', 'U', 'P'}, version, 0, 10, 1 << 20};
        QVERIFY(WriteCacheRecords(path.toStdString(), format, body, 1));
    };
    std::vector<std::uint8_t> body(bytes.begin() + 16, bytes.end() - 8);
    if (damage == "cut by one byte") bytes.chop(1);
    if (damage == "cut to the header") bytes.truncate(16);
    if (damage == "one bit flipped") bytes[40] = char(bytes[40] ^ 4);
    if (damage == "grown by a byte") bytes.append('\0');
    if (damage == "random bytes") {
        for (char& c : bytes)
            c = char(QRandomGenerator::global()->bounded(256));
    }
    if (damage == "empty") bytes.clear();
    if (damage.startsWith("checksummed")) {
        if (damage.endsWith("a set of one")) body[0] = 1;
        if (damage.endsWith("path past the end")) body[4 + 32] = 100;
        if (damage.endsWith("a byte left over")) body.push_back(0);
        checksummed(body, damage.endsWith("other version") ? 2 : 1);
    } else if (damage == "a link to a good file") {
        QVERIFY(QFile::link(QString::fromStdString(good), path));
    } else if (damage == "a folder") {
        QVERIFY(QDir(tmp.path()).mkdir("marks.bin"));
    } else {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    TNotDuplicates loaded;
    QVERIFY(loaded.AddSet({Row("/r/c", 3), Row("/r/d", 4)})); // dropped by the load
    QCOMPARE(loaded.Load(path.toStdString()), TNotDuplicatesLoad::Damaged);
    QVERIFY(loaded.Empty());
    QCOMPARE(loaded.Load(tmp.filePath("none.bin").toStdString()), TNotDuplicatesLoad::Missing);
    QCOMPARE(loaded.Load(good), TNotDuplicatesLoad::Loaded);
}

void TestNotDuplicates::defaultPath_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QString>("expected");
    QTest::newRow("config folder") << QByteArray("/c") << QByteArray("/h")
                                   << "/c/Marrowfen/Quorvane-not-duplicates.bin";
    QTest::newRow("relative config folder ignored")
        << QByteArray("c") << QByteArray("/h") << "/h/.config/Marrowfen/Quorvane-not-duplicates.bin";
    QTest::newRow("no config folder")
        << QByteArray() << QByteArray("/h") << "/h/.config/Marrowfen/Quorvane-not-duplicates.bin";
    QTest::newRow("neither") << QByteArray() << QByteArray() << QString();
}

void TestNotDuplicates::defaultPath()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, home);
    QFETCH(QString, expected);
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME"), savedHome = qgetenv("HOME");
    config.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", config);
    home.isNull() ? qunsetenv("HOME") : qputenv("HOME", home);
    const std::string path = DefaultNotDuplicatesPath();
    qputenv("XDG_CONFIG_HOME", savedConfig);
    qputenv("HOME", savedHome);
    QCOMPARE(QString::fromStdString(path), expected);
}

QTEST_GUILESS_MAIN(TestNotDuplicates)
#include "tst_search_notduplicates.moc"
