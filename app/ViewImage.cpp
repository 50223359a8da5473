// TfrmViewer: frameless, black, caption "Image Viewer" (not visible).
#include "ViewImage.h"

namespace quorvane {

TfrmViewer::TfrmViewer(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmViewer"));
    setWindowTitle(QStringLiteral("Image Viewer"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}

} // namespace quorvane
