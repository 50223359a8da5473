// A look at phone-like photos in the real main window under Xvfb: a
// similar-pictures search with "More picture formats" over the folder made
// by phone_look.sh, each group's first row focused (preview and slides),
// the slides again in colour, then each kind of photo in the viewer, fitted
// to the screen. Not a test: the screenshots are for looking.
// usage: quorvane_phone_look FOLDER OUTDIR
#include "AdvImage.h"
#include "LookTools.h"
#include "MainForm.h"
#include "ProgressForm.h"
#include "ViewImage.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <cstdio>

using namespace quorvane;

namespace {

QString Leaf(const QString& path)
{
    return path.section('/', -1);
}

void Describe(TfrmMain& form, const char* when)
{
    TAdvImage* preview = form.PreviewImage();
    std::printf("%s: preview %s, %d x %d%s; slides:", when, qPrintable(Leaf(preview->FileName())),
                preview->PictureWidth(), preview->PictureHeight(), preview->Loading() ? " (loading)" : "");
    for (int k = 1; k <= 5; ++k) {
        TAdvImage* slide = form.SlideImage(k);
        if (!slide->FileName().isEmpty())
            std::printf(" [%s %d x %d]", qPrintable(Leaf(slide->FileName())), slide->PictureWidth(),
                        slide->PictureHeight());
    }
    std::printf("\n  preview's tooltip: %s\n", qPrintable(preview->toolTip()));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString outdir = QString::fromLocal8Bit(argv[2]);
    TfrmMain form;
    TfrmProgress progress;
    form.SetProgressForm(&progress);
    TfrmViewer viewer;
    form.SetViewer(&viewer);
    form.resize(1500, 900);
    form.show();
    look::Wait(500);
    form.findChild<QRadioButton*>("raClick")->click();
    form.findChild<QLineEdit*>("edTime")->setText(QStringLiteral("0"));
    form.findChild<QCheckBox*>("ckSimilar")->setChecked(true);
    form.findChild<QCheckBox*>("ckMoreFormats")->setChecked(true);
    form.findChild<QLineEdit*>("Edit1")->setText(folder);
    form.findChild<QPushButton*>("btnFindDuplicates")->click();
    look::Wait(4000);
    auto* list = form.findChild<QTreeView*>("lvFiles");
    std::printf("%d rows:", form.FileList()->rowCount());
    for (int row = 0; row < form.FileList()->rowCount(); ++row)
        std::printf(" %s (group %u)", form.FileList()->Row(row).Name.c_str(),
                    form.FileList()->Row(row).Group);
    std::printf("\n");
    list->setFocus();
    int shot = 1;
    for (int row = 0; row < form.FileList()->rowCount(); ++row) {
        if (row > 0 && form.FileList()->Row(row).Group == form.FileList()->Row(row - 1).Group) continue;
        list->setCurrentIndex(form.FileList()->index(row, 0));
        look::Wait(2500);
        const QString name = Leaf(QString::fromStdString(form.FileList()->Row(row).FullPath()));
        Describe(form, qPrintable(QStringLiteral("group of %1").arg(name)));
        look::Shoot(outdir + QStringLiteral("/%1-group-%2.png").arg(shot++).arg(name), 200);
    }
    form.findChild<QCheckBox*>("ckColourSlides")->setChecked(true);
    look::Wait(2500);
    Describe(form, "colour slides");
    look::Shoot(outdir + QStringLiteral("/%1-colour-slides.png").arg(shot++), 200);
    for (int row = 0; row < form.FileList()->rowCount(); ++row) {
        const QString path = QString::fromStdString(form.FileList()->Row(row).FullPath());
        if (!path.endsWith(".heic") && !path.endsWith(".dng") && !path.endsWith("IMG_0001.jpg")) continue;
        list->setCurrentIndex(form.FileList()->index(row, 0));
        viewer.Open(path, &form);
        look::Wait(2500);
        if (!viewer.FitToScreen()) { // F, as the user would
            QKeyEvent press(QEvent::KeyPress, Qt::Key_F, Qt::NoModifier);
            QCoreApplication::sendEvent(&viewer, &press);
            look::Wait(1500);
        }
        std::printf("viewer: %s, picture %d x %d, fitted %d\n", qPrintable(Leaf(path)),
                    viewer.Picture()->PictureWidth(), viewer.Picture()->PictureHeight(),
                    int(viewer.FitToScreen()));
        look::Shoot(outdir + QStringLiteral("/%1-viewer-%2.png").arg(shot++).arg(Leaf(path)), 200);
        viewer.hide();
        look::Wait(300);
    }
    return 0;
}
