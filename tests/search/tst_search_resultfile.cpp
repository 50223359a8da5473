// The result file: every field of every row comes back exactly (names that
// are not UTF-8, hard links, distances, shared directories), and a file that
// is cut, damaged, foreign or of a newer version gives its own error and
// leaves the caller's result as it was. Also the export escape's inverse.
#include "ResultExport.h"
#include "ResultFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <limits>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;

Q_DECLARE_METATYPE(quorvane::TResultFileError)

namespace {

TFileRecord Row(std::uint32_t group, std::string name, std::shared_ptr<const std::string> directory,
                std::uint64_t inode)
{
    TFileRecord row;
    row.Name = std::move(name);
    row.Directory = std::move(directory);
    row.Group = group;
    row.Size = 1000 + inode;
    row.TimeKey = 202601021504;
    row.ImageIndex = kImagePicture;
    row.Device = 2049;
    row.Inode = inode;
    row.ModifiedNs = 1767366240123456789;
    row.StatusChangedNs = 1767366241987654321;
    return row;
}

// A result of every kind of field: names that are not UTF-8, with
// backslashes, quotes and control characters, CJK text, a hard link, the
// extreme values of the number fields, and filter texts that are bytes too.
TSavedResult Sample(bool distances)
{
    const auto a = std::make_shared<const std::string>("/home/u/照片");
    const auto b = std::make_shared<const std::string>("/srv/\xff\xfe raw\\dir\n");
    TSavedResult result;
    result.ProgramVersion = "0.51";
    result.SearchedAt = 1767366240;
    result.Search.Kind = distances ? TResultKind::SimilarPictures : TResultKind::Duplicates;
    result.Search.Criteria = {.Name = true, .Size = true, .CC = true, .AllBytes = false, .Time = true};
    result.Search.Similar = {12, 40, true, false, true, false, true};
    result.Search.IncludeSubdirectories = false;
    result.Search.Filter = {10, 1u << 30, {"/tmp/\x80x"}, {"*.tmp", "a\\b"}, {"jpg"}};
    result.Search.Directories = {"/home/u", "/srv/\xff\xfe raw\\dir\n"};
    result.Rows = {Row(1, "a.jpg", a, 11), Row(1, "\xe9t\xe9.jpg", b, 12), Row(1, "link \"q\"\t.jpg", b, 12),
                   Row(2, "\\x41 not an escape", a, 13), Row(2, "\xc3\x28\xed\xa0\x80\x01", b, 14)};
    result.Rows[1].OtherNames = result.Rows[2].OtherNames = true;
    result.Rows[3].Size = std::numeric_limits<std::uint64_t>::max();
    result.Rows[3].Device = std::numeric_limits<std::uint64_t>::max();
    result.Rows[3].ModifiedNs = std::numeric_limits<std::int64_t>::min();
    result.Rows[4].StatusChangedNs = -1;
    result.Rows[4].ImageIndex = kImageOtherFile;
    if (distances) result.Distances = {0, 3, 3, 0, 64};
    return result;
}

void CompareResults(const TSavedResult& got, const TSavedResult& want)
{
    QCOMPARE(got.ProgramVersion, want.ProgramVersion);
    QCOMPARE(got.SearchedAt, want.SearchedAt);
    const TResultSearch &g = got.Search, &w = want.Search;
    QCOMPARE(g.Kind, w.Kind);
    if (w.Kind == TResultKind::Duplicates)
        QVERIFY(g.Criteria.Name == w.Criteria.Name && g.Criteria.Size == w.Criteria.Size &&
                g.Criteria.CC == w.Criteria.CC && g.Criteria.AllBytes == w.Criteria.AllBytes &&
                g.Criteria.Time == w.Criteria.Time);
    if (w.Kind == TResultKind::SimilarPictures)
        QVERIFY(g.Similar.Tolerance == w.Similar.Tolerance &&
                g.Similar.MeanTolerance == w.Similar.MeanTolerance &&
                g.Similar.MoreFormats == w.Similar.MoreFormats &&
                g.Similar.TurnUpright == w.Similar.TurnUpright && g.Similar.Turns == w.Similar.Turns &&
                g.Similar.SamePixels == w.Similar.SamePixels && g.Similar.Crops == w.Similar.Crops);
    QCOMPARE(g.IncludeSubdirectories, w.IncludeSubdirectories);
    QCOMPARE(g.Filter.MinSize, w.Filter.MinSize);
    QCOMPARE(g.Filter.MaxSize, w.Filter.MaxSize);
    QVERIFY(g.Filter.ExcludedFolders == w.Filter.ExcludedFolders);
    QVERIFY(g.Filter.ExcludedNames == w.Filter.ExcludedNames);
    QVERIFY(g.Filter.Extensions == w.Filter.Extensions);
    QVERIFY(g.Directories == w.Directories);
    QVERIFY(got.Distances == want.Distances);
    QCOMPARE(got.Rows.size(), want.Rows.size());
    for (std::size_t i = 0; i < want.Rows.size(); ++i) {
        const TFileRecord &r = got.Rows[i], &e = want.Rows[i];
        QCOMPARE(r.Name, e.Name);
        QCOMPARE(r.DirectoryText(), e.DirectoryText());
        QVERIFY(r.Group == e.Group && r.Size == e.Size && r.TimeKey == e.TimeKey &&
                r.ImageIndex == e.ImageIndex && r.OtherNames == e.OtherNames && r.Device == e.Device &&
                r.Inode == e.Inode && r.ModifiedNs == e.ModifiedNs && r.StatusChangedNs == e.StatusChangedNs);
        // Rows of one directory share its text again.
        for (std::size_t j = 0; j < i; ++j)
            if (e.Directory == want.Rows[j].Directory)
                QCOMPARE(r.Directory.get(), got.Rows[j].Directory.get());
    }
}

std::string Text(const TSavedResult& result)
{
    std::string text;
    return AppendResultFile(text, result) == TResultFileError::None ? text : std::string();
}

// A result that must survive a failed read unchanged.
TSavedResult Sentinel()
{
    TSavedResult result;
    result.ProgramVersion = "untouched";
    result.Rows.push_back(Row(0, "kept", std::make_shared<const std::string>("/kept"), 1));
    return result;
}

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    QVERIFY2(at != std::string::npos, from.c_str());
    text.replace(at, from.size(), to);
}

} // namespace

class TestResultFile : public QObject {
    Q_OBJECT
  private slots:
    void exportEscapeReverses();
    void roundTrip_data();
    void roundTrip();
    void everyCutIsTruncated();
    void randomBytesAreRefused();
    void refusals_data();
    void refusals();
    void savedWholeAndOpened();
    void openRefusesLinksFifosAndHugeFiles();
    void rowsTheFormatCannotHold();
};

void TestResultFile::exportEscapeReverses()
{
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 12, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 4 == 0 ? "\\x\xc3\xa9\xe2\x82"[random() % 6] : random() % 256);
        const std::string escaped = EscapeExportBytes(bytes);
        QCOMPARE(UnescapeExportBytes(escaped), std::optional<std::string>(bytes));
    }
    for (const char* bad : {"a\\", "\\q", "\\x4", "\\xzz", "\\x4a"})
        QCOMPARE(UnescapeExportBytes(bad), std::nullopt);
}

void TestResultFile::roundTrip_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("duplicates with names that are not UTF-8 and hard links") << 0;
    QTest::newRow("similar pictures with distances") << 1;
    QTest::newRow("all files without groups") << 2;
    QTest::newRow("no rows") << 3;
    QTest::newRow("similar pictures written before the crops option") << 4;
}

void TestResultFile::roundTrip()
{
    QFETCH(int, kind);
    TSavedResult want = Sample(kind == 1);
    if (kind == 2) {
        want.Search.Kind = TResultKind::AllFiles;
        for (TFileRecord& row : want.Rows)
            row.Group = 0;
    }
    if (kind == 3) want.Rows.clear();
    if (kind == 4) want = Sample(true), want.Search.Similar.Crops = false;
    std::string text = Text(want);
    QVERIFY(!text.empty());
    if (kind == 4) Replace(text, ",\"crops\":false", ""); // such a file has no "crops": read as off
    TSavedResult got;
    QCOMPARE(ParseResultFile(std::move(text), got), TResultFileError::None);
    CompareResults(got, want);
}

void TestResultFile::everyCutIsTruncated()
{
    const std::string whole = Text(Sample(true));
    // Only the line feed after the closing brace may go without loss.
    const std::size_t end = whole.find_last_of('}');
    QStringList wrong;
    for (std::size_t length = 0; length < end; length += 10) {
        TSavedResult result = Sentinel();
        const TResultFileError error = ParseResultFile(whole.substr(0, length), result);
        if (error != TResultFileError::Truncated || result.ProgramVersion != "untouched")
            wrong << QString("%1: %2").arg(length).arg(ResultFileErrorName(error));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
}

void TestResultFile::randomBytesAreRefused()
{
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(1 + random() % 400, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        TSavedResult result = Sentinel();
        const TResultFileError error = ParseResultFile(std::move(bytes), result);
        QVERIFY(error == TResultFileError::Damaged || error == TResultFileError::Truncated);
        QCOMPARE(result.ProgramVersion, std::string("untouched"));
    }
}

void TestResultFile::refusals_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<TResultFileError>("error");
    const auto E = [](TResultFileError e) { return e; };
    QTest::newRow("another program's JSON") << "{\"format\":\"quorvane-results\""
                                            << "{\"format\":\"photos\"" << E(TResultFileError::Foreign);
    QTest::newRow("marker missing") << "\"format\":\"quorvane-results\","
                                    << "" << E(TResultFileError::Foreign);
    QTest::newRow("newer version") << "\"version\":1"
                                   << "\"version\":2" << E(TResultFileError::NewerVersion);
    QTest::newRow("version zero") << "\"version\":1"
                                  << "\"version\":0" << E(TResultFileError::Damaged);
    QTest::newRow("directory index out of range") << "[1,\"a.jpg\",0,"
                                                  << "[1,\"a.jpg\",2," << E(TResultFileError::Damaged);
    QTest::newRow("group numbers decrease") << "[2,\"\\\\\\\\x41"
                                            << "[0,\"\\\\\\\\x41" << E(TResultFileError::Damaged);
    QTest::newRow("a bad escape in a name") << "[1,\"a.jpg\""
                                            << "[1,\"a\\\\q.jpg\"" << E(TResultFileError::Damaged);
    QTest::newRow("a slash in a name") << "[1,\"a.jpg\""
                                       << "[1,\"a/b.jpg\"" << E(TResultFileError::Damaged);
    QTest::newRow("image index 3") << ",202601021504,0,"
                                   << ",202601021504,3," << E(TResultFileError::Damaged);
    QTest::newRow("negative size") << "\"a.jpg\",0,1011,"
                                   << "\"a.jpg\",0,-1011," << E(TResultFileError::Damaged);
    QTest::newRow("distance beyond the hash") << ",64]"
                                              << ",65]" << E(TResultFileError::Damaged);
    QTest::newRow("a row too short") << ",64]"
                                     << "]" << E(TResultFileError::Damaged);
    QTest::newRow("a column renamed") << "\"inode\""
                                      << "\"node\"" << E(TResultFileError::Damaged);
    QTest::newRow("a day that does not exist") << "2026-01-02T"
                                               << "2026-02-30T" << E(TResultFileError::Damaged);
    QTest::newRow("a tolerance out of range") << "\"tolerance\":12"
                                              << "\"tolerance\":99" << E(TResultFileError::Damaged);
    QTest::newRow("crops that is no truth value") << "\"crops\":true"
                                                  << "\"crops\":1" << E(TResultFileError::Damaged);
    QTest::newRow("an unknown kind") << "\"similarPictures\""
                                     << "\"fuzzy\"" << E(TResultFileError::Damaged);
    QTest::newRow("a NUL after the whole file")
        << "]]}\n"
        << QString("]]}\n") + QChar(0) + "{" << E(TResultFileError::Damaged);
    QTest::newRow("a newer version whose rows differ")
        << "\"version\":1,"
        << "\"version\":2,\"rows\":[{}]," << E(TResultFileError::NewerVersion);
    QTest::newRow("a second list of rows") << "\"version\":1,"
                                           << "\"version\":1,\"rows\":[]," << E(TResultFileError::Damaged);
    QTest::newRow("an object among the rows") << "\"rows\":["
                                              << "\"rows\":[{\"a\":1}," << E(TResultFileError::Damaged);
    QTest::newRow("a cell that is an array") << "[1,\"a.jpg\",0,"
                                             << "[1,[\"a.jpg\"],0," << E(TResultFileError::Damaged);
    QTest::newRow("rows that are no list") << "\"rows\":["
                                           << "\"rows\":7,\"more\":[" << E(TResultFileError::Damaged);
    QTest::newRow("deep nesting") << "\"rows\":["
                                  << "\"rows\":[" + QString(100000, '[') << E(TResultFileError::Damaged);
}

void TestResultFile::refusals()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(TResultFileError, error);
    std::string text = Text(Sample(true));
    Replace(text, from.toStdString(), to.toStdString());
    TSavedResult result = Sentinel();
    QCOMPARE(ParseResultFile(std::move(text), result), error);
    QCOMPARE(result.ProgramVersion, std::string("untouched"));
}

void TestResultFile::savedWholeAndOpened()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("saved.json").toStdString();
    QVERIFY(QFile(dir.filePath("saved.json")).open(QIODevice::WriteOnly)); // an older file is replaced
    const TSavedResult want = Sample(false);
    QCOMPARE(SaveResultFile(path, want), TResultFileError::None);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"saved.json"}); // no temporary left
    TSavedResult got;
    QCOMPARE(OpenResultFile(path, got), TResultFileError::None);
    CompareResults(got, want);
    QCOMPARE(SaveResultFile(dir.filePath("missing/saved.json").toStdString(), want),
             TResultFileError::CannotWrite);
    QCOMPARE(OpenResultFile(dir.filePath("nothing.json").toStdString(), got), TResultFileError::CannotOpen);
}

void TestResultFile::openRefusesLinksFifosAndHugeFiles()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("saved.json").toStdString();
    QCOMPARE(SaveResultFile(path, Sample(false)), TResultFileError::None);
    const std::string link = dir.filePath("link.json").toStdString();
    const std::string fifo = dir.filePath("fifo.json").toStdString();
    QCOMPARE(::symlink(path.c_str(), link.c_str()), 0);
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& refused : {link, fifo, dir.path().toStdString()}) {
        TSavedResult result = Sentinel();
        QCOMPARE(OpenResultFile(refused, result), TResultFileError::CannotOpen);
        QCOMPARE(result.ProgramVersion, std::string("untouched"));
    }
    // A sparse file one byte beyond the bound is refused before it is read.
    QFile huge(dir.filePath("huge.json"));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(kMaxResultFileBytes) + 1));
    huge.close();
    TSavedResult result = Sentinel();
    QCOMPARE(OpenResultFile(huge.fileName().toStdString(), result), TResultFileError::TooLarge);
    QCOMPARE(result.ProgramVersion, std::string("untouched"));
}

void TestResultFile::rowsTheFormatCannotHold()
{
    const auto refused = [](const auto& change) {
        TSavedResult result = Sample(true);
        change(result);
        std::string text = "kept";
        return AppendResultFile(text, result) == TResultFileError::RowsInvalid && text == "kept";
    };
    QVERIFY(refused([](TSavedResult& r) { r.Rows[1].Group = 3; }));
    QVERIFY(refused([](TSavedResult& r) { r.Rows[0].Group = 0; }));
    QVERIFY(refused([](TSavedResult& r) { r.Distances.pop_back(); }));
    QVERIFY(refused([](TSavedResult& r) { r.Rows[2].Name = "a/b"; }));
    QVERIFY(refused([](TSavedResult& r) { r.Rows[2].Directory.reset(); }));
    QVERIFY(!refused([](TSavedResult&) {}));
}

QTEST_GUILESS_MAIN(TestResultFile)
#include "tst_search_resultfile.moc"
