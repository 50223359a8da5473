// quorvane-cli "find" and "similar" with the window's remembered "not
// duplicates" in the user's config folder: the marked group left out and the
// others renumbered, every group with --all-groups, and a damaged file named
// once on stderr and otherwise ignored.
#include "NotDuplicates.h"
#include "SearchFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <memory>
#include <set>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// The row the scan gives for the file at dir/name.
TFileRecord Listed(const std::string& dir, const std::string& name)
{
    struct stat st {};
    TFileRecord row;
    if (::stat(Join(dir, name).c_str(), &st) != 0) return row;
    row.Directory = std::make_shared<const std::string>(dir);
    row.Name = name;
    row.Device = st.st_dev;
    row.Inode = st.st_ino;
    row.Size = static_cast<std::uint64_t>(st.st_size);
    row.ModifiedNs = st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec;
    return row;
}

QImage Picture(int seed)
{
    QImage image(96, 64, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y,
                           qRgb((x * seed * 7) & 255, (y * 11 + seed * 40) & 255, ((x ^ y) * seed) & 255));
    }
    return image;
}

} // namespace

class TestSearchCliNotDuplicates : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void marksApplied_data();
    void marksApplied();
};

void TestSearchCliNotDuplicates::initTestCase()
{
    QVERIFY2(!qEnvironmentVariable("QUORVANE_CLI").isEmpty(), "QUORVANE_CLI names the quorvane-cli to test");
}

void TestSearchCliNotDuplicates::marksApplied_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("store"); // none, marked or damaged
    QTest::addColumn<bool>("allGroups");
    QTest::addColumn<QStringList>("groups"); // "number:folders" of each group, in order
    const QStringList find{"find", "--size", "--groups"};
    const QStringList similar{"similar"};
    for (const QStringList& command : {find, similar}) {
        const QString name = command.first() + ", ";
        QTest::newRow(qPrintable(name + "nothing marked"))
            << command << "none" << false << QStringList{"1:ab", "2:cd"};
        QTest::newRow(qPrintable(name + "marked")) << command << "marked" << false << QStringList{"1:cd"};
        QTest::newRow(qPrintable(name + "marked, all groups"))
            << command << "marked" << true << QStringList{"1:ab", "2:cd"};
        QTest::newRow(qPrintable(name + "damaged"))
            << command << "damaged" << false << QStringList{"1:ab", "2:cd"};
    }
}

void TestSearchCliNotDuplicates::marksApplied()
{
    QFETCH(QStringList, command);
    QFETCH(QString, store);
    QFETCH(bool, allGroups);
    QFETCH(QStringList, groups);
    QTemporaryDir tree, config;
    const std::string root = Local(tree.path());
    // Two pictures with a copy each, of two sizes: two groups for either search.
    for (const auto& [dir, seed] : std::map<std::string, int>{{"a", 1}, {"b", 1}, {"c", 2}, {"d", 2}})
        QVERIFY(
            Picture(seed).save(QString::fromStdString(Join(MakeDir(Join(root, dir)), "p.jpg")), "JPEG", 90));
    QVERIFY(Listed(Join(root, "a"), "p.jpg").Size != Listed(Join(root, "c"), "p.jpg").Size);

    const QString storePath = config.filePath("Marrowfen/Quorvane-not-duplicates.bin");
    if (store == "marked") {
        TNotDuplicates marks;
        QVERIFY(marks.AddSet({Listed(Join(root, "a"), "p.jpg"), Listed(Join(root, "b"), "p.jpg")}));
        QVERIFY(marks.Save(storePath.toStdString()));
    } else if (store == "damaged") {
        QVERIFY(QDir(config.path()).mkpath("Marrowfen"));
        QFile file(storePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("QVNOTDUP but not a whole file");
    }

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("QUORVANE_CLI"),
                  command + (allGroups ? QStringList{"--all-groups"} : QStringList{}) +
                      QStringList{tree.path()});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray out = process.readAllStandardOutput();
    const QList<QByteArray> errors = process.readAllStandardError().split('\n');

    std::vector<std::pair<QByteArray, std::set<QByteArray>>> seen; // number, folders
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty()) continue;
        const QList<QByteArray> fields = line.split('\t');
        QVERIFY(fields.size() >= 3);
        if (seen.empty() || seen.back().first != fields[0])
            seen.emplace_back(fields[0], std::set<QByteArray>{});
        seen.back().second.insert(fields[2].mid(fields[2].lastIndexOf('/') + 1));
    }
    // Which picture's group comes first is the search's choice; numbers are 1, 2, ... in order.
    QStringList described;
    for (const auto& [number, folders] : seen) {
        QCOMPARE(number.toInt(), int(described.size()) + 1);
        QByteArray joined;
        for (const QByteArray& folder : folders)
            joined += folder;
        described << QString::number(number.toInt()) + ':' + QString::fromUtf8(joined);
    }
    const auto folderPart = [](QStringList list) {
        for (QString& s : list)
            s = s.section(':', 1);
        list.sort();
        return list;
    };
    QCOMPARE(folderPart(described), folderPart(groups));
    QCOMPARE(described.size(), groups.size());
    const qsizetype warnings = std::count_if(errors.begin(), errors.end(), [&](const QByteArray& e) {
        return e.contains(storePath.toUtf8()) && e.contains("cannot be read");
    });
    QCOMPARE(warnings, store == "damaged" ? 1 : 0);
    if (command.first() == "find")
        QVERIFY2(errors.contains("Total Files:" + QByteArray::number(2 * groups.size())), errors.join('|'));
}

QTEST_GUILESS_MAIN(TestSearchCliNotDuplicates)
#include "tst_search_cli_notduplicates.moc"
