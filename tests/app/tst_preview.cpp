// Window tests of the preview pane and the slides strip: the real TfrmMain
// on the offscreen platform, its rows pointing at pictures written into a
// temporary directory. Covers the delay timer's debounce in single-click
// mode, double-click mode, the group marks, the scale buttons, "Preview"
// and "Show Slides", a press on a slide, the delay edit, the options
// restored through the controls, a move, a sort, a new list or a deletion
// while a decode runs, closing the window with a decode held, the
// form-level key and the list side's width.
#include "AdvImage.h"
#include "AppFakes.h"
#include "GifWriter.h"
#include "MainForm.h"
#include "Panel.h"
#include "UpDown.h"

#include <QCheckBox>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSemaphore>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace quorvane;
using quorvane::test::MakeRecord;
using quorvane::test::TRecordingMessages;

class TestPreview : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void quickMovesLoadTheLastRowOnce();
    void shownRowSchedulesNothing();
    void pendingRowLoadsWhileShownRowFocused();
    void nonPictureRowKeepsTheSlides();
    void doubleClickModeMarksWithoutLoading();
    void markGroupWithoutCriterion();
    void marksFollowASort();
    void eighthScaleAppliesToTheNextFile();
    void previewOffAndOn();
    void loadingIndicator();
    void slidesOfAGroupOfTwo();
    void pressOnSlideFourMovesTheFocusOnly();
    void slidePanelWidths_data();
    void slidePanelWidths();
    void showSlidesOffAndOn();
    void delayEdit();
    void optionsRestoredReact();
    void moveDuringALoadReplacesIt();
    void nextRowsAreDecodedAhead();
    void listChangesDuringALoad_data();
    void listChangesDuringALoad();
    void closedWhileADecodeIsHeld();
    void altXClosesTheWindow();
    void listSideKeepsItsWidth();

  private:
    template <typename T> T* Find(const char* name) const
    {
        return FForm->findChild<T*>(QString::fromLatin1(name));
    }
    QTreeView* List() const { return Find<QTreeView>("lvFiles"); }
    void MakeForm();
    QString WriteJpeg(const QString& name, int width = 64, int height = 48);
    // Rows for the files, the size of each giving its group.
    void SetRows(const QStringList& names, const QList<int>& sizes);
    void Focus(int row, const QList<int>& alsoSelected = {});
    QString Path(int row) const { return FDir->filePath(FNames.at(row)); }
    void SingleClickMode(int delay);
    QList<int> MarkedRows() const;
    // A loader whose decodes of `held` wait until Release.
    struct THeldLoader {
        std::string Held;
        QSemaphore Entered, Gate;
        TPictureLoader Loader{[this](const TPictureRequest& request) {
            if (request.Path == Held) {
                Entered.release();
                Gate.acquire();
            }
            return DecodePicture(request);
        }};
        void Release() { Gate.release(1000); }
    };

    std::unique_ptr<QTemporaryDir> FDir;
    TfrmMain* FForm = nullptr;
    TRecordingMessages FMessages;
    QStringList FNames;
    QStringList FLoads; // non-empty names loaded into the preview
};

void TestPreview::init()
{
    FDir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FDir->filePath("config"));
    FMessages = TRecordingMessages();
    FLoads.clear();
}

void TestPreview::MakeForm()
{
    FForm = new TfrmMain;
    FForm->SetUserMessages(&FMessages);
    FForm->resize(1024, 700);
    connect(FForm->PreviewImage(), &TAdvImage::OnImageLoaded, this, [this](TAdvImage* image) {
        if (!image->FileName().isEmpty()) FLoads << image->FileName();
    });
    FForm->show();
    QVERIFY(QTest::qWaitForWindowActive(FForm));
}

void TestPreview::cleanup()
{
    delete FForm;
    FForm = nullptr;
    FDir.reset();
}

QString TestPreview::WriteJpeg(const QString& name, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 120, 40));
    const QString path = FDir->filePath(name);
    return QImageWriter(path, "jpeg").write(image) ? path : QString();
}

void TestPreview::SetRows(const QStringList& names, const QList<int>& sizes)
{
    FNames = names;
    std::vector<TFileRecord> rows;
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].endsWith(".jpg") && !QFile::exists(FDir->filePath(names[i]))) WriteJpeg(names[i]);
        TFileRecord row = MakeRecord(names[i].toStdString(), std::uint64_t(sizes[i]), 202401021530,
                                     QFile::encodeName(FDir->path()).toStdString());
        row.ImageIndex = names[i].endsWith(".txt") ? kImageOtherFile : kImagePicture;
        rows.push_back(row);
    }
    FForm->FileList()->SetRows(std::move(rows));
}

void TestPreview::Focus(int row, const QList<int>& alsoSelected)
{
    QItemSelectionModel* selection = List()->selectionModel();
    selection->setCurrentIndex(FForm->FileList()->index(row, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    for (int other : alsoSelected)
        selection->select(FForm->FileList()->index(other, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TestPreview::SingleClickMode(int delay)
{
    Find<QRadioButton>("raClick")->setChecked(true);
    Find<QLineEdit>("edTime")->setText(QString::number(delay));
}

QList<int> TestPreview::MarkedRows() const
{
    QList<int> marked;
    const auto& rows = FForm->FileList()->Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (FForm->FileList()->GroupMarked(int(i))) marked << int(i);
    return marked;
}

void TestPreview::quickMovesLoadTheLastRowOnce()
{
    MakeForm();
    SingleClickMode(60);
    QStringList names;
    for (int i = 0; i < 12; ++i)
        names << QStringLiteral("p%1.jpg").arg(i);
    SetRows(names, QList<int>(12, 7));
    Focus(0);
    QTRY_COMPARE(FLoads, QStringList{Path(0)});
    List()->setFocus();
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(List(), Qt::Key_Down);
    QCOMPARE(FForm->FocusedRow(), 10);
    QVERIFY(FForm->PendingLoad());
    QTRY_COMPARE(FLoads, QStringList({Path(0), Path(10)}));
    QTest::qWait(150);
    QCOMPARE(FLoads.size(), 2);
    QVERIFY(!FForm->PreviewTimer()->isActive());
    // Row 10 of a group of twelve: the strip shows its last five rows.
    QCOMPARE(FForm->SlideImage(4)->FileName(), Path(10));
    QCOMPARE(FForm->SlideImage(1)->FileName(), Path(7));
    QCOMPARE(Find<TPanel>("pnImage4")->Color(), QColor(255, 128, 0));
}

void TestPreview::shownRowSchedulesNothing()
{
    MakeForm();
    SingleClickMode(30);
    SetRows({"a.jpg", "b.jpg"}, {1, 1});
    Focus(0);
    QTRY_COMPARE(FLoads, QStringList{Path(0)});
    QTRY_VERIFY(!FForm->PreviewTimer()->isActive());
    Focus(0, {1}); // a list change with the shown row still focused
    QVERIFY(!FForm->PreviewTimer()->isActive());
    QTest::qWait(100);
    QCOMPARE(FLoads.size(), 1);
}

void TestPreview::pendingRowLoadsWhileShownRowFocused()
{
    MakeForm();
    SingleClickMode(40);
    SetRows({"a.jpg", "b.jpg", "c.jpg"}, {1, 1, 1});
    Focus(0);
    QTRY_COMPARE(FLoads, QStringList{Path(0)});
    QTRY_VERIFY(!FForm->PreviewTimer()->isActive());
    Focus(1);
    Focus(0);
    QCOMPARE(FForm->PendingFile(), Path(1));
    QTRY_COMPARE(FLoads, QStringList({Path(0), Path(1)}));
    QCOMPARE(FForm->FocusedRow(), 0);
    QCOMPARE(Find<TPanel>("pnImage1")->Color(), QColor(255, 128, 0)); // the strip follows row 0
    QCOMPARE(Find<TPanel>("pnImage2")->Color(), FForm->palette().color(QPalette::Button));
}

void TestPreview::nonPictureRowKeepsTheSlides()
{
    MakeForm();
    SingleClickMode(40);
    SetRows({"a.jpg", "b.jpg", "readme.txt"}, {1, 1, 1});
    Focus(1);
    Focus(2);
    QTRY_COMPARE(FLoads, QStringList{Path(1)});
    QTRY_VERIFY(!FForm->PreviewTimer()->isActive());
    for (int k = 1; k <= 5; ++k) {
        QVERIFY(!FForm->SlideImage(k)->isVisible());
        QVERIFY(FForm->SlideImage(k)->FileName().isEmpty());
    }
}

void TestPreview::doubleClickModeMarksWithoutLoading()
{
    MakeForm();
    SetRows({"x.jpg", "a.jpg", "b.jpg", "c.jpg", "y.jpg"}, {1, 2, 2, 2, 3});
    FForm->RequestPreview(); // no focused row: nothing
    Focus(1);
    FForm->RequestSlides(); // the activation of the row fills at once
    Focus(3);
    QCOMPARE(MarkedRows(), QList<int>({1, 2, 3}));
    QTest::qWait(250);
    QVERIFY(FLoads.isEmpty());
    QCOMPARE(Find<TPanel>("pnImage3")->Color(), QColor(255, 128, 0)); // the highlight follows
    QCOMPARE(Find<TPanel>("pnImage1")->Color(), FForm->palette().color(QPalette::Button));
    FForm->RequestPreview();
    QTRY_COMPARE(FLoads, QStringList{Path(3)});
    Focus(4);
    QCOMPARE(MarkedRows(), QList<int>{4});
}

void TestPreview::markGroupWithoutCriterion()
{
    MakeForm();
    Find<QCheckBox>("ckSize")->setChecked(false);
    SetRows({"a.jpg", "b.jpg", "c.jpg"}, {1, 1, 1});
    Focus(1);
    QCOMPARE(MarkedRows(), QList<int>{1});
    QCOMPARE(FForm->MarkedIndex(), 1);
}

// A sort moves the rows of the marked group apart; the marks then cover
// the focused row's group again and nothing else.
void TestPreview::marksFollowASort()
{
    MakeForm();
    SetRows({"b.jpg", "x.jpg", "a.jpg", "y.jpg", "c.jpg"}, {5, 5, 5, 9, 9});
    Focus(3);
    QCOMPARE(MarkedRows(), QList<int>({3, 4}));
    FForm->SetSortMode(0); // by name: a b c x y, sizes 5 5 9 5 9
    QCOMPARE(FForm->FocusedRow(), 4);
    QCOMPARE(MarkedRows(), QList<int>{4});
    QCOMPARE(FForm->MarkedIndex(), 4);
    Focus(0);
    QCOMPARE(MarkedRows(), QList<int>({0, 1})); // a and b, both of size 5
}

void TestPreview::eighthScaleAppliesToTheNextFile()
{
    MakeForm();
    WriteJpeg("wide1.jpg", 160, 80);
    WriteJpeg("wide2.jpg", 160, 80);
    SetRows({"wide1.jpg", "wide2.jpg"}, {1, 2});
    Focus(0);
    FForm->RequestPreview();
    TAdvImage* image = FForm->PreviewImage();
    QTRY_COMPARE(image->PictureWidth(), 80);
    Find<QRadioButton>("rbEighth")->click();
    QCOMPARE(image->JPEGScale(), TJPEGScale::jsEighth);
    QCOMPARE(image->PictureWidth(), 80);
    QCOMPARE(image->FileName(), Path(0));
    Focus(1);
    FForm->RequestPreview();
    QTRY_COMPARE(image->PictureWidth(), 20);
}

void TestPreview::previewOffAndOn()
{
    MakeForm();
    SetRows({"a.jpg"}, {1});
    Focus(0);
    FForm->RequestPreview();
    QTRY_VERIFY(FForm->PreviewImage()->HasPicture());
    Find<QCheckBox>("ckPreview")->click();
    QVERIFY(!FForm->PreviewImage()->isVisible());
    QVERIFY(!Find<QWidget>("pnScale")->isVisible());
    QVERIFY(FForm->PreviewImage()->FileName().isEmpty());
    QCOMPARE(Find<TPanel>("Panel2")->Caption(), QStringLiteral("不看也罷"));
    FForm->RequestPreview(); // nothing while "Preview" is off
    QVERIFY(!FForm->PreviewImage()->HasPicture());
    Find<QCheckBox>("ckPreview")->click();
    QVERIFY(FForm->PreviewImage()->isVisible());
    QVERIFY(!FForm->PreviewImage()->HasPicture());
    QCOMPARE(Find<TPanel>("Panel2")->Caption(), QStringLiteral("不看也罷"));
}

void TestPreview::loadingIndicator()
{
    MakeForm();
    SetRows({"a.jpg"}, {1});
    Focus(0);
    QStringList during;
    connect(FForm->PreviewImage(), &TAdvImage::OnImageLoading, this, [&] {
        during << FForm->StatusText(0) << QString::number(Find<QLabel>("Label1")->isVisible())
               << Find<QLabel>("Label4")->palette().color(QPalette::WindowText).name();
    });
    FForm->RequestPreview();
    QCOMPARE(during, QStringList({"Loading", "1", "#ffff00"}));
    QTRY_VERIFY(FForm->StatusText(0).isEmpty());
    QVERIFY(!Find<QLabel>("Label1")->isVisible());
    QCOMPARE(Find<QLabel>("Label4")->palette().color(QPalette::WindowText), QColor(0, 128, 128));
}

void TestPreview::slidesOfAGroupOfTwo()
{
    MakeForm();
    SetRows({"a.jpg", "b.jpg", "c.jpg"}, {1, 1, 2});
    Focus(0);
    FForm->RequestSlides();
    QCOMPARE(FForm->SlideImage(1)->FileName(), Path(0));
    QCOMPARE(FForm->SlideImage(2)->FileName(), Path(1));
    QVERIFY(FForm->SlideImage(1)->isVisible() && FForm->SlideImage(2)->isVisible());
    QTRY_VERIFY(FForm->SlideImage(1)->HasPicture());
    for (int k = 3; k <= 5; ++k)
        QVERIFY(!FForm->SlideImage(k)->isVisible());
    QCOMPARE(Find<TPanel>("pnImage1")->Color(), QColor(255, 128, 0));
    for (const char* name : {"pnImage1", "pnImage3", "pnImage5"})
        QVERIFY(Find<TPanel>(name)->Caption().isEmpty());
    // Slide thumbnails decode at an eighth, grey until "Colour slides" is
    // ticked, which draws the shown slides again in colour.
    QCOMPARE(FForm->SlideImage(1)->PictureWidth(), 8);
    auto centre = [this] {
        const QImage shown = FForm->SlideImage(2)->grab().toImage();
        return shown.pixelColor(shown.width() / 2, shown.height() / 2);
    };
    QTRY_VERIFY(FForm->SlideImage(2)->HasPicture());
    QVERIFY(std::abs(centre().red() - centre().blue()) < 10); // orange drawn grey
    Find<QCheckBox>("ckColourSlides")->setChecked(true);
    QTRY_VERIFY(centre().red() - centre().blue() > 100);
    Find<QCheckBox>("ckColourSlides")->setChecked(false);
    QTRY_VERIFY(std::abs(centre().red() - centre().blue()) < 10);
}

void TestPreview::pressOnSlideFourMovesTheFocusOnly()
{
    MakeForm();
    SetRows({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}, {1, 1, 1, 1, 1});
    Focus(1);
    FForm->RequestPreview();
    FForm->RequestSlides();
    const QList<int> marks = MarkedRows();
    QTest::mousePress(FForm->SlideImage(4), Qt::LeftButton);
    QCOMPARE(FForm->FocusedRow(), 3);
    QCOMPARE(List()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(Find<TPanel>("pnImage4")->Color(), QColor(255, 128, 0));
    QCOMPARE(Find<TPanel>("pnImage2")->Color(), FForm->palette().color(QPalette::Button));
    QCOMPARE(FForm->PreviewImage()->FileName(), Path(1));
    QCOMPARE(MarkedRows(), marks);
    QCOMPARE(FForm->MarkedIndex(), 1);
    QVERIFY(!FForm->IgnoreListChange());
}

void TestPreview::slidePanelWidths_data()
{
    QTest::addColumn<int>("client");
    QTest::addColumn<int>("expected");
    QTest::newRow("516") << 516 << 100;
    QTest::newRow("520") << 520 << 101;
}

void TestPreview::slidePanelWidths()
{
    QFETCH(int, client);
    QFETCH(int, expected);
    MakeForm();
    FForm->resize(client + 3 + 300, 700);
    Find<QSplitter>("Splitter1")->setSizes({client, 300});
    QTRY_COMPARE(Find<QWidget>("pnSlides")->width(), client);
    for (const char* name : {"pnImage1", "pnImage4"})
        QCOMPARE(Find<QWidget>(name)->width(), expected);
    QVERIFY(Find<QWidget>("pnImage5")->width() > 0);
}

void TestPreview::showSlidesOffAndOn()
{
    MakeForm();
    SetRows({"a.jpg", "b.jpg"}, {1, 1});
    Focus(0);
    FForm->RequestSlides();
    Find<QCheckBox>("ckShowSlides")->click();
    QVERIFY(!Find<QWidget>("pnSlides")->isVisible());
    QVERIFY(FForm->SlideImage(1)->FileName().isEmpty());
    Find<QCheckBox>("ckShowSlides")->click();
    QVERIFY(Find<QWidget>("pnSlides")->isVisible());
    QVERIFY(!FForm->SlideImage(1)->isVisible());
    QVERIFY(!Find<TPanel>("pnImage1")->Caption().isEmpty());
}

void TestPreview::delayEdit()
{
    MakeForm();
    auto* edTime = Find<QLineEdit>("edTime");
    auto* upDown = Find<TUpDown>("UpDown1");
    Find<QRadioButton>("raClick")->click();
    QVERIFY(edTime->isEnabled() && upDown->isEnabled());
    edTime->setText("0");
    QCOMPARE(FForm->PreviewTimer()->interval(), 5);
    upDown->StepBy(3);
    QCOMPARE(edTime->text(), QStringLiteral("30"));
    QCOMPARE(FForm->PreviewTimer()->interval(), 30);
    edTime->setFocus();
    edTime->selectAll();
    QTest::keyClicks(edTime, "1x5");
    QCOMPARE(edTime->text(), QStringLiteral("15"));
    QTest::keyClick(edTime, Qt::Key_Backspace); // discarded
    QCOMPARE(edTime->text(), QStringLiteral("15"));
    edTime->clear();
    QCOMPARE(FMessages.ApplicationErrors, QStringList{"'' is not a valid integer value"});
    QCOMPARE(FForm->PreviewTimer()->interval(), 15);
    Find<QRadioButton>("raDblClick")->click();
    QVERIFY(!edTime->isEnabled() && !upDown->isEnabled());
}

void TestPreview::optionsRestoredReact()
{
    const QString conf = QSettings(QStringLiteral("Marrowfen"), QStringLiteral("Quorvane")).fileName();
    QVERIFY(QDir().mkpath(QFileInfo(conf).absolutePath()));
    QFile file(conf);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("raDblClick=0\nraClick=1\nedTime=350\nrbHalf=0\nrbEighth=1\nckPreview=0\nckShowSlides=0\n");
    file.close();
    MakeForm();
    QCOMPARE(FForm->PreviewTimer()->interval(), 350);
    QCOMPARE(Find<TUpDown>("UpDown1")->Position(), 350);
    QVERIFY(Find<QLineEdit>("edTime")->isEnabled());
    QCOMPARE(FForm->PreviewImage()->JPEGScale(), TJPEGScale::jsEighth);
    QVERIFY(!FForm->PreviewImage()->isVisible());
    QVERIFY(!Find<QWidget>("pnSlides")->isVisible());
    QVERIFY(FMessages.ApplicationErrors.isEmpty());
}

// A focus move while the preview decodes a large GIF asks for the new row at
// once: the GIF's answer is never shown, and the loading events come once.
void TestPreview::moveDuringALoadReplacesIt()
{
    MakeForm();
    const auto pixels = testing::PatternPixels(1600u * 1600u, 8, 3);
    const auto gif = testing::SimpleGif(1600, 1600, pixels, 8);
    QFile file(FDir->filePath("big.gif"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(gif.data()), qsizetype(gif.size()));
    file.close();
    SingleClickMode(1);
    SetRows({"big.gif", "small.jpg"}, {1, 1});
    int loadings = 0;
    bool movedWhileLoading = false;
    connect(FForm->PreviewImage(), &TAdvImage::OnImageLoading, this, [&](TAdvImage*) {
        // The user presses Down while the GIF decodes.
        if (++loadings == 1)
            QCoreApplication::postEvent(List(),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
    });
    connect(List()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [&] { movedWhileLoading = movedWhileLoading || FForm->PreviewImage()->Loading(); });
    List()->setFocus();
    Focus(0);
    QTRY_COMPARE(FLoads, QStringList{Path(1)});
    QVERIFY(movedWhileLoading);
    QCOMPARE(loadings, 1);
    QCOMPARE(FForm->PreviewImage()->PictureWidth(), 32); // decoded at half size
    QTRY_COMPARE(FForm->PreviewImage()->Loader().PendingCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(FForm->PreviewImage()->FileName(), Path(1));
    QCOMPARE(FForm->PreviewImage()->PictureWidth(), 32);
}

// Once a row's preview is shown, the next rows' previews and the next
// group's slides are decoded ahead: moving there shows the picture at once.
void TestPreview::nextRowsAreDecodedAhead()
{
    MakeForm();
    SetRows({"a.jpg", "b.jpg", "c.jpg", "d.jpg"}, {1, 1, 2, 2});
    auto native = [this](int row) { return QFile::encodeName(Path(row)).toStdString(); };
    Focus(0);
    FForm->RequestPreview();
    QTRY_COMPARE(FLoads, QStringList{Path(0)});
    TPictureLoader& loader = FForm->PreviewImage()->Loader();
    QTRY_COMPARE(loader.PendingCount(), 0);
    // b is the next row, c the first of the next group; c and d its slides.
    for (int row : {1, 2})
        QVERIFY(loader.Cached(FForm->PreviewImage()->RequestFor(native(row))));
    QVERIFY(!loader.Cached(FForm->PreviewImage()->RequestFor(native(3))));
    for (int row : {2, 3})
        QVERIFY(loader.Cached(FForm->SlideImage(1)->RequestFor(native(row))));
    Focus(1);
    FForm->RequestPreview();
    QVERIFY(!FForm->PreviewImage()->Loading());
    QCOMPARE(FForm->PreviewImage()->FileName(), Path(1));
    QVERIFY(FForm->PreviewImage()->HasPicture());
}

// The list sorted, replaced or shortened while the focused row's picture
// decodes. As when the decode is quick, the preview is not cleared by a sort
// or a new list: it ends on the file it was asked for, drawn, and no longer
// loading. When the focused row goes with its file, the focus moves to a row
// still there and the preview follows it; the late answer for the file that
// went is never drawn.
void TestPreview::listChangesDuringALoad_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("sorted, the row stays focused") << "sort";
    QTest::newRow("list replaced") << "reset";
    QTest::newRow("row deleted with its file") << "remove";
}

void TestPreview::listChangesDuringALoad()
{
    QFETCH(QString, change);
    MakeForm();
    SingleClickMode(0);
    SetRows({"c.jpg", "a.jpg", "b.jpg"}, {3, 3, 3});
    THeldLoader held;
    held.Held = QFile::encodeName(Path(1)).toStdString();
    FForm->PreviewImage()->SetLoader(&held.Loader);
    List()->setFocus();
    Focus(1);
    QTRY_VERIFY(held.Entered.available() > 0);
    QVERIFY(FForm->PreviewImage()->Loading());
    const QString asked = Path(1);
    if (change == "sort") {
        FForm->SetSortMode(0); // by name: a b c
        QCOMPARE(FForm->FocusedRow(), 0);
    } else if (change == "reset") {
        FForm->FileList()->SetRows({});
    } else {
        QVERIFY(QFile::remove(asked));
        FForm->FileList()->RemoveRowSet({1});
    }
    held.Release();
    QTRY_COMPARE(held.Loader.PendingCount(), 0);
    QString shown = asked;
    if (change == "remove") {
        QTRY_VERIFY(FForm->FocusedRow() >= 0);
        shown = QFile::decodeName(QByteArray::fromStdString(
            FForm->FileList()->Rows().at(std::size_t(FForm->FocusedRow())).FullPath()));
        QVERIFY(shown != asked);
    }
    QTRY_COMPARE(FForm->PreviewImage()->FileName(), shown);
    QTRY_VERIFY(!FForm->PreviewImage()->Loading());
    QTRY_COMPARE(held.Loader.PendingCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(FForm->PreviewImage()->FileName(), shown);
    QVERIFY(FForm->PreviewImage()->HasPicture());
    FForm->PreviewImage()->SetLoader(nullptr);
}

// Closing the window never waits for a decode: the decode is still held when
// the window is gone, and its late answer finds no one.
void TestPreview::closedWhileADecodeIsHeld()
{
    MakeForm();
    SingleClickMode(0);
    SetRows({"a.jpg", "b.jpg"}, {1, 1});
    THeldLoader held;
    held.Held = QFile::encodeName(Path(0)).toStdString();
    FForm->PreviewImage()->SetLoader(&held.Loader);
    Focus(0);
    QTRY_VERIFY(held.Entered.available() > 0);
    FForm->close();
    delete FForm;
    FForm = nullptr;
    QCOMPARE(held.Loader.PendingCount(), 1); // still held: nothing waited for it
    held.Release();
    QTRY_COMPARE(held.Loader.PendingCount(), 0);
    QCoreApplication::processEvents();
}

void TestPreview::altXClosesTheWindow()
{
    MakeForm();
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_X);
    QVERIFY(FForm->isVisible());
    QTest::keyClick(List(), Qt::Key_X, Qt::AltModifier | Qt::ShiftModifier);
    QVERIFY(!FForm->isVisible());
}

void TestPreview::listSideKeepsItsWidth()
{
    MakeForm();
    QCOMPARE(Find<QWidget>("Panel4")->width(), 550);
    FForm->resize(640, 600);
    QTRY_COMPARE(FForm->width(), 640);
    QCoreApplication::processEvents();
    QCOMPARE(Find<QWidget>("Panel4")->width(), 550);
    QVERIFY(Find<QWidget>("Panel2")->width() < 100);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
