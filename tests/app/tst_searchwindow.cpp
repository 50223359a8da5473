// Tests of the searches running beside the main window: a slow fake search
// (injected, so no big tree is needed) holds the worker while the tests look
// at the progress window's pixels, the disabled controls, cancelling by the
// button, by Esc and by closing the window, and the refusal of a second
// search; the worker itself is checked on its own.
#include "AppFakes.h"
#include "MainForm.h"
#include "ProgressForm.h"
#include "SearchWorker.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <thread>

using namespace quorvane;
using quorvane::test::MakeRecord;
using quorvane::test::TRecordingMessages;

namespace {

// A search that reports like the core, then waits until released or
// cancelled (checking every 5 ms, as the core checks between files).
class TSlowSearch {
  public:
    std::atomic<bool> Release{false};
    std::atomic<int> Calls{0};
    std::atomic<bool> Returned{false};
    bool ClearFirst = true;

    TfrmMain::TDuplicateSearch Function()
    {
        return [this](const std::vector<std::string>&, const TSearchCriteria&, bool, TDuplicateHost& host,
                      std::vector<TFileRecord>& target) {
            ++Calls;
            struct TMark {
                std::atomic<bool>& Flag;
                ~TMark() { Flag = true; }
            } mark{Returned};
            host.SetStatusText("Reading all files...", true);
            host.ShowProgressWindow();
            host.SetPercentage(50, true);
            if (ClearFirst) host.ClearFileList();
            target.push_back(MakeRecord("new.jpg", 9));
            target.push_back(MakeRecord("new.jpg", 9, 202401021530, "/other"));
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!Release.load() && std::chrono::steady_clock::now() < deadline) {
                ThrowIfCancelled(host);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            host.SetStatusText("Total Files:" + std::to_string(target.size()), true);
            return TSearchOutcome::Completed;
        };
    }
};

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
  public:
    std::atomic<int> Count{0};
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++Count;
        return false;
    }
};

const char* const kSearchControls[] = {"btnFindDuplicates", "btnFindAll",  "Edit1",    "lstDir", "btnAddDir",
                                       "btnSubDir",         "btnClearDir", "ckName",   "ckSize", "ckCC",
                                       "ckAllBytes",        "ckTime",      "ckInclude"};

} // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void progressWindowPaintedWhileSearching();
    void progressWindowHasNoCaptionButtons();
    void controlsDisabledWhileRunning();
    void cancelLeavesTheListAsItWas_data();
    void cancelLeavesTheListAsItWas();
    void secondSearchRefusedWhileRunning();
    void closingTheWindowCancelsAndWaits();
    void allBytesFollowsSize();
    void workerOutcomes();

  private:
    template <typename T> T* Find(const char* name) const
    {
        T* widget = FForm->findChild<T*>(QString::fromLatin1(name));
        if (!widget) qFatal("no control %s", name);
        return widget;
    }
    void StartSlowSearch();

    TfrmMain* FForm = nullptr;
    TfrmProgress* FProgress = nullptr;
    TRecordingMessages FMessages;
    TSlowSearch* FSearch = nullptr;
};

void TestSearchWindow::init()
{
    FMessages = TRecordingMessages();
    FForm = new TfrmMain;
    FProgress = new TfrmProgress;
    FForm->SetProgressForm(FProgress);
    FForm->SetUserMessages(&FMessages);
    FSearch = new TSlowSearch;
    FForm->SetDuplicateSearch(FSearch->Function());
    FForm->resize(900, 600);
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm));
    Find<QListWidget>("lstDir")->addItem(QStringLiteral("/nowhere"));
}

void TestSearchWindow::cleanup()
{
    FSearch->Release = true;
    delete FForm; // waits for a search still running
    delete FProgress;
    delete FSearch;
}

void TestSearchWindow::StartSlowSearch()
{
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QVERIFY(FForm->SearchRunning());
    QTRY_VERIFY(FProgress->isVisible());
}

void TestSearchWindow::progressWindowPaintedWhileSearching()
{
    TPaintCounter barPaints;
    FProgress->Progress()->installEventFilter(&barPaints);
    TPaintCounter mainPaints;
    Find<QWidget>("StatusBar")->installEventFilter(&mainPaints);
    StartSlowSearch();
    QTRY_COMPARE(FProgress->Progress()->value(), 50);
    QTRY_VERIFY(barPaints.Count > 0); // painted while the search still runs
    // The bar shows its half: the chunk's colour on the left, the groove's
    // on the right.
    QProgressBar* bar = FProgress->Progress();
    const QImage image = bar->grab().toImage();
    const int y = image.height() / 2;
    QVERIFY(image.pixel(image.width() / 4, y) != image.pixel(image.width() * 3 / 4, y));
    QCOMPARE(FForm->StatusText(0), QStringLiteral("50%"));
    QCOMPARE(FForm->StatusText(1), QString()); // after "Clearing file list..."
    // The main window goes on painting and resizing.
    mainPaints.Count = 0;
    FForm->resize(800, 500);
    QTRY_VERIFY(mainPaints.Count > 0);
    QVERIFY(FForm->SearchRunning());
    FSearch->Release = true;
    QTRY_VERIFY(!FForm->SearchRunning());
    QVERIFY(!FProgress->isVisible());
    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QCOMPARE(FForm->StatusText(1),
             QStringLiteral("Total Files:2   Ctrl+Up=Prior group  Ctrl+Down=Next group"));
}

void TestSearchWindow::progressWindowHasNoCaptionButtons()
{
    const Qt::WindowFlags flags = FProgress->windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    for (Qt::WindowType hint : {Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint,
                                Qt::WindowMaximizeButtonHint, Qt::WindowCloseButtonHint})
        QVERIFY(!flags.testFlag(hint));
    QCOMPARE(FProgress->CancelButton()->text(), QStringLiteral("Cancel"));
}

void TestSearchWindow::controlsDisabledWhileRunning()
{
    // "CC" and "All bytes" start disabled (Size unticked) and must stay so.
    Find<QCheckBox>("ckName")->setChecked(true);
    Find<QCheckBox>("ckSize")->setChecked(false);
    StartSlowSearch();
    for (const char* name : kSearchControls)
        QVERIFY2(!Find<QWidget>(name)->isEnabled(), name);
    QVERIFY(!FForm->ListReady());
    QVERIFY(Find<QTreeView>("lvFiles")->isEnabled()); // the old list stays usable
    FSearch->Release = true;
    QTRY_VERIFY(!FForm->SearchRunning());
    for (const char* name : kSearchControls) {
        const bool contents = qstrcmp(name, "ckCC") == 0 || qstrcmp(name, "ckAllBytes") == 0;
        QVERIFY2(Find<QWidget>(name)->isEnabled() == !contents, name);
    }
    QVERIFY(FForm->ListReady());
}

void TestSearchWindow::cancelLeavesTheListAsItWas_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<bool>("clearFirst");
    QTest::newRow("button, while reading") << false << false;
    QTest::newRow("button, after the list was emptied") << false << true;
    QTest::newRow("Esc, after the list was emptied") << true << true;
}

void TestSearchWindow::cancelLeavesTheListAsItWas()
{
    QFETCH(bool, byEscape);
    QFETCH(bool, clearFirst);
    FSearch->ClearFirst = clearFirst;
    FForm->FileList()->SetRows({MakeRecord("old.jpg", 1), MakeRecord("old.jpg", 1, 202401021530, "/b")});
    auto* list = Find<QTreeView>("lvFiles");
    list->setCurrentIndex(FForm->FileList()->index(1, 0));
    FForm->SetStatusText(0, QStringLiteral("8%"), false);
    FForm->SetStatusText(1, QStringLiteral("Total Files:2"), false);
    StartSlowSearch();
    QTRY_COMPARE(FForm->StatusText(0), QStringLiteral("50%"));

    QElapsedTimer timer;
    timer.start();
    if (byEscape)
        QTest::keyClick(FProgress, Qt::Key_Escape);
    else
        QTest::mouseClick(FProgress->CancelButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!FForm->SearchRunning(), 1000);
    QVERIFY2(timer.elapsed() < 200, qPrintable(QString::number(timer.elapsed())));

    QCOMPARE(FForm->FileList()->rowCount(), 2);
    QCOMPARE(FForm->FileList()->Row(1).Name, std::string("old.jpg"));
    QCOMPARE(*FForm->FileList()->Row(1).Directory, std::string("/b"));
    QCOMPARE(list->currentIndex().row(), 1);
    QCOMPARE(FForm->StatusText(1), QStringLiteral("Search cancelled"));
    QCOMPARE(FForm->StatusText(0), QString()); // no percentage of a search that did not end
    QVERIFY(!FProgress->isVisible());
    QVERIFY(FForm->ListReady());
    QVERIFY(Find<QPushButton>("btnFindDuplicates")->isEnabled());
    QVERIFY(FMessages.Errors.isEmpty() && FMessages.ApplicationErrors.isEmpty());
}

void TestSearchWindow::secondSearchRefusedWhileRunning()
{
    StartSlowSearch();
    QTest::mouseClick(Find<QPushButton>("btnFindDuplicates"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("btnFindAll"), Qt::LeftButton);
    QTest::keyClick(Find<QLineEdit>("Edit1"), Qt::Key_Return);
    QCOMPARE(FSearch->Calls.load(), 1);
    QVERIFY(FMessages.Errors.isEmpty());
    FSearch->Release = true;
    QTRY_VERIFY(!FForm->SearchRunning());
    QCOMPARE(FSearch->Calls.load(), 1);
    QCOMPARE(FForm->FileList()->rowCount(), 2);
}

void TestSearchWindow::closingTheWindowCancelsAndWaits()
{
    FForm->FileList()->SetRows({MakeRecord("old.jpg", 1)});
    StartSlowSearch();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(FForm->close());
    QVERIFY(FSearch->Returned.load()); // the worker has ended before close returns
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(!FForm->SearchRunning());
    QVERIFY(!FProgress->isVisible());
    QCOMPARE(FForm->FileList()->rowCount(), 1);
}

void TestSearchWindow::allBytesFollowsSize()
{
    auto* size = Find<QCheckBox>("ckSize");
    auto* allBytes = Find<QCheckBox>("ckAllBytes");
    QCOMPARE(allBytes->text(), QStringLiteral("All bytes"));
    QCOMPARE(allBytes->toolTip(), QStringLiteral("Compare whole contents"));
    QVERIFY(!allBytes->isChecked());
    allBytes->setChecked(true);
    QVERIFY(FForm->Criteria().AllBytes);
    QVERIFY(FForm->Criteria().CompareAllBytes());
    QTest::mouseClick(size, Qt::LeftButton);
    QVERIFY(!allBytes->isEnabled());
    QVERIFY(!FForm->Criteria().CompareAllBytes()); // no effect without Size
    QTest::mouseClick(size, Qt::LeftButton);
    QVERIFY(allBytes->isEnabled());
}

void TestSearchWindow::workerOutcomes()
{
    TSearchWorker worker;
    QSignalSpy finished(&worker, &TSearchWorker::Finished);
    std::atomic<bool> release{false};
    QVERIFY(worker.Start([&](TDuplicateHost& host, std::vector<TFileRecord>& rows) {
        host.ClearFileList();
        rows.push_back(MakeRecord("a", 1));
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }));
    QVERIFY(!worker.Start([](TDuplicateHost&, std::vector<TFileRecord>&) { return true; }));
    release = true;
    QTRY_COMPARE(finished.count(), 1);
    TSearchWorker::TOutcome outcome = worker.TakeOutcome();
    QCOMPARE(outcome.End, TSearchWorker::TEnd::Completed);
    QVERIFY(outcome.ListCleared);
    QCOMPARE(outcome.Rows.size(), std::size_t(1));
    QCOMPARE(worker.TakeOutcome().End, TSearchWorker::TEnd::None); // taken once

    QVERIFY(worker.Start([](TDuplicateHost&, std::vector<TFileRecord>&) -> bool {
        throw EFileReadError("Cannot open file /x");
    }));
    QTRY_COMPARE(finished.count(), 2);
    outcome = worker.TakeOutcome();
    QCOMPARE(outcome.End, TSearchWorker::TEnd::Failed);
    QCOMPARE(outcome.ErrorText, QStringLiteral("Cannot open file /x"));
    QVERIFY(!outcome.ListCleared);

    QVERIFY(worker.Start([](TDuplicateHost&, std::vector<TFileRecord>&) { return false; }));
    QTRY_COMPARE(finished.count(), 3);
    QCOMPARE(worker.TakeOutcome().End, TSearchWorker::TEnd::Refused);
}

QTEST_MAIN(TestSearchWindow)
#include "tst_searchwindow.moc"
