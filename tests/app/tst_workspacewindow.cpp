// Window tests of the directory area and the options store: the real
// TfrmMain driven by keys, clicks and menu actions on the offscreen
// platform, with recording message boxes and a fake directory picker. The
// settings file and the fixture tree live in a QTemporaryDir per test.
#include "../workspace/WorkspaceFakes.h"
#include "MainForm.h"
#include "WorkspaceWidgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <sys/stat.h>

namespace quorvane {

namespace {

const QString kNotADir = QStringLiteral("您沒有輸入目錄, 不然就是目錄名稱輸入錯誤!");

} // namespace

class TestWorkspaceWindow : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void enterInEdit1_data();
    void enterInEdit1();
    void plusButtonRunsThePicker();
    void plusButtonCancelled();
    void menuAddRunsThePlusSteps();
    void minusAndDeleteRemoveSelected_data();
    void minusAndDeleteRemoveSelected();
    void clearAndDeleteAllEmptyTheList();
    void clickCopiesTheEntry();
    void popupMenuEntriesAndEnabling();
    void firstStartShowsDesignStates();
    void storedOptionsRestoreThroughTheControls();
    void wrongTypeShowsTheErrorAndStops();
    void saveOptionsRoundTrip();
    void saveOptionsFailure();
    void pendingDirectoryJoinsTheSearch_data();
    void pendingDirectoryJoinsTheSearch();
    void folderPickerReportsTheChosenFolder();
    void undecodableDirectoryAddedSavedRestoredSearched();
    void protectEntrySavedAndRestored();

  private:
    void MakeForm(bool show = true);
    void WriteConf(const QByteArray& contents);
    template <typename T> T* Control(const char* name) const
    {
        T* control = FForm->findChild<T*>(QString::fromLatin1(name));
        if (!control) qFatal("no control %s", name);
        return control;
    }
    QStringList ListEntries() const;

    std::unique_ptr<QTemporaryDir> FTemp;
    QString FRoot;
    std::unique_ptr<TfrmMain> FForm;
    TRecordingMessages FMessages;
    TFakePicker* FPicker = nullptr;
};

void TestWorkspaceWindow::init()
{
    FTemp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTemp->isValid());
    FRoot = FTemp->filePath(QStringLiteral("tree"));
    for (const char* dir : {"Photos", "Photos/2019", "Pic", "data", "a", "b", "c", "d", "e"})
        QVERIFY(QDir().mkpath(FRoot + QLatin1Char('/') + QLatin1String(dir)));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       FTemp->filePath(QStringLiteral("config")));
    FMessages = TRecordingMessages();
}

void TestWorkspaceWindow::cleanup()
{
    FForm.reset();
    FTemp.reset();
}

void TestWorkspaceWindow::MakeForm(bool show)
{
    FForm = std::make_unique<TfrmMain>();
    FForm->SetUserMessages(&FMessages);
    auto picker = std::make_unique<TFakePicker>();
    FPicker = picker.get();
    FForm->SetDirectoryPicker(std::move(picker));
    if (show) {
        FForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
    }
}

void TestWorkspaceWindow::WriteConf(const QByteArray& contents)
{
    const QString path = QSettings(QStringLiteral("Marrowfen"), QStringLiteral("Quorvane")).fileName();
    QVERIFY(path.startsWith(FTemp->path()));
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QString text = QString::fromUtf8(contents);
    file.write(text.replace(QStringLiteral("@/"), FRoot + QLatin1Char('/')).toUtf8());
}

QStringList TestWorkspaceWindow::ListEntries() const
{
    auto* list = Control<QListWidget>("lstDir");
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}

void TestWorkspaceWindow::enterInEdit1_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("directory added") << "@/Pic" << QStringList{"@/Pic"} << QStringList();
    QTest::newRow("empty edit: not a directory") << "" << QStringList() << QStringList{kNotADir};
    QTest::newRow("checked as typed, blanks included") << " @/Pic" << QStringList() << QStringList{kNotADir};
}

void TestWorkspaceWindow::enterInEdit1()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, errors);
    MakeForm();
    typed.replace(QStringLiteral("@/"), FRoot + QLatin1Char('/'));
    entries.replaceInStrings(QStringLiteral("@/"), FRoot + QLatin1Char('/'));
    auto* edit = Control<QLineEdit>("Edit1");
    edit->setText(typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(ListEntries(), entries);
    QCOMPARE(FMessages.Errors, errors);
    QCOMPARE(edit->text(), typed); // the edit keeps its text
}

void TestWorkspaceWindow::plusButtonRunsThePicker()
{
    MakeForm();
    auto* edit = Control<QLineEdit>("Edit1");
    edit->setText(FRoot);
    FPicker->Chosen = FRoot + QStringLiteral("/Photos/Any File Name");
    QTest::mouseClick(Control<QPushButton>("btnAddDir"), Qt::LeftButton);
    QCOMPARE(FPicker->Runs, 1);
    QCOMPARE(FPicker->SeenInitialDir, FRoot);
    QCOMPARE(FPicker->SeenFileName, FRoot + QStringLiteral("/Any File Name"));
    QCOMPARE(ListEntries(), QStringList{FRoot + QStringLiteral("/Photos")});
    QCOMPARE(edit->text(), FRoot + QStringLiteral("/Photos"));
    // The picker keeps the chosen name until it is set again.
    QCOMPARE(FForm->OpenDialog().FileName, FPicker->Chosen);
    QVERIFY(FMessages.Silent());
}

void TestWorkspaceWindow::plusButtonCancelled()
{
    MakeForm();
    auto* edit = Control<QLineEdit>("Edit1");
    edit->setText(QStringLiteral("typed"));
    FPicker->Accept = false;
    QTest::mouseClick(Control<QPushButton>("btnAddDir"), Qt::LeftButton);
    QCOMPARE(FPicker->Runs, 1);
    QVERIFY(ListEntries().isEmpty());
    QCOMPARE(edit->text(), QStringLiteral("typed"));
    QVERIFY(FMessages.Silent());
}

void TestWorkspaceWindow::menuAddRunsThePlusSteps()
{
    MakeForm();
    FPicker->Chosen = FRoot + QStringLiteral("/Pic/x");
    FForm->findChild<QAction*>(QStringLiteral("miAddItem"))->trigger();
    QCOMPARE(FPicker->Runs, 1);
    QCOMPARE(ListEntries(), QStringList{FRoot + QStringLiteral("/Pic")});
}

void TestWorkspaceWindow::minusAndDeleteRemoveSelected_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("button -") << false;
    QTest::newRow("menu Delete") << true;
}

void TestWorkspaceWindow::minusAndDeleteRemoveSelected()
{
    QFETCH(bool, byMenu);
    MakeForm();
    auto* list = Control<QListWidget>("lstDir");
    list->addItems({"a", "b", "c", "d", "e"});
    for (int row : {0, 2, 3})
        list->item(row)->setSelected(true);
    if (byMenu) {
        FForm->findChild<QAction*>(QStringLiteral("miDelItems"))->trigger();
    } else {
        QTest::mouseClick(Control<QPushButton>("btnSubDir"), Qt::LeftButton);
    }
    QCOMPARE(ListEntries(), (QStringList{"b", "e"}));
    QVERIFY(FMessages.Silent());
}

void TestWorkspaceWindow::clearAndDeleteAllEmptyTheList()
{
    MakeForm();
    auto* list = Control<QListWidget>("lstDir");
    list->addItems({"a", "b"});
    QTest::mouseClick(Control<QPushButton>("btnClearDir"), Qt::LeftButton);
    QVERIFY(ListEntries().isEmpty());
    list->addItems({"c"});
    FForm->findChild<QAction*>(QStringLiteral("miDelAllItems"))->trigger();
    QVERIFY(ListEntries().isEmpty());
    QVERIFY(FMessages.Silent()); // no confirmation asked
}

void TestWorkspaceWindow::clickCopiesTheEntry()
{
    MakeForm();
    auto* list = Control<QListWidget>("lstDir");
    list->addItems({"/first", "/second", "/third"});
    auto* edit = Control<QLineEdit>("Edit1");
    edit->setText(QStringLiteral("whatever was typed"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    QCOMPARE(edit->text(), QStringLiteral("/second"));
}

void TestWorkspaceWindow::popupMenuEntriesAndEnabling()
{
    MakeForm();
    auto* menu = FForm->findChild<QMenu*>(QStringLiteral("PopupMenu3"));
    QVERIFY(menu);
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), 6);
    QCOMPARE(actions[0]->objectName(), QStringLiteral("miAddItem"));
    QVERIFY(actions[1]->isSeparator());
    QCOMPARE(actions[2]->objectName(), QStringLiteral("miDelItems"));
    QCOMPARE(actions[3]->objectName(), QStringLiteral("miDelAllItems"));
    QVERIFY(actions[4]->isSeparator());
    QCOMPARE(actions[5]->objectName(), QStringLiteral("miProtectItem"));

    auto* list = Control<QListWidget>("lstDir");
    list->addItems({"/a", "/b"});
    emit menu->aboutToShow();
    QVERIFY(!actions[2]->isEnabled());
    QVERIFY(actions[0]->isEnabled() && actions[3]->isEnabled());
    list->item(1)->setSelected(true);
    emit menu->aboutToShow();
    QVERIFY(actions[2]->isEnabled());
}

// "Protect" flips the current entry; its check mark follows the entry; the
// flag stays with its entry when another is removed, and is saved and
// restored with the keep rule "Protected".
void TestWorkspaceWindow::protectEntrySavedAndRestored()
{
    MakeForm();
    auto* menu = Control<QMenu>("PopupMenu3");
    auto* protect = Control<QAction>("miProtectItem");
    auto* list = Control<QListWidget>("lstDir");
    list->addItems({FRoot + "/data", FRoot + "/Pic", FRoot + "/Photos"});
    auto flags = [list] {
        QList<bool> protectedFlags;
        for (int i = 0; i < list->count(); ++i)
            protectedFlags << list->item(i)->data(kDirectoryProtectedRole).toBool();
        return protectedFlags;
    };
    list->setCurrentRow(-1);
    emit menu->aboutToShow();
    QVERIFY(!protect->isEnabled());
    list->setCurrentRow(1);
    emit menu->aboutToShow();
    QVERIFY(protect->isEnabled() && protect->isCheckable() && !protect->isChecked());
    protect->trigger();
    QCOMPARE(flags(), (QList<bool>{false, true, false}));
    list->setCurrentRow(2);
    emit menu->aboutToShow();
    QVERIFY(!protect->isChecked());
    protect->trigger();
    protect->trigger(); // twice: unprotected again
    list->setCurrentRow(1);
    emit menu->aboutToShow();
    QVERIFY(protect->isChecked());
    QCOMPARE(flags(), (QList<bool>{false, true, false}));
    // Removing "data" moves "Pic" up; its flag goes with it.
    list->clearSelection();
    list->item(0)->setSelected(true);
    Control<QAction>("miDelItems")->trigger();
    QCOMPARE(ListEntries(), (QStringList{FRoot + "/Pic", FRoot + "/Photos"}));
    QCOMPARE(flags(), (QList<bool>{true, false}));
    Control<QRadioButton>("rbChinese")->click();
    QCOMPARE(protect->text(), QStringLiteral("保護"));
    auto* rule = Control<QComboBox>("cbKeepRule");
    QCOMPARE(rule->itemText(5), QStringLiteral("受保護的資料夾"));
    QCOMPARE(rule->itemText(6), QStringLiteral("最早拍攝的"));
    Control<QRadioButton>("rbEnglish")->click();
    QCOMPARE(protect->text(), QStringLiteral("Protect"));
    QCOMPARE(rule->itemText(5), QStringLiteral("Protected"));
    // The newest rule is saved as the next number and comes back.
    QCOMPARE(rule->count(), 7);
    QCOMPARE(rule->itemText(6), QStringLiteral("Oldest photo"));
    rule->setCurrentIndex(6);
    QTest::mouseClick(Control<QPushButton>("btnSaveOptions"), Qt::LeftButton);
    QCOMPARE(FMessages.Informations.size(), 1);

    MakeForm(); // a later start
    QCOMPARE(ListEntries(), (QStringList{FRoot + "/Pic", FRoot + "/Photos"}));
    QCOMPARE(Control<QListWidget>("lstDir")->item(0)->data(kDirectoryProtectedRole).toBool(), true);
    QCOMPARE(Control<QListWidget>("lstDir")->item(1)->data(kDirectoryProtectedRole).toBool(), false);
    QCOMPARE(Control<QComboBox>("cbKeepRule")->currentIndex(), 6);
    // "C" clears the list, flags and all; an entry added again is unprotected.
    Control<QPushButton>("btnClearDir")->click();
    Control<QListWidget>("lstDir")->addItem(FRoot + "/Pic");
    QVERIFY(!Control<QListWidget>("lstDir")->item(0)->data(kDirectoryProtectedRole).toBool());
}

void TestWorkspaceWindow::firstStartShowsDesignStates()
{
    MakeForm();
    for (const char* name :
         {"ckSize", "ckInclude", "ckPreview", "ckShowSlides", "raDblClick", "rbHalf", "rbEnglish"})
        QVERIFY2(Control<QAbstractButton>(name)->isChecked(), name);
    for (const char* name : {"ckName", "ckCC", "ckTime", "raClick", "rbFullSize", "rbQuarter", "rbEighth",
                             "ckNoConfirm", "ckNoRecycle", "rbChinese"})
        QVERIFY2(!Control<QAbstractButton>(name)->isChecked(), name);
    QVERIFY(Control<QWidget>("ckCC")->isEnabled());
    QCOMPARE(Control<QLineEdit>("edTime")->text(), QStringLiteral("200"));
    QVERIFY(ListEntries().isEmpty());
    QVERIFY(FMessages.Silent());
}

void TestWorkspaceWindow::storedOptionsRestoreThroughTheControls()
{
    WriteConf("ckSize=0\nckCC=1\nckAllBytes=1\nraDblClick=0\nraClick=1\nedTime=350\nrbHalf="
              "0\nrbEighth=1\n"
              "rbEnglish=0\nrbChinese=1\nDir1=@/Pic\nDir3=@/PHOTOS\nDir4=@/"
              "Photos\nDir5=@/gone\n");
    QVERIFY(QDir().mkpath(FRoot + QStringLiteral("/PHOTOS")));
    MakeForm();
    QVERIFY(!Control<QAbstractButton>("ckSize")->isChecked());
    QVERIFY(Control<QAbstractButton>("ckCC")->isChecked());
    QVERIFY(!Control<QWidget>("ckCC")->isEnabled()); // "Size" unchecked disables "CC"
    QVERIFY(Control<QAbstractButton>("ckAllBytes")->isChecked());
    QVERIFY(!Control<QWidget>("ckAllBytes")->isEnabled()); // and "All bytes"
    QVERIFY(Control<QAbstractButton>("raClick")->isChecked());
    QVERIFY(!Control<QAbstractButton>("raDblClick")->isChecked());
    QCOMPARE(Control<QLineEdit>("edTime")->text(), QStringLiteral("350"));
    QVERIFY(Control<QAbstractButton>("rbEighth")->isChecked());
    QVERIFY(!Control<QAbstractButton>("rbHalf")->isChecked());
    QVERIFY(Control<QAbstractButton>("rbChinese")->isChecked());
    QVERIFY(!Control<QAbstractButton>("rbEnglish")->isChecked());
    // Letter case makes another directory on Linux.
    QCOMPARE(ListEntries(), (QStringList{FRoot + "/Pic", FRoot + "/PHOTOS", FRoot + "/Photos"}));
    QVERIFY(FMessages.Silent());
}

void TestWorkspaceWindow::wrongTypeShowsTheErrorAndStops()
{
    WriteConf("ckName=1\nckTime=abc\nckInclude=0\nDir1=@/Pic\n");
    MakeForm();
    QCOMPARE(FMessages.ApplicationErrors, QStringList{"Invalid data type for 'ckTime'"});
    QVERIFY(Control<QAbstractButton>("ckName")->isChecked());
    QVERIFY(Control<QAbstractButton>("ckInclude")->isChecked()); // never reached
    QVERIFY(ListEntries().isEmpty());
    QVERIFY(FForm->isVisible());
}

void TestWorkspaceWindow::saveOptionsRoundTrip()
{
    MakeForm();
    Control<QAbstractButton>("ckName")->setChecked(true);
    Control<QAbstractButton>("ckSize")->setChecked(false);
    Control<QAbstractButton>("raClick")->setChecked(true);
    Control<QAbstractButton>("rbQuarter")->setChecked(true);
    Control<QAbstractButton>("ckNoRecycle")->setChecked(true);
    Control<QLineEdit>("edTime")->setText(QStringLiteral("500"));
    Control<QListWidget>("lstDir")->addItems({FRoot + "/data", FRoot + "/Pic"});
    QTest::mouseClick(Control<QPushButton>("btnSaveOptions"), Qt::LeftButton);
    QCOMPARE(FMessages.Informations, QStringList{"恭禧您啦!您的設定值已經儲存"});
    QVERIFY(FMessages.ApplicationErrors.isEmpty());

    FMessages = TRecordingMessages();
    MakeForm(); // a later start
    QVERIFY(Control<QAbstractButton>("ckName")->isChecked());
    QVERIFY(!Control<QAbstractButton>("ckSize")->isChecked());
    QVERIFY(!Control<QWidget>("ckCC")->isEnabled());
    QVERIFY(Control<QAbstractButton>("raClick")->isChecked());
    QVERIFY(Control<QAbstractButton>("rbQuarter")->isChecked());
    QVERIFY(!Control<QAbstractButton>("rbHalf")->isChecked());
    QVERIFY(Control<QAbstractButton>("ckNoRecycle")->isChecked());
    QCOMPARE(Control<QLineEdit>("edTime")->text(), QStringLiteral("500"));
    QCOMPARE(ListEntries(), (QStringList{FRoot + "/data", FRoot + "/Pic"}));
    QVERIFY(FMessages.Silent());
}

void TestWorkspaceWindow::saveOptionsFailure()
{
    MakeForm();
    // A file where the settings folder must go: the store cannot be written.
    QFile blocker(FTemp->filePath(QStringLiteral("config/Marrowfen")));
    QVERIFY(QDir().mkpath(FTemp->filePath(QStringLiteral("config"))));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTest::mouseClick(Control<QPushButton>("btnSaveOptions"), Qt::LeftButton);
    QCOMPARE(FMessages.ApplicationErrors, QStringList{"Failed to set data for 'ckName'"});
    QVERIFY(FMessages.Informations.isEmpty());
}

void TestWorkspaceWindow::pendingDirectoryJoinsTheSearch_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("added");
    QTest::newRow("Find Duplicates with a typed directory") << "btnFindDuplicates"
                                                            << "@/Pic" << true;
    QTest::newRow("List All with a typed directory") << "btnFindAll"
                                                     << "@/Pic" << true;
    QTest::newRow("Find Duplicates with a blank edit") << "btnFindDuplicates"
                                                       << "   " << false;
    QTest::newRow("List All with an empty edit") << "btnFindAll"
                                                 << "" << false;
}

void TestWorkspaceWindow::pendingDirectoryJoinsTheSearch()
{
    QFETCH(QString, button);
    QFETCH(QString, typed);
    QFETCH(bool, added);
    MakeForm();
    typed.replace(QStringLiteral("@/"), FRoot + QLatin1Char('/'));
    Control<QLineEdit>("Edit1")->setText(typed);
    QTest::mouseClick(FForm->findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(ListEntries(), added ? QStringList{typed} : QStringList());
    QVERIFY(!FMessages.Errors.contains(kNotADir)); // a blank edit is not offered
}

void TestWorkspaceWindow::folderPickerReportsTheChosenFolder()
{
    TFolderPicker picker(nullptr);
    picker.Title = QStringLiteral("You can input any file name");
    picker.Filter = QStringLiteral("No need to change.|.___");
    picker.FileName = QStringLiteral("Any file name");
    picker.InitialDir = FRoot;
    QString seenTitle;
    QString seenDirectory;
    QStringList seenFilters;
    // The dialog is modal: answer it from the event loop it runs.
    int tries = 0;
    std::function<void()> answer = [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            if (!dialog || !dialog->isVisible()) continue;
            seenTitle = dialog->windowTitle();
            seenDirectory = dialog->directory().absolutePath();
            seenFilters = dialog->nameFilters();
            dialog->selectFile(FRoot + QStringLiteral("/Photos"));
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept checks the choice
            return;
        }
        if (++tries < 200) QTimer::singleShot(25, answer);
    };
    QTimer::singleShot(0, answer);
    QVERIFY(picker.Execute());
    QCOMPARE(seenTitle, QStringLiteral("You can input any file name"));
    QCOMPARE(seenDirectory, FRoot);
    QCOMPARE(seenFilters, QStringList{"No need to change. (.___)"});
    QCOMPARE(picker.FileName, FRoot + QStringLiteral("/Photos/Any File Name"));
}

void TestWorkspaceWindow::undecodableDirectoryAddedSavedRestoredSearched()
{
    const QByteArray bytes = QFile::encodeName(FRoot) + "/pics\xff";
    QCOMPARE(::mkdir(bytes.constData(), 0700), 0);
    std::FILE* file = std::fopen((bytes + "/a.jpg").constData(), "wb");
    QVERIFY(file);
    std::fclose(file);
    const QString shown = QFile::decodeName(bytes);

    MakeForm();
    auto* edit = Control<QLineEdit>("Edit1");
    edit->setText(shown);
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(FMessages.Errors.isEmpty());
    QCOMPARE(ListEntries(), QStringList{shown});
    QCOMPARE(Control<QListWidget>("lstDir")->item(0)->data(kDirectoryBytesRole).toByteArray(), bytes);
    QTest::mouseClick(Control<QPushButton>("btnSaveOptions"), Qt::LeftButton);

    MakeForm(); // a later start restores the very bytes
    QCOMPARE(Control<QListWidget>("lstDir")->item(0)->data(kDirectoryBytesRole).toByteArray(), bytes);
    QTest::mouseClick(Control<QPushButton>("btnFindAll"), Qt::LeftButton);
    QTRY_VERIFY(!FForm->SearchRunning());
    QCOMPARE(FForm->FileList()->rowCount(), 1);
    QCOMPARE(*FForm->FileList()->Row(0).Directory, bytes.toStdString());
}

} // namespace quorvane

QTEST_MAIN(quorvane::TestWorkspaceWindow)
#include "tst_workspacewindow.moc"
