// Window tests of the two interface languages: the texts of the running
// widgets in both languages, switching back and forth, the About box and
// the logo link, and the folder chooser leaving no history file behind.
#include "../workspace/WorkspaceFakes.h"
#include "Application.h"
#include "MainForm.h"
#include "OpenWithDialog.h"
#include "ProgressForm.h"
#include "SelectionSummary.h"
#include "ViewImage.h"
#include "WorkspaceWidgets.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace quorvane {

namespace {

class TRecordingShell : public IShellOpen {
  public:
    QStringList Files;
    bool ShellOpen(const std::string& file, const std::string&) override
    {
        Files.append(QString::fromStdString(file));
        return true;
    }
};

} // namespace

class TestLanguages : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void textsOfTheRunningWidgets_data();
    void textsOfTheRunningWidgets();
    void fontPickerAndWindowTexts();
    void chineseTextFallsBackToMing_data();
    void chineseTextFallsBackToMing();
    void switchingKeepsTheState();
    void textsBesideTheControls();
    void optionPagesFitTheirTexts_data();
    void optionPagesFitTheirTexts();
    void messagesStayChinese();
    void aboutBox();
    void logoLink_data();
    void logoLink();
    void folderChooserKeepsNoHistory();

  private:
    // The caption or hint of a control, found by objectName in a window.
    QString TextOf(const QString& window, const QString& object, const QString& kind) const;

    std::unique_ptr<QTemporaryDir> FTemp;
    std::unique_ptr<TfrmMain> FForm;
    std::unique_ptr<TfrmViewer> FViewer;
    std::unique_ptr<TfrmProgress> FProgress;
    TRecordingMessages FMessages;
    TRecordingShell FShell;
};

void TestLanguages::initTestCase()
{
    // The faces the program maps the design's fonts to, so widths are its own.
    InstallFontSubstitutions();
}

void TestLanguages::init()
{
    FTemp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTemp->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       FTemp->filePath(QStringLiteral("config")));
    FMessages = TRecordingMessages();
    FShell = TRecordingShell();
    FViewer = std::make_unique<TfrmViewer>();
    FProgress = std::make_unique<TfrmProgress>();
    FForm = std::make_unique<TfrmMain>();
    FForm->SetUserMessages(&FMessages);
    FForm->SetShell(&FShell);
    FForm->SetViewer(FViewer.get());
    FForm->SetProgressForm(FProgress.get());
    FForm->SetDirectoryPicker(std::make_unique<TFakePicker>());
    FForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
}

void TestLanguages::cleanup()
{
    FForm->SetLanguage(1);
    FForm.reset();
    FViewer.reset();
    FProgress.reset();
    FTemp.reset();
}

QString TestLanguages::TextOf(const QString& window, const QString& object, const QString& kind) const
{
    QWidget* root = window == u"frmViewer" ? static_cast<QWidget*>(FViewer.get()) : FForm.get();
    QObject* target = root->findChild<QObject*>(object);
    if (!target) return QStringLiteral("<missing %1>").arg(object);
    if (auto* action = qobject_cast<QAction*>(target))
        return kind == u"hint" ? action->toolTip() : action->text();
    auto* widget = qobject_cast<QWidget*>(target);
    if (kind == u"hint") return widget->toolTip();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    auto* tabs = FForm->findChild<QTabWidget*>(QStringLiteral("pgOptions"));
    return tabs->tabText(tabs->indexOf(widget));
}

void TestLanguages::textsOfTheRunningWidgets_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    const char* rows[][5] = {
        {"frmMain", "Label2", "caption", "Input directories to find duplicates:", "輸入要搜尋的目錄:"},
        {"frmMain", "btnAddDir", "hint", "Add Directory", "加入新的目錄"},
        {"frmMain", "btnSubDir", "hint", "Delete Directory", "取消您所選擇的目錄"},
        {"frmMain", "btnClearDir", "hint", "Delete All Directories", "取消所有目錄"},
        {"frmMain", "Edit1", "hint", "Input a directory", "輸入要搜尋的目錄"},
        {"frmMain", "lstDir", "hint", "Directories list", "您可以一次檢查多個目錄"},
        {"frmMain", "miAddItem", "caption", "Add", "新增"},
        {"frmMain", "miDelItems", "caption", "Delete", "刪除"},
        {"frmMain", "miDelAllItems", "caption", "Delete All", "刪除全部"},
        {"frmMain", "Label4", "hint", "About", "阿寶特"},
        {"frmMain", "lblVersion", "caption", "Version: 0.51", "版本: 0.51"},
        {"frmMain", "lblDate", "caption", "Date: 4/23/1998", "日期: 4/23/1998"},
        {"frmMain", "Image1", "hint", "Connect to my web page", "連到我的網頁"},
        {"frmMain", "btnFindDuplicates", "caption", "Find Duplicates", "找出重複"},
        {"frmMain", "btnFindDuplicates", "hint", "Find the duplicates in the directories",
         "開始搜尋重複的檔案"},
        {"frmMain", "btnFindAll", "caption", "List All", "列出所有"},
        {"frmMain", "btnFindAll", "hint", "List all files in the directories", "列出所有檔案"},
        {"frmMain", "tbsOptions", "caption", "Options", "選項"},
        {"frmMain", "ckName", "caption", "Name", "檔名"},
        {"frmMain", "ckName", "hint", "Compare names", "搜尋名稱重複的檔案"},
        {"frmMain", "ckSize", "caption", "Size", "大小"},
        {"frmMain", "ckSize", "hint", "Compare size", "搜尋相同大小的檔案"},
        {"frmMain", "ckCC", "caption", "CC", "內容"},
        {"frmMain", "ckCC", "hint", "Compare contents(Slower)", "比對檔案內容(較慢)"},
        {"frmMain", "ckAllBytes", "caption", "All bytes", "全部位元組"},
        {"frmMain", "ckAllBytes", "hint", "Compare whole contents", "比對檔案的全部內容"},
        {"frmMain", "ckTime", "caption", "Time", "時間"},
        {"frmMain", "ckTime", "hint", "Compare time", "搜尋相同時間的檔案"},
        {"frmMain", "ckInclude", "caption", "Include Subdirectories", "包含子目錄"},
        {"frmMain", "ckInclude", "hint", "", "搜尋時是否包含子目錄"},
        {"frmMain", "ckPreview", "caption", "Preview", "預覽"},
        {"frmMain", "ckPreview", "hint", "", "是否預覽圖片"},
        {"frmMain", "ckShowSlides", "caption", "Show Slides", "顯示幻燈片"},
        {"frmMain", "ckShowSlides", "hint", "", "是否顯示下面的幻燈片"},
        {"frmMain", "raDblClick", "caption", "Double click to action", "雙擊滑鼠開始動作"},
        {"frmMain", "raDblClick", "hint", "", "點兩下滑鼠預覽圖片或顯示幻燈片"},
        {"frmMain", "raClick", "caption", "Single click to action", "單擊滑鼠開始動作"},
        {"frmMain", "raClick", "hint", "", "點一下滑鼠預覽圖片或顯示幻燈片"},
        {"frmMain", "Label5", "caption", "Delay time:                    mSeconds",
         "動作前先等                 /1000 秒"},
        {"frmMain", "Label5", "hint", "Delay ?? milliseconds", "先等千分之 ?? 秒再載入圖片內容"},
        {"frmMain", "edTime", "hint", "Delay ?? milliseconds", "先等千分之 ?? 秒再載入圖片內容"},
        {"frmMain", "tbsMore", "caption", "More Options", "更多選項"},
        {"frmMain", "ckNoConfirm", "caption", "No confirmation", "不必確認"},
        {"frmMain", "ckNoConfirm", "hint", "File deletion", "刪除檔案時不必確認"},
        {"frmMain", "ckNoRecycle", "caption", "Don't use recycle bin", "不必丟資源回收筒"},
        {"frmMain", "ckNoRecycle", "hint", "File deletion", "真正刪除,不必丟到資源回收筒"},
        {"frmMain", "btnSaveOptions", "caption", "Save options", "儲存設定"},
        {"frmMain", "btnSaveOptions", "hint", "", "儲存設定值"},
        {"frmMain", "Image", "hint", "Double click to view in full size", "雙擊滑鼠可看原圖"},
        {"frmMain", "rbFullSize", "hint", "Image Scale", "選擇縮圖比例, 比例越小速度越快"},
        {"frmMain", "rbHalf", "hint", "Image Scale", "選擇縮圖比例, 比例越小速度越快"},
        {"frmMain", "rbQuarter", "hint", "Image Scale", "選擇縮圖比例, 比例越小速度越快"},
        {"frmMain", "rbEighth", "caption", "1/8(Faster)", "1/8(最快)"},
        {"frmMain", "rbEighth", "hint", "Image Scale", "選擇縮圖比例, 比例越小速度越快"},
        {"frmMain", "miView", "caption", "View Image In Full Size", "觀看原圖大小"},
        {"frmMain", "AdvImage1", "hint", "", "列出重複的圖(依據篩選條件而出現)"},
        {"frmMain", "AdvImage3", "hint", "", "列出重複的圖(依據篩選條件而出現)"},
        {"frmMain", "AdvImage5", "hint", "", "列出重複的圖(依據篩選條件而出現)"},
        {"frmMain", "miNextGroup", "caption", "Next Group [Ctrl+Down]", "下一組 [Ctrl+Down]"},
        {"frmMain", "miPriorGroup", "caption", "Prior Group [Ctrl+Up]", "上一組 [Ctrl+Up]"},
        {"frmMain", "miOpen", "caption", "Open", "開啟舊檔"},
        {"frmMain", "miViewFull", "caption", "View Image In Full Size", "觀看原圖大小"},
        {"frmMain", "miPreview", "caption", "Preview", "預覽"},
        {"frmMain", "miDelete", "caption", "Delete", "刪除"},
        {"frmMain", "ckSimilar", "caption", "Similar pictures", "相似圖片"},
        {"frmMain", "ckSimilar", "hint", "Find the same picture at another size or quality",
         "找出不同大小或品質的同一張圖片"},
        {"frmMain", "lblTolerance", "caption", "Tolerance:", "容許差異:"},
        {"frmMain", "ckMoreFormats", "caption", "More picture formats", "更多圖片格式"},
        {"frmMain", "ckTurnUpright", "caption", "Turn photos upright", "將相片轉正"},
        {"frmMain", "ckTurns", "caption", "Also turned or mirrored copies", "也找旋轉或鏡像的副本"},
        {"frmMain", "ckCrops", "caption", "Also cropped copies", "也找裁切過的副本"},
        {"frmMain", "ckSamePixels", "caption", "Same pixels", "像素完全相同"},
        {"frmMain", "ckColourSlides", "caption", "Colour slides", "彩色縮圖"},
        {"frmMain", "lbKeepRule", "caption", "Keep in each group:", "每組保留:"},
        {"frmMain", "btnOpenWith", "caption", "Open With...", "開啟程式..."},
        {"frmMain", "miSelectDuplicates", "caption", "Select Duplicates [Ctrl+D]", "選取重複檔案 [Ctrl+D]"},
        {"frmMain", "miInvertSelection", "caption", "Invert Selection", "反向選取"},
        {"frmViewer", "miNextImage", "caption", "Next Image     [PageDown]", "下一張     [PageDown]"},
        {"frmViewer", "miPriorImage", "caption", "Prior Image     [PageUp]", "上一張     [PageUp]"},
        {"frmViewer", "miFirstImage", "caption", "First Image      [Home]", "第一張     [Home]"},
        {"frmViewer", "miLastImage", "caption", "Last Image      [End]", "末一張     [End]"},
        {"frmViewer", "miDelete", "caption", "Delete             [Del]", "刪除         [Del]"},
        {"frmViewer", "miClose", "caption", "Close", "關閉"},
    };
    for (const auto& row : rows)
        QTest::addRow("%s %s %s", row[0], row[1], row[2])
            << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2])
            << QString::fromUtf8(row[3]) << QString::fromUtf8(row[4]);
}

void TestLanguages::textsOfTheRunningWidgets()
{
    QFETCH(QString, window);
    QFETCH(QString, object);
    QFETCH(QString, kind);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    QCOMPARE(TextOf(window, object, kind), english); // applied at the first show
    QTest::mouseClick(FForm->findChild<QAbstractButton*>(QStringLiteral("rbChinese")), Qt::LeftButton);
    QCOMPARE(TextOf(window, object, kind), chinese);
    QTest::mouseClick(FForm->findChild<QAbstractButton*>(QStringLiteral("rbEnglish")), Qt::LeftButton);
    QCOMPARE(TextOf(window, object, kind), english);
}

void TestLanguages::fontPickerAndWindowTexts()
{
    TDirectoryPicker& picker = FForm->OpenDialog();
    auto* cancel = FProgress->findChild<QAbstractButton*>(QStringLiteral("btnCancel"));
    const auto check = [&](int code, const char* family, int points, const char* fileName, const char* filter,
                           const char* title, const char* cancelText) {
        picker.FileName = QStringLiteral("/somewhere/Any File Name"); // as "+" leaves it
        FForm->SetLanguage(code);
        QCOMPARE(FForm->font().family(), QString::fromUtf8(family));
        QCOMPARE(FForm->font().pointSize(), points);
        QCOMPARE(FForm->windowTitle(), QStringLiteral("Quorvane"));
        QCOMPARE(picker.FileName, QString::fromUtf8(fileName));
        QCOMPARE(picker.Filter, QString::fromUtf8(filter));
        QCOMPARE(picker.Title, QString::fromUtf8(title));
        QCOMPARE(cancel->text(), QString::fromUtf8(cancelText));
    };
    check(2, "新細明體", 9, "任何檔名", "不必變更.|.___", "隨便打個檔名即可指定此目錄", "取消");
    check(7, "新細明體", 9, "任何檔名", "不必變更.|.___", "隨便打個檔名即可指定此目錄", "取消");
    check(1, "MS Sans Serif", 8, "Any file name", "No need to change.|.___", "You can input any file name",
          "Cancel");
    // Controls with fonts of their own keep them.
    QCOMPARE(FForm->findChild<QLabel*>(QStringLiteral("lblVersion"))->font().pixelSize(), 16);
}

void TestLanguages::chineseTextFallsBackToMing_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("latinFace");
    QTest::newRow("form font, English")
        << QStringLiteral("MS Sans Serif") << QStringLiteral("Liberation Sans");
    QTest::newRow("form font, Chinese") << QStringLiteral("新細明體") << QStringLiteral("AR PL UMing TW");
    const QFont standard = QGuiApplication::font();
    QTest::newRow("menus and message boxes") << standard.family() << QFontInfo(standard).family();
}

// Chinese text in any face the program uses is drawn in the Ming face, and
// the face's Latin letters stay its own.
void TestLanguages::chineseTextFallsBackToMing()
{
    QFETCH(QString, family);
    QFETCH(QString, latinFace);
    const QFont font(family, 9);
    QCOMPARE(QFontInfo(font).family(), latinFace);
    const QRawFont chinese = QRawFont::fromFont(font, QFontDatabase::TraditionalChinese);
    QVERIFY2(chinese.familyName().startsWith(QStringLiteral("AR PL UMing")),
             qPrintable(chinese.familyName()));
}

void TestLanguages::switchingKeepsTheState()
{
    auto* list = FForm->findChild<QListWidget*>(QStringLiteral("lstDir"));
    list->addItems({QStringLiteral("/a"), QStringLiteral("/b")});
    auto* ckName = FForm->findChild<QAbstractButton*>(QStringLiteral("ckName"));
    auto* ckPreview = FForm->findChild<QAbstractButton*>(QStringLiteral("ckPreview"));
    ckName->setChecked(true);
    ckPreview->setChecked(false);
    auto* pages = FForm->findChild<QTabWidget*>(QStringLiteral("pgOptions"));
    pages->setCurrentIndex(1);
    for (int code : {2, 1}) {
        FForm->SetLanguage(code);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), QStringLiteral("/b"));
        QVERIFY(ckName->isChecked());
        QVERIFY(!ckPreview->isChecked());
        QCOMPARE(pages->currentIndex(), 1);
        QCOMPARE(FForm->findChild<QAbstractButton*>(QStringLiteral("rbEnglish"))->isChecked(), true);
    }
}

// Texts that belong to no single control: the keep rule entries, the
// selection summary and the "Open With" dialog.
void TestLanguages::textsBesideTheControls()
{
    auto* rules = FForm->findChild<QComboBox*>(QStringLiteral("cbKeepRule"));
    const std::uint64_t bytes = 6012954214ull; // 5.6 GB
    for (int code : {2, 1, 2}) {
        FForm->SetLanguage(code);
        const bool chinese = code == 2;
        QCOMPARE(rules->itemText(1), chinese ? QStringLiteral("最新的") : QStringLiteral("Newest"));
        QCOMPARE(SelectionSummaryText(1234, bytes), chinese
                                                        ? QStringLiteral("已選取: 1,234 個檔案, 5.6 GB")
                                                        : QStringLiteral("Selected: 1,234 files, 5.6 GB"));
        TOpenWithDialog dialog(FForm.get());
        QCOMPARE(dialog.windowTitle(),
                 chinese ? QStringLiteral("開啟程式") : QStringLiteral("Open With programs"));
    }
}

void TestLanguages::optionPagesFitTheirTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 1;
    QTest::newRow("Chinese") << 2;
}

// Every control of the two option pages lies inside its page, overlaps no
// other (but the delay edit its label) and shows its whole text.
void TestLanguages::optionPagesFitTheirTexts()
{
    QFETCH(int, language);
    FForm->SetLanguage(language);
    for (const char* name : {"tbsOptions", "tbsMore"}) {
        auto* page = FForm->findChild<QWidget*>(QString::fromLatin1(name));
        auto* pages = FForm->findChild<QTabWidget*>(QStringLiteral("pgOptions"));
        pages->setCurrentWidget(page);
        QList<QWidget*> controls;
        for (QWidget* control : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (control->isVisibleTo(page)) controls.append(control);
        for (QWidget* control : controls) {
            const QString what = control->objectName();
            QVERIFY2(page->rect().contains(control->geometry()), qPrintable(what));
            if (auto* list = qobject_cast<QComboBox*>(control)) {
                QStyleOptionComboBox option;
                option.initFrom(list);
                const int field =
                    list->style()
                        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
                        .width();
                for (int k = 0; k < list->count(); ++k)
                    QVERIFY2(list->fontMetrics().horizontalAdvance(list->itemText(k)) <= field,
                             qPrintable(what + QLatin1Char(' ') + list->itemText(k)));
            }
            auto* button = qobject_cast<QAbstractButton*>(control);
            if (!button || qobject_cast<QPushButton*>(control)) continue;
            QStyleOptionButton option;
            option.initFrom(button);
            const auto element = qobject_cast<QRadioButton*>(control) ? QStyle::SE_RadioButtonContents
                                                                      : QStyle::SE_CheckBoxContents;
            const int room = button->style()->subElementRect(element, &option, button).width();
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) <= room, qPrintable(what));
        }
        for (qsizetype i = 0; i < controls.size(); ++i)
            for (qsizetype j = i + 1; j < controls.size(); ++j) {
                const QStringList pair{controls[i]->objectName(), controls[j]->objectName()};
                if (pair.contains(QStringLiteral("Label5"))) continue;
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(pair.join(QLatin1Char(' '))));
            }
    }
    // The label's text after the gap ends inside the page.
    auto* label = FForm->findChild<QLabel*>(QStringLiteral("Label5"));
    auto* upDown = FForm->findChild<QWidget*>(QStringLiteral("UpDown1"));
    const QString tail = label->text().section(QStringLiteral("  "), -1).trimmed();
    QVERIFY(!tail.isEmpty());
    QVERIFY2(upDown->geometry().right() + 3 + label->fontMetrics().horizontalAdvance(tail) <=
                 label->parentWidget()->width(),
             qPrintable(tail));
}

void TestLanguages::messagesStayChinese()
{
    FForm->SetLanguage(1);
    auto* edit = FForm->findChild<QLineEdit*>(QStringLiteral("Edit1"));
    edit->setText(FTemp->filePath(QStringLiteral("no-such-dir")));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(FMessages.Errors, QStringList{QStringLiteral("您沒有輸入目錄, 不然就是目錄名稱輸入錯誤!")});
}

void TestLanguages::aboutBox()
{
    for (int code : {1, 2}) {
        FForm->SetLanguage(code);
        FMessages = TRecordingMessages();
        QTest::mouseClick(FForm->findChild<QLabel*>(QStringLiteral("Label4")), Qt::LeftButton);
        QCOMPARE(FMessages.Informations.size(), 1);
        const QStringList lines = FMessages.Informations.constFirst().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0], QStringLiteral("Quorvane Version 0.51"));
        QCOMPARE(lines[1], QStringLiteral("Date:4/23/1998"));
        QVERIFY(lines[2].isEmpty() && lines[3].isEmpty() && lines[4].isEmpty());
        QVERIFY(lines[6].startsWith(u'[') && lines[6].endsWith(u']') && lines[6].contains(u'@'));
    }
}

void TestLanguages::logoLink_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("opened");
    QTest::newRow("nothing stored: nothing opens") << QString() << QStringList();
    QTest::newRow("web address opens")
        << "https://quorvane.invalid/download" << QStringList{"https://quorvane.invalid/download"};
    QTest::newRow("local program refused") << "file:///bin/sh" << QStringList();
    QTest::newRow("plain path refused") << "/usr/bin/xterm" << QStringList();
}

void TestLanguages::logoLink()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, opened);
    if (!stored.isEmpty())
        QSettings(QStringLiteral("Marrowfen"), QStringLiteral("Quorvane")).setValue("HomePage", stored);
    QTest::mouseClick(FForm->findChild<QLabel*>(QStringLiteral("Image1")), Qt::LeftButton);
    QCOMPARE(FShell.Files, opened);
}

void TestLanguages::folderChooserKeepsNoHistory()
{
    const QString config = FTemp->filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(config));
    TFolderPicker picker(nullptr);
    picker.InitialDir = FTemp->path();
    int tries = 0;
    std::function<void()> answer = [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            if (!dialog || !dialog->isVisible()) continue;
            dialog->selectFile(config);
            static_cast<QDialog*>(dialog)->accept();
            return;
        }
        if (++tries < 200) QTimer::singleShot(25, answer);
    };
    QTimer::singleShot(0, answer);
    QVERIFY(picker.Execute());
    QVERIFY(!QFile::exists(config + QStringLiteral("/QtProject.conf")));
    // The user's settings folder is in force again afterwards.
    QCOMPARE(QFileInfo(QSettings(QStringLiteral("Marrowfen"), QStringLiteral("Quorvane")).fileName())
                 .absolutePath(),
             config + QStringLiteral("/Marrowfen"));
}

} // namespace quorvane

QTEST_MAIN(quorvane::TestLanguages)
#include "tst_languages.moc"
