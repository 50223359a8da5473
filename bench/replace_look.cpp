// A look at replacing and moving duplicates in the real window (run under
// Xvfb with openbox; bench/replace_look.sh does it): three copies of one
// picture replaced by hard links of the first, their rows marked; then two
// copies moved to a folder and the move undone. Screenshots go to OUT; what
// the rows and the disk say after each step is printed.
//
//   quorvane_replace_look OUT
#include "DirectoryList.h"
#include "LookTools.h"
#include "MainForm.h"
#include "ProgressForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <sys/stat.h>

using namespace quorvane;
using quorvane::look::Shoot;
using quorvane::look::Wait;

namespace {

// The folder the move goes to, chosen without a dialog.
class TFixedFolder : public TDirectoryPicker {
  public:
    QString Folder;
    bool Execute() override
    {
        FileName = Folder + QStringLiteral("/x");
        return true;
    }
};

void Search(TfrmMain& form, const QString& folder)
{
    auto* dirs = form.findChild<QListWidget*>(QStringLiteral("lstDir"));
    dirs->clear();
    dirs->addItem(folder);
    form.findChild<QPushButton*>(QStringLiteral("btnFindDuplicates"))->click();
    while (form.SearchRunning())
        Wait(50);
    form.findChild<QAction*>(QStringLiteral("miSelectDuplicates"))->trigger();
    Wait(300);
}

void Trigger(TfrmMain& form, const char* name)
{
    form.findChild<QAction*>(QString::fromLatin1(name))->trigger();
    while (form.FileTaskRunning())
        Wait(50);
    Wait(300);
}

void PrintRows(TfrmMain& form)
{
    TFileListModel* model = form.FileList();
    for (int row = 0; row < model->rowCount(); ++row) {
        struct stat st {};
        ::stat(model->Row(row).FullPath().c_str(), &st);
        std::printf("  %-12s links %lu  tooltip: %s\n", model->Row(row).Name.c_str(),
                    static_cast<unsigned long>(st.st_nlink),
                    qPrintable(model->index(row, 0).data(Qt::ToolTipRole).toString()));
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    TfrmMain form;
    TfrmProgress progress;
    form.SetProgressForm(&progress);
    auto picker = std::make_unique<TFixedFolder>();
    TFixedFolder* folder = picker.get();
    form.SetDirectoryPicker(std::move(picker));
    form.setGeometry(0, 0, 1000, 700);
    form.show();
    Wait(800);
    form.findChild<QCheckBox*>(QStringLiteral("ckSize"))->setChecked(true);
    form.findChild<QCheckBox*>(QStringLiteral("ckCC"))->setChecked(true);
    form.findChild<QCheckBox*>(QStringLiteral("ckNoConfirm"))->setChecked(true);

    QTemporaryDir work;
    QDir(work.path()).mkpath(QStringLiteral("links"));
    QDir(work.path()).mkpath(QStringLiteral("moves/sub"));
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(QColor(40, 120, 200));
    for (const char* name :
         {"links/first.bmp", "links/second.bmp", "links/third.bmp", "moves/one.bmp", "moves/sub/two.bmp"})
        picture.save(work.filePath(QString::fromLatin1(name)), "BMP");

    Search(form, work.filePath(QStringLiteral("links")));
    std::printf("three copies, two selected:\n");
    PrintRows(form);
    Trigger(form, "miReplaceHardLink");
    std::printf("after Replace with Hard Link:\n");
    PrintRows(form);
    Shoot(out + QStringLiteral("/hard-links.png"));

    folder->Folder = work.filePath(QStringLiteral("moved"));
    QDir().mkpath(folder->Folder);
    Search(form, work.filePath(QStringLiteral("moves")));
    std::printf("two copies, one selected, moved to %s:\n", qPrintable(folder->Folder));
    Trigger(form, "miMoveToFolder");
    PrintRows(form);
    std::printf("  one.bmp in its place: %d, in the folder: %d\n",
                QFile::exists(work.filePath(QStringLiteral("moves/one.bmp"))),
                QFile::exists(folder->Folder + QStringLiteral("/one.bmp")));
    Shoot(out + QStringLiteral("/moved.png"));
    Trigger(form, "miUndoDelete");
    std::printf("after Undo Delete:\n");
    PrintRows(form);
    std::printf("  one.bmp in its place: %d, in the folder: %d\n",
                QFile::exists(work.filePath(QStringLiteral("moves/one.bmp"))),
                QFile::exists(folder->Folder + QStringLiteral("/one.bmp")));
    Shoot(out + QStringLiteral("/move-undone.png"));
    return 0;
}
