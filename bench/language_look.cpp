// A look at the two interface languages: shows the main window (both
// options pages), the viewer's menu and the progress window in English and
// in Chinese and saves screenshots. For running under Xvfb; not a test.
// usage: quorvane_language_look OUTDIR
#include "Application.h"
#include "LookTools.h"
#include "MainForm.h"
#include "ProgressForm.h"
#include "ViewImage.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTabWidget>
#include <cstdio>

using namespace quorvane;

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    TApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    TfrmMain frmMain;
    TfrmProgress frmProgress;
    TfrmViewer frmViewer;
    frmMain.SetProgressForm(&frmProgress);
    frmMain.SetViewer(&frmViewer);
    frmMain.resize(1000, 640);
    frmMain.show();
    look::Wait(300);
    auto* pages = frmMain.findChild<QTabWidget*>(QStringLiteral("pgOptions"));
    for (int code : {1, 2}) {
        const QString tag = code == 1 ? QStringLiteral("en") : QStringLiteral("zh");
        // Through the language buttons, as the user chooses.
        frmMain
            .findChild<QAbstractButton*>(code == 1 ? QStringLiteral("rbEnglish")
                                                   : QStringLiteral("rbChinese"))
            ->click();
        // Captions wider than their control (clipped on screen).
        for (QWidget* widget : frmMain.findChildren<QWidget*>()) {
            if (!qobject_cast<QAbstractButton*>(widget) && !qobject_cast<QLabel*>(widget)) continue;
            if (!widget->isVisibleTo(&frmMain) || widget->sizeHint().width() <= widget->width()) continue;
            std::printf("%s: %s wants %d, has %d (right edge %d of parent %d)\n", qPrintable(tag),
                        qPrintable(widget->objectName()), widget->sizeHint().width(), widget->width(),
                        widget->x() + widget->sizeHint().width(), widget->parentWidget()->width());
        }
        const QFontMetrics metrics(frmMain.font());
        std::printf("%s: space %d, CJK %d\n", qPrintable(tag), metrics.horizontalAdvance(QLatin1Char(' ')),
                    metrics.horizontalAdvance(QStringLiteral("等")));
        for (int page : {0, 1}) {
            pages->setCurrentIndex(page);
            look::Shoot(QStringLiteral("%1/main-%2-page%3.png").arg(out, tag).arg(page));
        }
        frmProgress.show();
        frmProgress.move(20, 20);
        look::Shoot(QStringLiteral("%1/progress-%2.png").arg(out, tag));
        frmProgress.hide();
        for (const char* name : {"PopupMenu1", "PopupMenu2", "PopupMenu3"}) {
            auto* menu = frmMain.findChild<QMenu*>(QString::fromLatin1(name));
            menu->popup(QPoint(100, 100));
            look::Shoot(QStringLiteral("%1/%2-%3.png").arg(out, QString::fromLatin1(name), tag));
            menu->hide();
        }
        auto* viewerMenu = frmViewer.findChild<QMenu*>(QStringLiteral("PopupMenu1"));
        viewerMenu->popup(QPoint(100, 100));
        look::Shoot(QStringLiteral("%1/viewer-menu-%2.png").arg(out, tag));
        viewerMenu->hide();
    }
    frmMain.findChild<QAbstractButton*>(QStringLiteral("rbEnglish"))->click();
    return 0;
}
