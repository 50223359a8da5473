// Tests of the main window through its real widgets (offscreen platform):
// start-up state and layout, both searches with their statuses, refusals
// and error recovery, sorting by header clicks, group navigation with
// Ctrl+Up and Ctrl+Down, the context menu's enabling and the total after a
// row removal.
#include "AppFakes.h"
#include "MainForm.h"
#include "ProgressForm.h"
#include "ViewImage.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <thread>

using namespace quorvane;
using quorvane::test::MakeRecord;
using quorvane::test::TRecordingMessages;
using quorvane::test::WriteFile;

namespace {
const QString kHint = QStringLiteral("   Ctrl+Up=Prior group  Ctrl+Down=Next group");
}

class TestAppWindow : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void startUpState();
    void layoutPlaces_data();
    void layoutPlaces();
    void designTexts_data();
    void designTexts();
    void resultListColumns();
    void otherWindows();
    void logoPosition_data();
    void logoPosition();
    void sizeClickEnablesContents();

    void listAllReadsEveryFile();
    void listAllRefusedWithoutDirectories();
    void findDuplicatesShowsGroups();
    void findDuplicatesRefusals_data();
    void findDuplicatesRefusals();
    void searchErrorLeavesWindowUsable();

    void sortByHeaderClicks();
    void groupNavigation_data();
    void groupNavigation();
    void oneRowGroupAndNoCriterion();
    void tickingCriterionMovesBounds();
    void groupMenuEnabling();
    void totalAfterRowRemoval();
    void selectionAndEditing();

  private:
    template <typename T> T* Find(const char* name) const
    {
        T* widget = FForm->findChild<T*>(QString::fromLatin1(name));
        if (!widget) qWarning("no control %s", name);
        return widget;
    }
    QTreeView* List() const { return Find<QTreeView>("lvFiles"); }
    void SetRows(std::vector<TFileRecord> rows) { FForm->FileList()->SetRows(std::move(rows)); }
    void Focus(int row, const QList<int>& alsoSelected = {});
    QList<int> SelectedRows() const;
    void ClickHeader(int column);
    void SetCriteria(bool name, bool size, bool time);
    // Clicks a search button and waits until the search has ended.
    void RunSearch(const char* button);

    TfrmMain* FForm = nullptr;
    TfrmProgress* FProgress = nullptr;
    TfrmViewer* FViewer = nullptr;
    TRecordingMessages FMessages;
};

void TestAppWindow::init()
{
    FMessages = TRecordingMessages();
    FForm = new TfrmMain;
    FProgress = new TfrmProgress;
    FViewer = new TfrmViewer;
    FForm->SetProgressForm(FProgress);
    FForm->SetViewer(FViewer);
    FForm->SetUserMessages(&FMessages);
    FForm->resize(1024, 700);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowActive(FForm));
}

void TestAppWindow::cleanup()
{
    delete FForm;
    delete FProgress;
    delete FViewer;
    FForm = nullptr;
}

void TestAppWindow::Focus(int row, const QList<int>& alsoSelected)
{
    QItemSelectionModel* selection = List()->selectionModel();
    selection->setCurrentIndex(FForm->FileList()->index(row, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    for (int other : alsoSelected)
        selection->select(FForm->FileList()->index(other, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QList<int> TestAppWindow::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : List()->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TestAppWindow::ClickHeader(int column)
{
    QHeaderView* header = List()->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

void TestAppWindow::SetCriteria(bool name, bool size, bool time)
{
    Find<QCheckBox>("ckName")->setChecked(name);
    Find<QCheckBox>("ckSize")->setChecked(size);
    Find<QCheckBox>("ckTime")->setChecked(time);
}

void TestAppWindow::RunSearch(const char* button)
{
    QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
    QTRY_VERIFY(!FForm->SearchRunning());
}

void TestAppWindow::startUpState()
{
    QCOMPARE(FForm->windowTitle(), QStringLiteral("Quorvane"));
    // The layout leaves "More Options" in front; creation brings "Options".
    QCOMPARE(Find<QTabWidget>("pgOptions")->currentWidget(), Find<QWidget>("tbsOptions"));
    for (const char* name : {"ckSize", "ckInclude", "ckPreview", "ckShowSlides"})
        QVERIFY2(Find<QCheckBox>(name)->isChecked(), name);
    for (const char* name : {"ckName", "ckCC", "ckTime", "ckNoConfirm", "ckNoRecycle"})
        QVERIFY2(!Find<QCheckBox>(name)->isChecked(), name);
    QVERIFY(Find<QCheckBox>("ckCC")->isEnabled());
    for (const char* name : {"raDblClick", "rbHalf", "rbEnglish"})
        QVERIFY2(Find<QRadioButton>(name)->isChecked(), name);
    for (const char* name : {"raClick", "rbFullSize", "rbQuarter", "rbEighth", "rbChinese"})
        QVERIFY2(!Find<QRadioButton>(name)->isChecked(), name);
    QLineEdit* edTime = Find<QLineEdit>("edTime");
    QCOMPARE(edTime->text(), QStringLiteral("200"));
    QCOMPARE(edTime->maxLength(), 4);
    QVERIFY(!edTime->isEnabled());
    QVERIFY(Find<QWidget>("UpDown1")->isEnabled());
    QVERIFY(!Find<QLabel>("Label1")->isVisible());
    QVERIFY(!FForm->PreviewTimer()->isActive());
    QCOMPARE(FForm->PreviewTimer()->interval(), 200);
    QVERIFY(FForm->ListReady());
    QCOMPARE(FForm->SortMode(), 0);
    QVERIFY(!FForm->IgnoreListChange());
    QCOMPARE(FForm->MarkedIndex(), -1);
    QCOMPARE(Find<QLabel>("lblVersion")->text(), QStringLiteral("Version: 0.51"));
    QCOMPARE(Find<QLabel>("lblDate")->text(), QStringLiteral("Date: 4/23/1998"));
    QCOMPARE(Find<QWidget>("Image1")->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(Find<QWidget>("Label4")->cursor().shape(), Qt::BitmapCursor);
    QVERIFY(!Find<QLabel>("Image1")->pixmap().isNull());
    QCOMPARE(Find<QWidget>("Panel4")->width(), 550);
}

void TestAppWindow::layoutPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place");
    QTest::newRow("Label3") << "Label3" << QRect(8, 8, 151, 74);
    QTest::newRow("Label4") << "Label4" << QRect(6, 6, 149, 72);
    QTest::newRow("lblVersion") << "lblVersion" << QRect(3, 98, 144, 19);
    QTest::newRow("lblDate") << "lblDate" << QRect(3, 120, 144, 19);
    QTest::newRow("Edit1") << "Edit1" << QRect(158, 22, 234, 21);
    QTest::newRow("lstDir") << "lstDir" << QRect(158, 50, 234, 75);
    QTest::newRow("btnAddDir") << "btnAddDir" << QRect(395, 50, 20, 19);
    QTest::newRow("btnSubDir") << "btnSubDir" << QRect(395, 73, 20, 19);
    QTest::newRow("btnClearDir") << "btnClearDir" << QRect(395, 96, 20, 19);
    QTest::newRow("btnFindDuplicates") << "btnFindDuplicates" << QRect(169, 130, 97, 25);
    QTest::newRow("btnFindAll") << "btnFindAll" << QRect(290, 130, 89, 25);
    QTest::newRow("pgOptions") << "pgOptions" << QRect(424, 1, 209, 161);
}

void TestAppWindow::layoutPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, place);
    QWidget* widget = Find<QWidget>(name.toLatin1().constData());
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), place);
    QCOMPARE(widget->parentWidget(), Find<QWidget>("Panel1"));
}

void TestAppWindow::designTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const char* const rows[][2] = {{"Label3", "Quorvane"},
                                   {"Label4", "Quorvane"},
                                   {"Label2", "Input directories to find duplicates:"},
                                   {"btnAddDir", "+"},
                                   {"btnSubDir", "-"},
                                   {"btnClearDir", "C"},
                                   {"btnFindDuplicates", "Find Duplicates"},
                                   {"btnFindAll", "List All"}, // not the design's "Find All"
                                   {"ckName", "Name"},
                                   {"ckSize", "Size"},
                                   {"ckCC", "CC"},
                                   {"ckTime", "Time"},
                                   {"ckInclude", "Include Subdirectories"},
                                   {"ckPreview", "Preview"},
                                   {"ckShowSlides", "Show Slides"},
                                   {"raDblClick", "Double click to action"},
                                   {"raClick", "Single click to action"},
                                   {"Label5", "Delay time:                    mSeconds"},
                                   {"ckNoConfirm", "No confirmation"},
                                   {"ckNoRecycle", "Don't use recycle bin"},
                                   {"rbEnglish", "English"},
                                   {"rbChinese", "中文"},
                                   {"btnSaveOptions", "Save options"},
                                   {"rbFullSize", "1x"},
                                   {"rbHalf", "1/2"},
                                   {"rbQuarter", "1/4"},
                                   {"rbEighth", "1/8(Faster)"},
                                   {"Label1", "Loading..."}};
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromUtf8(row[1]);
}

void TestAppWindow::designTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QObject* control = FForm->findChild<QObject*>(name);
    QVERIFY(control);
    QCOMPARE(control->property("text").toString(), text);
}

void TestAppWindow::resultListColumns()
{
    QTreeView* list = List();
    QHeaderView* header = list->header();
    const int widths[] = {150, 150, 75, 50, 110};
    for (int column = 0; column < 5; ++column)
        QCOMPARE(header->sectionSize(column), widths[column]);
    QVERIFY(header->sectionsClickable());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(list->uniformRowHeights());
    QVERIFY(!list->rootIsDecorated());
    QCOMPARE(Find<QWidget>("pnSlides")->height(), 114);
    QCOMPARE(Find<QWidget>("pnScale")->height(), 41);
    QVERIFY(Find<QWidget>("StatusBar")->height() >= 25);
    QCOMPARE(Find<QWidget>("Panel1")->height(), 163);
    QCOMPARE(Find<QWidget>("StatusPanel0")->width(), 80);
    QMenu* menu = Find<QMenu>("PopupMenu1");
    QStringList texts;
    for (QAction* action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(texts, (QStringList{"Next Group [Ctrl+Down]",
                                 "Prior Group [Ctrl+Up]",
                                 "Select Duplicates [Ctrl+D]",
                                 "Invert Selection",
                                 "-",
                                 "Open",
                                 "View Image In Full Size",
                                 "Preview",
                                 "Open With ACDSee",
                                 "Open With UltraEdit",
                                 "Open Containing Folder",
                                 "-",
                                 "Delete",
                                 "Undo Delete [Ctrl+Z]",
                                 "Check the List Against the Disk [F5]",
                                 "Remove from List",
                                 "Remove Group",
                                 "Not Duplicates",
                                 "Forget Not Duplicates...",
                                 "Export...",
                                 "Save Results...",
                                 "Open Results...",
                                 "-",
                                 "Replace with Hard Link",
                                 "Replace with Symbolic Link",
                                 "Absolute Symbolic Links",
                                 "Replace with Clone",
                                 "Move to Folder...",
                                 "-",
                                 "Files Not Read..."}));
    QVERIFY(menu->actions().at(0)->shortcut().isEmpty()); // the keys work only in the list
}

void TestAppWindow::otherWindows()
{
    QCOMPARE(FProgress->windowTitle(), QStringLiteral("Please wait a moment..."));
    QCOMPARE(FProgress->size(), QSize(519, 31));
    QCOMPARE(FProgress->Progress()->minimum(), 0);
    QCOMPARE(FProgress->Progress()->maximum(), 100);
    QVERIFY(!(FProgress->windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!FProgress->isVisible());
    QCOMPARE(FViewer->windowTitle(), QStringLiteral("Image Viewer"));
    QVERIFY(FViewer->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!FViewer->isVisible());
}

void TestAppWindow::logoPosition_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("left");
    QTest::newRow("narrow: two pixels right of Bevel3") << 700 << 636;
    QTest::newRow("wide: centred") << 1100 << 634 + (1100 - 634 - 115) / 2;
}

void TestAppWindow::logoPosition()
{
    QFETCH(int, width);
    QFETCH(int, left);
    FForm->resize(width, 500);
    QTRY_COMPARE(FForm->width(), width);
    QWidget* bevel = Find<QWidget>("Bevel3");
    QCOMPARE(bevel->x() + bevel->width(), 634);
    QCOMPARE(Find<QWidget>("Image1")->x(), left);
    QCOMPARE(Find<QWidget>("Image1")->y(), 7);
}

void TestAppWindow::sizeClickEnablesContents()
{
    QCheckBox* size = Find<QCheckBox>("ckSize");
    QCheckBox* cc = Find<QCheckBox>("ckCC");
    QTest::mouseClick(cc, Qt::LeftButton);
    QVERIFY(cc->isChecked());
    QTest::mouseClick(size, Qt::LeftButton);
    QVERIFY(!size->isChecked());
    QVERIFY(!cc->isEnabled());
    QVERIFY(cc->isChecked()); // a disabled box keeps its tick
    QTest::mouseClick(size, Qt::LeftButton);
    QVERIFY(cc->isEnabled());
}

void TestAppWindow::listAllReadsEveryFile()
{
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("a.jpg"), "abc"));
    QVERIFY(WriteFile(dir.filePath("sub/c.gif"), "abcd"));
    QVERIFY(WriteFile(dir.filePath("sub2/d"), "abcde"));
    QVERIFY(WriteFile(dir.filePath(".hidden/e.txt"), "x"));
    Find<QListWidget>("lstDir")->addItem(dir.path());
    SetRows({MakeRecord("old", 1)});
    RunSearch("btnFindAll");
    QCOMPARE(FForm->FileList()->rowCount(), 3);
    QCOMPARE(FForm->FileList()->Row(0).Name, std::string("a.jpg")); // reading order: root first
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Total Files:3"));
    QCOMPARE(FForm->StatusText(0), QStringLiteral("100%"));
    QCOMPARE(FProgress->Progress()->value(), 100);
    QVERIFY(!FProgress->isVisible());
    QVERIFY(FForm->ListReady());
    QVERIFY(List()->updatesEnabled());
    QVERIFY(FMessages.Errors.isEmpty());
    QCOMPARE(List()->model()->index(0, 0).data().toString(), QStringLiteral("a.jpg"));
}

void TestAppWindow::listAllRefusedWithoutDirectories()
{
    SetRows({MakeRecord("a", 1), MakeRecord("b", 2)});
    FForm->SetStatusText(1, QStringLiteral("before"), false);
    QTest::mouseClick(Find<QPushButton>("btnFindAll"), Qt::LeftButton);
    QCOMPARE(FMessages.Errors, QStringList{QStringLiteral("您沒有輸入目錄叫我怎麼找?")});
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QCOMPARE(FForm->StatusText(1), QStringLiteral("before"));
    QVERIFY(FForm->ListReady());
}

void TestAppWindow::findDuplicatesShowsGroups()
{
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("x/photo.jpg"), "0123456789"));
    QVERIFY(WriteFile(dir.filePath("y/photo.jpg"), "0123456789"));
    QVERIFY(WriteFile(dir.filePath("y/other.txt"), "12345"));
    Find<QListWidget>("lstDir")->addItem(dir.path());
    RunSearch("btnFindDuplicates");
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QCOMPARE(FForm->FileList()->Row(0).Name, std::string("photo.jpg"));
    QCOMPARE(FForm->FileList()->Row(1).Name, std::string("photo.jpg"));
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Total Files:2") + kHint);
    QVERIFY(!FProgress->isVisible());
    QVERIFY(FForm->ListReady());
    QVERIFY(FMessages.Errors.isEmpty());
}

void TestAppWindow::findDuplicatesRefusals_data()
{
    QTest::addColumn<bool>("withDirectory");
    QTest::addColumn<bool>("size");
    QTest::addColumn<QString>("message");
    QTest::newRow("no directory") << false << true << QStringLiteral("您沒有輸入目錄叫我怎麼找?");
    QTest::newRow("no criterion") << true << false << QStringLiteral("您必須至少打一個勾");
}

void TestAppWindow::findDuplicatesRefusals()
{
    QFETCH(bool, withDirectory);
    QFETCH(bool, size);
    QFETCH(QString, message);
    QTemporaryDir dir;
    if (withDirectory) Find<QListWidget>("lstDir")->addItem(dir.path());
    SetCriteria(false, size, false);
    Find<QCheckBox>("ckCC")->setChecked(true); // contents alone is no criterion
    SetRows({MakeRecord("a", 1), MakeRecord("b", 2)});
    FForm->SetStatusText(1, QStringLiteral("Total Files:2"), false);
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QCOMPARE(FMessages.Errors, QStringList{message});
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Total Files:2")); // no hint appended
    QVERIFY(FForm->ListReady());
}

void TestAppWindow::searchErrorLeavesWindowUsable()
{
    Find<QListWidget>("lstDir")->addItem(QStringLiteral("/nowhere"));
    std::atomic<bool> fail{false};
    FForm->SetDuplicateSearch([&](const std::vector<std::string>&, const TSearchCriteria&, bool,
                                  TDuplicateHost& host, std::vector<TFileRecord>& target) -> TSearchOutcome {
        host.ClearFileList();
        host.ShowProgressWindow();
        host.SetPercentage(50, true);
        target.push_back(MakeRecord("a.jpg", 7));
        target.push_back(MakeRecord("b.jpg", 7));
        while (!fail.load() && !host.CancelRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        throw EFileReadError("Cannot open file /nowhere/c.jpg");
    });
    SetRows({MakeRecord("stale", 1)});
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QTRY_VERIFY(FProgress->isVisible());
    QVERIFY(!FForm->ListReady());
    fail = true;
    QTRY_VERIFY(!FForm->SearchRunning());
    QCOMPARE(FMessages.ApplicationErrors, QStringList{QStringLiteral("Cannot open file /nowhere/c.jpg")});
    QCOMPARE(FForm->FileList()->rowCount(), 2); // the rows found so far stay
    QCOMPARE(FForm->FileList()->Row(1).Name, std::string("b.jpg"));
    QVERIFY(!FProgress->isVisible());
    QVERIFY(FForm->ListReady());
    QVERIFY(List()->updatesEnabled());
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Total Files:2"));
    // The window goes on working: the next search runs normally.
    FForm->SetDuplicateSearch(&quorvane::FindDuplicates);
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("p/a"), "1"));
    QVERIFY(WriteFile(dir.filePath("q/a"), "2"));
    Find<QListWidget>("lstDir")->clear();
    Find<QListWidget>("lstDir")->addItem(dir.path());
    RunSearch("btnFindDuplicates");
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QCOMPARE(FMessages.ApplicationErrors.size(), 1);
}

void TestAppWindow::sortByHeaderClicks()
{
    SetRows({MakeRecord("b", 5), MakeRecord("A", 9), MakeRecord("c", 5), MakeRecord("d", 1)});
    Focus(2); // "c"
    auto names = [this] {
        std::string joined;
        for (const TFileRecord& row : FForm->FileList()->Rows())
            joined += row.Name;
        return joined;
    };
    ClickHeader(0); // the first click on "Name" sorts descending
    QCOMPARE(FForm->SortMode(), 1);
    QCOMPARE(names(), std::string("dcbA"));
    QCOMPARE(FForm->FileList()->Row(FForm->FocusedRow()).Name, std::string("c")); // focus follows its row
    ClickHeader(0);
    QCOMPARE(FForm->SortMode(), 0);
    QCOMPARE(names(), std::string("Abcd"));
    ClickHeader(2); // Size: smallest first; b and c keep their order
    QCOMPARE(FForm->SortMode(), 4);
    QCOMPARE(names(), std::string("dbcA"));
    ClickHeader(2);
    QCOMPARE(FForm->SortMode(), 5);
    QCOMPARE(names(), std::string("Abcd"));
    ClickHeader(3);
    QCOMPARE(FForm->SortMode(), 6);
    QVERIFY(FForm->lvFilesCompare(MakeRecord("x.JPG", 1), MakeRecord("y.gif", 1)) > 0);
    SetRows({MakeRecord("z", 1), MakeRecord("y", 2)}); // new rows are not sorted
    QCOMPARE(names(), std::string("zy"));
}

void TestAppWindow::groupNavigation_data()
{
    QTest::addColumn<int>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expectedFocus");
    QTest::addColumn<QList<int>>("expectedSelection");
    // Rows A, A, B, B, B (equal sizes within each letter); row 4 is also
    // selected before each key, to see the selection cleared.
    QTest::newRow("next from the second B stays, only it selected")
        << 3 << int(Qt::Key_Down) << 3 << QList<int>{3};
    QTest::newRow("prior from the second B: first A") << 3 << int(Qt::Key_Up) << 0 << QList<int>{0};
    QTest::newRow("prior from the first B: first A") << 2 << int(Qt::Key_Up) << 0 << QList<int>{0};
    QTest::newRow("prior from the second A: first A") << 1 << int(Qt::Key_Up) << 0 << QList<int>{0};
    QTest::newRow("next from the first A: first B") << 0 << int(Qt::Key_Down) << 2 << QList<int>{2};
    QTest::newRow("prior from row 0 does nothing") << 0 << int(Qt::Key_Up) << 0 << QList<int>{0, 4};
    QTest::newRow("next from the last row does nothing") << 4 << int(Qt::Key_Down) << 4 << QList<int>{4};
}

void TestAppWindow::groupNavigation()
{
    QFETCH(int, focus);
    QFETCH(int, key);
    QFETCH(int, expectedFocus);
    QFETCH(QList<int>, expectedSelection);
    SetCriteria(false, true, false);
    SetRows({MakeRecord("A1", 10), MakeRecord("A2", 10), MakeRecord("B1", 20), MakeRecord("B2", 20),
             MakeRecord("B3", 20)});
    Focus(focus, {4});
    List()->setFocus();
    QTRY_VERIFY(List()->hasFocus());
    QTest::keyClick(List(), Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(FForm->FocusedRow(), expectedFocus);
    QCOMPARE(SelectedRows(), expectedSelection);
}

void TestAppWindow::oneRowGroupAndNoCriterion()
{
    SetCriteria(false, true, false);
    SetRows({MakeRecord("a", 1), MakeRecord("b", 2), MakeRecord("c1", 3), MakeRecord("c2", 3)});
    List()->setFocus();
    Focus(3);
    QTest::keyClick(List(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(FForm->FocusedRow(), 1); // lands on the single-row group
    SetCriteria(false, false, false); // no criterion: one row at a time
    Focus(3);
    QTest::keyClick(List(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(FForm->FocusedRow(), 2);
    QTest::keyClick(List(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(FForm->FocusedRow(), 3);
    // Plain arrows still move the focus as usual.
    QTest::keyClick(List(), Qt::Key_Up);
    QCOMPARE(FForm->FocusedRow(), 2);
}

void TestAppWindow::tickingCriterionMovesBounds()
{
    SetCriteria(false, true, false);
    SetRows({MakeRecord("a.jpg", 10), MakeRecord("b.jpg", 10), MakeRecord("B.JPG", 10)});
    Focus(0);
    Find<QAction>("miNextGroup")->trigger();
    QCOMPARE(FForm->FocusedRow(), 0); // one group: it is the last one
    Find<QCheckBox>("ckName")->setChecked(true);
    Find<QAction>("miNextGroup")->trigger();
    QCOMPARE(FForm->FocusedRow(), 1);
    // "b.jpg" and "B.JPG" agree (ASCII folded): one group, the last one.
    Find<QAction>("miNextGroup")->trigger();
    QCOMPARE(FForm->FocusedRow(), 1);
    Focus(2);
    Find<QAction>("miPriorGroup")->trigger();
    QCOMPARE(FForm->FocusedRow(), 0);
}

void TestAppWindow::groupMenuEnabling()
{
    SetRows({MakeRecord("a", 1), MakeRecord("b", 1)});
    QMenu* menu = Find<QMenu>("PopupMenu1");
    QAction* next = Find<QAction>("miNextGroup");
    QAction* prior = Find<QAction>("miPriorGroup");
    QVERIFY(FForm->FocusedRow() < 0);
    menu->popup(FForm->mapToGlobal(QPoint(50, 300)));
    QVERIFY(!next->isEnabled());
    QVERIFY(!prior->isEnabled());
    QVERIFY(!Find<QAction>("miDelete")->isEnabled());
    menu->hide();
    Focus(1);
    menu->popup(FForm->mapToGlobal(QPoint(50, 300)));
    QVERIFY(next->isEnabled());
    QVERIFY(prior->isEnabled());
    QVERIFY(Find<QAction>("miDelete")->isEnabled());
    QVERIFY(Find<QAction>("miPreview")->isEnabled());
    menu->hide();
}

void TestAppWindow::totalAfterRowRemoval()
{
    SetRows(
        {MakeRecord("a", 1), MakeRecord("b", 2), MakeRecord("c", 3), MakeRecord("d", 4), MakeRecord("e", 5)});
    FForm->SetStatusText(1, QStringLiteral("Total Files:5") + kHint, false);
    QVERIFY(FForm->FileList()->removeRow(2));
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Total Files:4"));
    FForm->SetListReady(false);
    QVERIFY(FForm->FileList()->removeRow(0));
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Total Files:4")); // a rebuild leaves the total alone
    FForm->SetListReady(true);
    QVERIFY(FForm->FileList()->removeRows(0, 2));
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Total Files:1"));
}

void TestAppWindow::selectionAndEditing()
{
    SetRows({MakeRecord("a.jpg", 1), MakeRecord("b.jpg", 2)});
    const QPalette pal = List()->palette();
    QCOMPARE(pal.color(QPalette::Inactive, QPalette::Highlight),
             pal.color(QPalette::Active, QPalette::Highlight));
    // Shift+Down extends the selection: several rows at once, whole rows.
    List()->setFocus();
    Focus(0);
    QTest::keyClick(List(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(SelectedRows(), (QList<int>{0, 1}));
    QCOMPARE(List()->selectionModel()->selectedIndexes().size(), 2 * FForm->FileList()->columnCount());
    // F2 opens the in-place editor on the Name.
    Focus(1);
    QTest::keyClick(List(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("b.jpg"));
    QTest::keyClick(editor, Qt::Key_Escape);
}

QTEST_MAIN(TestAppWindow)
#include "tst_app_window.moc"
