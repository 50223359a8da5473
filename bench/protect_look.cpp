// A look at protected folders: lists the subfolders of a picture tree,
// protects the first through "Protect" in the directory list's menu, finds
// the duplicates and runs Select Duplicates with two keep rules, saving
// screenshots and printing what was selected. For Xvfb; not a test.
// usage: quorvane_protect_look TREE OUTDIR
#include "Application.h"
#include "LookTools.h"
#include "MainForm.h"
#include "ProgressForm.h"
#include "ProtectedFolders.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QTabWidget>
#include <QTreeView>
#include <cstdio>
#include <set>

using namespace quorvane;

namespace {

// What Select Duplicates left: selected rows, how many lie in the protected
// folder, and groups of two or more rows with nothing left unselected.
void Report(TfrmMain& form, const char* rule, const std::string& protectedFolder)
{
    auto* list = form.findChild<QTreeView*>(QStringLiteral("lvFiles"));
    const std::vector<TFileRecord>& rows = form.FileList()->Rows();
    std::set<int> selected;
    for (const QModelIndex& index : list->selectionModel()->selectedRows())
        selected.insert(index.row());
    const TProtectedFolders folders({protectedFolder});
    int selectedProtected = 0;
    int protectedRows = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool isProtected = folders.CoversRow(rows[i]);
        protectedRows += isProtected;
        selectedProtected += isProtected && selected.count(int(i));
    }
    std::printf("%s: %zu rows, %d in the protected folder, %zu selected, %d of them protected; panel 1: %s\n",
                rule, rows.size(), protectedRows, selected.size(), selectedProtected,
                qPrintable(form.StatusText(1)));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return 2;
    TApplication app(argc, argv);
    const QString tree = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    TfrmMain frmMain;
    TfrmProgress frmProgress;
    frmMain.SetProgressForm(&frmProgress);
    frmMain.resize(1100, 760);
    frmMain.show();
    look::Wait(300);
    auto* dirs = frmMain.findChild<QListWidget*>(QStringLiteral("lstDir"));
    for (const QString& name : QDir(tree).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        dirs->addItem(tree + QLatin1Char('/') + name);
    // Protect the first entry through the menu, as the user does.
    auto* menu = frmMain.findChild<QMenu*>(QStringLiteral("PopupMenu3"));
    dirs->setCurrentRow(0);
    const QPoint at = dirs->viewport()->mapToGlobal(QPoint(20, 5));
    menu->popup(at);
    look::Shoot(out + QStringLiteral("/menu3-before.png"));
    menu->hide();
    frmMain.findChild<QAction*>(QStringLiteral("miProtectItem"))->trigger();
    menu->popup(at);
    look::Shoot(out + QStringLiteral("/menu3-checked.png"));
    menu->hide();
    const std::string protectedFolder = QFile::encodeName(dirs->item(0)->text()).toStdString();

    frmMain.findChild<QAbstractButton*>(QStringLiteral("ckCC"))->setChecked(true);
    frmMain.findChild<QAbstractButton*>(QStringLiteral("btnFindDuplicates"))->click();
    while (frmMain.SearchRunning())
        look::Wait(50);
    dirs->setCurrentRow(1); // the protected entry unselected: green text
    auto* rule = frmMain.findChild<QComboBox*>(QStringLiteral("cbKeepRule"));
    auto* pages = frmMain.findChild<QTabWidget*>(QStringLiteral("pgOptions"));
    const std::pair<int, const char*> rules[] = {{0, "first"}, {5, "protected"}};
    for (const auto& [index, name] : rules) {
        rule->setCurrentIndex(index);
        frmMain.findChild<QAction*>(QStringLiteral("miSelectDuplicates"))->trigger();
        Report(frmMain, name, protectedFolder);
        pages->setCurrentIndex(1); // "More Options", where the rule is chosen
        look::Shoot(QStringLiteral("%1/select-%2.png").arg(out, QString::fromLatin1(name)));
    }
    dirs->setCurrentRow(0); // the protected entry selected: white on green
    frmMain.findChild<QAbstractButton*>(QStringLiteral("rbChinese"))->click();
    look::Shoot(out + QStringLiteral("/protected-selected-zh.png"));
    menu->popup(at);
    look::Shoot(out + QStringLiteral("/menu3-zh.png"));
    menu->hide();
    return 0;
}
