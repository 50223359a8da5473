// Tests of the similar-pictures criterion in the main window: its exclusion
// of the other criteria and their restore from saved options, a search over
// generated pictures, a cancel while pictures are decoded, and the extra
// picture formats that count only with their option on.
#include "AdvImage.h"
#include "AppFakes.h"
#include "MainForm.h"
#include "OptionsStore.h"
#include "PathRules.h"
#include "ProgressForm.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

using namespace quorvane;
using quorvane::test::MakeRecord;
using quorvane::test::TRecordingMessages;

namespace {

// A picture with enough structure for a perceptual hash; seed makes an
// unrelated one.
QImage Scene(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.scale(width / 64.0, height / 48.0);
    painter.fillRect(0, 0, 64, 48, QColor(30 + 40 * seed, 60, 120));
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        painter.setBrush(QColor((i * 50 + seed * 90) % 256, 220 - i * 30, (i * 70) % 256));
        painter.drawEllipse(QPointF((i * 13 + seed * 29) % 64, (i * 17 + seed * 11) % 48), 9.0, 7.0);
    }
    return image;
}

const char* const kKeyCriteria[] = {"ckName", "ckSize", "ckTime", "ckCC", "ckAllBytes"};

} // namespace

class TestSimilarWindow : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void similarExcludesTheOtherCriteria_data();
    void similarExcludesTheOtherCriteria();
    void restoredFromSavedOptions_data();
    void restoredFromSavedOptions();
    void groupsTheSamePictureAtTwoSizes();
    void cancelWhileDecodingLeavesTheList();
    void extraFormatsOnlyWithTheOption();
    void photoOptions();
    void croppedCopiesOnlyWithTheOption();

  private:
    template <typename T> T* Find(const char* name) const
    {
        T* widget = FForm->findChild<T*>(QString::fromLatin1(name));
        if (!widget) qFatal("no control %s", name);
        return widget;
    }
    QString Save(const QImage& image, const QString& name) const;
    void RunSimilarSearch();
    // The type mark "List All" gives the file named name.
    std::uint8_t ListedImageIndex(const std::string& name);

    QTemporaryDir FTemp;
    TfrmMain* FForm = nullptr;
    TfrmProgress* FProgress = nullptr;
    TRecordingMessages FMessages;
};

void TestSimilarWindow::initTestCase()
{
    QVERIFY(FTemp.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       FTemp.filePath(QStringLiteral("config")));
}

void TestSimilarWindow::init()
{
    FMessages = TRecordingMessages();
    QFile::remove(OpenOptionsStore()->fileName()); // each test starts at the defaults
    FForm = new TfrmMain;
    FProgress = new TfrmProgress;
    FForm->SetProgressForm(FProgress);
    FForm->SetUserMessages(&FMessages);
    FForm->resize(900, 600);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm));
    QDir(FTemp.filePath(QStringLiteral("pics"))).removeRecursively();
    QVERIFY(QDir().mkpath(FTemp.filePath(QStringLiteral("pics"))));
    Find<QListWidget>("lstDir")->clear();
    Find<QListWidget>("lstDir")->addItem(FTemp.filePath(QStringLiteral("pics")));
}

void TestSimilarWindow::cleanup()
{
    delete FForm;
    delete FProgress;
    SetMoreFormatsEnabled(false);
}

QString TestSimilarWindow::Save(const QImage& image, const QString& name) const
{
    const QString path = FTemp.filePath(QStringLiteral("pics/") + name);
    if (!image.save(path)) qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestSimilarWindow::RunSimilarSearch()
{
    Find<QCheckBox>("ckSimilar")->setChecked(true);
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!FForm->SearchRunning(), 20000);
}

std::uint8_t TestSimilarWindow::ListedImageIndex(const std::string& name)
{
    QTest::mouseClick(Find<QPushButton>("btnFindAll"), Qt::LeftButton);
    if (!QTest::qWaitFor([this] { return !FForm->SearchRunning(); }, 20000)) return 255;
    for (const TFileRecord& row : FForm->FileList()->Rows())
        if (row.Name == name) return row.ImageIndex;
    return 255;
}

void TestSimilarWindow::similarExcludesTheOtherCriteria_data()
{
    QTest::addColumn<bool>("size");
    QTest::newRow("with Size") << true;
    QTest::newRow("without Size") << false;
}

void TestSimilarWindow::similarExcludesTheOtherCriteria()
{
    QFETCH(bool, size);
    Find<QCheckBox>("ckSize")->setChecked(size);
    for (const char* name : {"ckName", "ckCC", "ckAllBytes", "ckTime"})
        Find<QCheckBox>(name)->setChecked(true);
    auto* similar = Find<QCheckBox>("ckSimilar");
    QCOMPARE(similar->text(), QStringLiteral("Similar pictures"));
    QCOMPARE(similar->toolTip(), QStringLiteral("Find the same picture at another size or quality"));
    QTest::mouseClick(similar, Qt::LeftButton);
    QVERIFY(similar->isChecked());
    for (const char* name : kKeyCriteria)
        QVERIFY2(!Find<QCheckBox>(name)->isEnabled(), name);
    QVERIFY(!FForm->Criteria().AnyKeyCriterion());
    QVERIFY(!FForm->Criteria().CC && !FForm->Criteria().AllBytes);
    QCOMPARE(Find<QCheckBox>("ckName")->isChecked(), true); // the ticks stay
    QTest::mouseClick(similar, Qt::LeftButton);
    QVERIFY(Find<QCheckBox>("ckName")->isEnabled() && Find<QCheckBox>("ckTime")->isEnabled());
    QCOMPARE(Find<QCheckBox>("ckCC")->isEnabled(), size);
    QCOMPARE(Find<QCheckBox>("ckAllBytes")->isEnabled(), size);
    QVERIFY(FForm->Criteria().Name && FForm->Criteria().Time);
    QCOMPARE(FForm->Criteria().Size, size);
}

void TestSimilarWindow::restoredFromSavedOptions_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("similar");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<bool>("moreFormats");
    QTest::newRow("older store") << QByteArray("[General]\nckSize=1\nckCC=1\n") << false << 8 << false;
    QTest::newRow("similar on") << QByteArray("[General]\nckSize=1\nckCC=1\nckSimilar=1\nTolerance=5\n")
                                << true << 5 << false;
    QTest::newRow("more formats on") << QByteArray("[General]\nckSimilar=0\nckMoreFormats=1\n") << false << 8
                                     << true;
}

void TestSimilarWindow::restoredFromSavedOptions()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, similar);
    QFETCH(int, tolerance);
    QFETCH(bool, moreFormats);
    const QString path = OpenOptionsStore()->fileName();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(stored);
    file.close();
    // Ticked before the restore, so restoring "off" must undo the disabling.
    Find<QCheckBox>("ckSimilar")->setChecked(true);
    FForm->LoadOptions();
    QCOMPARE(Find<QCheckBox>("ckSimilar")->isChecked(), similar);
    QCOMPARE(FForm->Tolerance(), tolerance);
    QCOMPARE(Find<QCheckBox>("ckCC")->isEnabled(), !similar && Find<QCheckBox>("ckSize")->isChecked());
    QCOMPARE(Find<QCheckBox>("ckSize")->isEnabled(), !similar);
    QCOMPARE(IsPictureFile("a.png"), moreFormats);
    QVERIFY(FMessages.Errors.isEmpty() && FMessages.ApplicationErrors.isEmpty());
}

void TestSimilarWindow::groupsTheSamePictureAtTwoSizes()
{
    Save(Scene(96, 72, 0), QStringLiteral("small.bmp"));
    Save(Scene(320, 240, 0), QStringLiteral("large.bmp"));
    Save(Scene(128, 96, 2), QStringLiteral("other small.bmp"));
    Save(Scene(256, 192, 2), QStringLiteral("other.bmp"));
    QFile text(FTemp.filePath(QStringLiteral("pics/notes.txt")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    RunSimilarSearch();
    const auto& rows = FForm->FileList()->Rows();
    QCOMPARE(rows.size(), std::size_t(4));
    // Each group: the larger copy (the one a user keeps) first.
    const std::map<std::string, std::string> smallerOf{{"large.bmp", "small.bmp"},
                                                       {"other.bmp", "other small.bmp"}};
    for (std::size_t first : {0, 2}) {
        QVERIFY2(smallerOf.count(rows[first].Name), rows[first].Name.c_str());
        QCOMPARE(rows[first + 1].Name, smallerOf.at(rows[first].Name));
        QCOMPARE(rows[first].Group, rows[first + 1].Group);
    }
    QVERIFY(rows[0].Group != rows[2].Group);
    QVERIFY2(FForm->StatusText(1).endsWith(QStringLiteral("Groups: 2")), qPrintable(FForm->StatusText(1)));
    // The groups are the list's duplicate groups: "Next Group" passes the
    // first one, whose rows share no name, size or time.
    auto* list = Find<QTreeView>("lvFiles");
    list->setCurrentIndex(FForm->FileList()->index(0, 0));
    FForm->GotoNextGroup();
    QCOMPARE(FForm->FocusedRow(), 2);
    QVERIFY(FMessages.Errors.isEmpty());
}

void TestSimilarWindow::cancelWhileDecodingLeavesTheList()
{
    Save(Scene(96, 72, 0), QStringLiteral("a.bmp"));
    Save(Scene(96, 72, 0), QStringLiteral("b.bmp"));
    std::vector<TFileRecord> old{MakeRecord("old.jpg", 5), MakeRecord("old.jpg", 5, 202401021530, "/other")};
    FForm->FileList()->SetRows(old);
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    FForm->SetSimilarDecoder([&](const std::string&) -> std::optional<TDecodedPicture> {
        entered = true;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!release && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return std::nullopt;
    });
    Find<QCheckBox>("ckSimilar")->setChecked(true);
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QTRY_VERIFY(entered.load());
    FForm->CancelSearch();
    release = true;
    QTRY_VERIFY(!FForm->SearchRunning());
    QCOMPARE(FForm->FileList()->Rows().size(), old.size());
    QCOMPARE(FForm->FileList()->Rows()[0].Name, std::string("old.jpg"));
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Search cancelled"));
}

void TestSimilarWindow::extraFormatsOnlyWithTheOption()
{
    Save(Scene(96, 72, 1), QStringLiteral("small.png"));
    Save(Scene(320, 240, 1), QStringLiteral("large.PNG"));
    auto* more = Find<QCheckBox>("ckMoreFormats");
    QCOMPARE(more->text(), QStringLiteral("More picture formats"));
    QVERIFY(!more->isChecked());
    RunSimilarSearch();
    QCOMPARE(FForm->FileList()->Rows().size(), std::size_t(0));
    QVERIFY(!IsPictureFile("large.PNG"));
    QCOMPARE(ListedImageIndex("large.PNG"), std::uint8_t(kImageOtherFile));

    more->setChecked(true);
    QVERIFY(IsPictureFile("large.PNG") && IsPictureFile("x.webp") && IsPictureFile("x.Tif"));
    QVERIFY(IsPictureFile("x.HEIC") && IsPictureFile("x.avif") && IsPictureFile("x.jxl") &&
            IsPictureFile("x.NEF"));
    RunSimilarSearch();
    const auto& rows = FForm->FileList()->Rows();
    QCOMPARE(rows.size(), std::size_t(2));
    QCOMPARE(rows[0].Name, std::string("large.PNG"));
    QCOMPARE(ListedImageIndex("large.PNG"), std::uint8_t(kImagePicture));
    // The preview shows the PNG while the option is on.
    auto* list = Find<QAbstractItemView>("lvFiles");
    list->setCurrentIndex(list->model()->index(0, 0));
    FForm->RequestPreview();
    QTRY_VERIFY(FForm->PreviewImage()->HasPicture());
    QCOMPARE(FForm->PreviewImage()->PictureWidth(), 320);
    more->setChecked(false);
    QVERIFY(!IsPictureFile("large.PNG"));
}

// The "Photos" page: the turn upright is on by default and reaches every
// picture control; turned copies join only with their option.
void TestSimilarWindow::photoOptions()
{
    auto* upright = Find<QCheckBox>("ckTurnUpright");
    QVERIFY(upright->isChecked());
    QVERIFY(TAdvImage::TurnUpright());
    upright->setChecked(false);
    QVERIFY(!TAdvImage::TurnUpright());
    upright->setChecked(true);
    QVERIFY(TAdvImage::TurnUpright());
    QVERIFY(!Find<QCheckBox>("ckColourSlides")->isChecked());
    QVERIFY(FForm->SlideImage(1)->JPEGGrayscale());
    Find<QCheckBox>("ckColourSlides")->setChecked(true);
    QVERIFY(!FForm->SlideImage(1)->JPEGGrayscale());
    Find<QCheckBox>("ckColourSlides")->setChecked(false);
    // The memory for decoded pictures: a value in range sets the bound.
    auto* memory = Find<QLineEdit>("edPictureCache");
    QCOMPARE(memory->text(), QStringLiteral("256"));
    memory->setText(QStringLiteral("64"));
    QCOMPARE(TPictureLoader::Shared().CacheLimit(), std::int64_t(64) << 20);
    memory->setText(QStringLiteral("8")); // below the least: the bound stays
    QCOMPARE(TPictureLoader::Shared().CacheLimit(), std::int64_t(64) << 20);
    memory->setText(QStringLiteral("256"));

    Save(Scene(320, 240, 3), QStringLiteral("upright.jpg"));
    Save(Scene(320, 240, 3).transformed(QTransform().rotate(90)), QStringLiteral("turned.jpg"));
    RunSimilarSearch();
    QCOMPARE(FForm->FileList()->Rows().size(), std::size_t(0));
    auto* turns = Find<QCheckBox>("ckTurns");
    QVERIFY(!turns->isChecked());
    turns->setChecked(true);
    RunSimilarSearch();
    QCOMPARE(FForm->FileList()->Rows().size(), std::size_t(2));
}

// "Also cropped copies" is off by default; on, a centred crop of a picture
// joins it, the hashes cached by the search without it notwithstanding.
void TestSimilarWindow::croppedCopiesOnlyWithTheOption()
{
    const QImage scene = Scene(320, 240, 3);
    Save(scene, QStringLiteral("whole.jpg"));
    Save(scene.copy(16, 12, 288, 216), QStringLiteral("cropped.jpg")); // the middle 90 %
    RunSimilarSearch();
    QCOMPARE(FForm->FileList()->Rows().size(), std::size_t(0));
    auto* crops = Find<QCheckBox>("ckCrops");
    QVERIFY(!crops->isChecked());
    crops->setChecked(true);
    RunSimilarSearch();
    QCOMPARE(FForm->FileList()->Rows().size(), std::size_t(2));
}

QTEST_MAIN(TestSimilarWindow)
#include "tst_similarwindow.moc"
