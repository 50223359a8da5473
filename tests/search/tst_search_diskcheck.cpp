// The rows checked against the disk: a file still as listed, gone (also with
// its whole folder), rewritten, or replaced by a link; rows of one folder
// looked up together; a stop request leaves the answer unfinished.
#include "DiskCheck.h"

#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;

namespace {

bool Write(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && written;
}

// A row as the scan would record the file now.
TFileRecord RowOf(const std::string& directory, const std::string& name)
{
    TFileRecord row;
    row.Directory = std::make_shared<const std::string>(directory);
    row.Name = name;
    struct stat st {};
    if (::lstat(row.FullPath().c_str(), &st) == 0) {
        row.Device = st.st_dev;
        row.Inode = st.st_ino;
        row.Size = static_cast<std::uint64_t>(st.st_size);
        row.ModifiedNs = st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec;
    }
    return row;
}

} // namespace

class TestSearchDiskCheck : public QObject {
    Q_OBJECT

  private slots:
    void statesOfRows();
};

void TestSearchDiskCheck::statesOfRows()
{
    QTemporaryDir temp;
    const std::string root = QFile::encodeName(temp.path()).toStdString();
    const std::string sub = root + "/sub";
    QVERIFY(::mkdir(sub.c_str(), 0755) == 0);
    for (const char* name : {"same", "gone", "rewritten", "linked", "touched"})
        QVERIFY(Write(root + '/' + name, "12345"));
    QVERIFY(Write(sub + "/inner", "abc"));
    std::vector<TFileRecord> rows;
    for (const char* name : {"same", "gone", "rewritten", "linked", "touched"})
        rows.push_back(RowOf(root, name));
    rows.push_back(RowOf(sub, "inner"));
    rows.push_back(RowOf(root, "same")); // a second row of one file
    QVERIFY(::unlink((root + "/gone").c_str()) == 0);
    QVERIFY(Write(root + "/rewritten", "1234567"));
    QVERIFY(::unlink((root + "/linked").c_str()) == 0 && ::symlink("same", (root + "/linked").c_str()) == 0);
    const timespec times[2] = {{0, UTIME_OMIT}, {123, 456}};
    QVERIFY(::utimensat(AT_FDCWD, (root + "/touched").c_str(), times, 0) == 0); // same size, other time
    QVERIFY(::unlink((sub + "/inner").c_str()) == 0 && ::rmdir(sub.c_str()) == 0);

    const std::vector<std::size_t> all{6, 5, 4, 3, 2, 1, 0};
    const std::vector<std::uint8_t> expected{kDiskAsListed, kDiskGone, kDiskChanged, kDiskChanged,
                                             kDiskChanged,  kDiskGone, kDiskAsListed};
    QCOMPARE(DiskStatesOf(rows, all), expected);
    for (std::size_t k = 0; k < all.size(); ++k)
        QCOMPARE(std::uint8_t(DiskStateOf(rows[all[k]])), expected[k]);

    std::stop_source stopped;
    stopped.request_stop();
    QCOMPARE(DiskStatesOf(rows, all, stopped.get_token()), std::vector<std::uint8_t>(all.size(), kDiskAsListed));
}

QTEST_GUILESS_MAIN(TestSearchDiskCheck)
#include "tst_search_diskcheck.moc"
