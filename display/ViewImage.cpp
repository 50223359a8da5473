// TfrmViewer: window set-up, showing and laying out pictures, stepping
// through the result list, panning by keys and drags, and closing. The rules
// are ViewerRules' plain functions; the deletion is in ViewImageDelete.cpp.
#include "ViewImage.h"

#include "AdvImage.h"
#include "HandCursor.h"
#include "PictureLoader.h"
#include "ViewerHost.h"
#include "ViewerRules.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <tuple>

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
    // The window takes the keys itself; its picture never takes the focus.
    setFocusPolicy(Qt::StrongFocus);
    setupImage();
    setupMenu();
    FormCreate();
}

void TfrmViewer::setupImage()
{
    Image = new TAdvImage(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setFocusPolicy(Qt::NoFocus);
    Image->SetColor(Qt::black);
    Image->SetStretchRatio(false);
    Image->SetCenterView(true);
    Image->SetShowEmptyLabel(false);
    Image->SetDevicePixelSize(true); // natural size in pixels of the screen
    Image->SetJPEGPixelFormat(TJPEGPixelFormat::jf24Bit);
    Image->SetJPEGScale(TJPEGScale::jsFullSize);
    Image->SetJPEGGrayscale(false);
    Image->SetJPEGPerformance(TJPEGPerformance::jpBestQuality);
    Image->SetJPEGProgressiveDisplay(true);
    connect(Image, &TAdvImage::OnImageLoaded, this, &TfrmViewer::ImageLoaded);
    // The menu comes on the right button's release, as on Windows, so that
    // a drag with the right button pans like one with any other button.
    Image->setContextMenuPolicy(Qt::PreventContextMenu);
    connect(Image, &TAdvImage::OnMouseDown, this,
            [this](TAdvImage*, Qt::MouseButton, Qt::KeyboardModifiers, QPoint at) {
                ImageMouseDown(Image->mapToGlobal(at));
            });
    connect(Image, &TAdvImage::OnMouseMove, this,
            [this](TAdvImage*, Qt::MouseButtons buttons, Qt::KeyboardModifiers, QPoint at) {
                // A release that went elsewhere ends the drag.
                if (buttons == Qt::NoButton)
                    FDragging = false;
                else
                    ImageMouseMove(Image->mapToGlobal(at));
            });
    connect(Image, &TAdvImage::OnMouseUp, this,
            [this](TAdvImage*, Qt::MouseButton button, Qt::KeyboardModifiers, QPoint at) {
                ImageMouseUp(button, Image->mapToGlobal(at));
            });
    connect(Image, &TAdvImage::OnDblClick, this, &TfrmViewer::ImageDblClick);
}

void TfrmViewer::setupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto addItem = [this](const char* name, const char* caption, void (TfrmViewer::*handler)()) {
        QAction* item = PopupMenu1->addAction(QString::fromLatin1(caption));
        item->setObjectName(QString::fromLatin1(name));
        connect(item, &QAction::triggered, this, handler);
        return item;
    };
    miNextImage = addItem("miNextImage", "Next Image     [PageDown]", &TfrmViewer::miNextImageClick);
    miPriorImage = addItem("miPriorImage", "Prior Image     [PageUp]", &TfrmViewer::miPriorImageClick);
    miFirstImage = addItem("miFirstImage", "First Image      [Home]", &TfrmViewer::miFirstImageClick);
    miLastImage = addItem("miLastImage", "Last Image      [End]", &TfrmViewer::miLastImageClick);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N3"));
    miDelete = addItem("miDelete", "Delete             [Del]", &TfrmViewer::miDeleteClick);
    const std::tuple<QAction**, const char*, const char*, EReplaceAction> replacements[] = {
        {&miReplaceHardLink, "miReplaceHardLink", "Replace with Hard Link", EReplaceAction::HardLink},
        {&miReplaceSymbolicLink, "miReplaceSymbolicLink", "Replace with Symbolic Link",
         EReplaceAction::SymbolicLink},
        {&miReplaceClone, "miReplaceClone", "Replace with Clone", EReplaceAction::Clone},
        {&miMoveToFolder, "miMoveToFolder", "Move to Folder...", EReplaceAction::Move}};
    for (const auto& [member, name, caption, action] : replacements) {
        *member = PopupMenu1->addAction(QString::fromLatin1(caption));
        (*member)->setObjectName(QString::fromLatin1(name));
        connect(*member, &QAction::triggered, this, [this, action = action] { ReplaceImage(action); });
    }
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N2"));
    miFitToScreen = PopupMenu1->addAction(QStringLiteral("Fit to Screen     [F]"));
    miFitToScreen->setObjectName(QStringLiteral("miFitToScreen"));
    miFitToScreen->setCheckable(true);
    connect(miFitToScreen, &QAction::triggered, this, &TfrmViewer::SetFitToScreen);
    miClose = addItem("miClose", "Close", &TfrmViewer::miCloseClick);
}

void TfrmViewer::FormCreate()
{
    FHandMove = HandMoveCursor();
    Image->setCursor(FHandMove);
}

void TfrmViewer::Open(const QString& path, QWidget* owner)
{
    Open(QFile::encodeName(path).toStdString(), owner);
}

void TfrmViewer::Open(const std::string& path, QWidget* owner)
{
    FPlaceInPlace = false;
    // Each opening starts at the kept choice: fitted, or natural size.
    FFit = FHost ? FHost->ViewerFit() : FFit;
    FZoom = 1.0;
    miFitToScreen->setChecked(FFit);
    QScreen* screen = owner && owner->screen() ? owner->screen() : QApplication::primaryScreen();
    AimFit(FCoverRect.isEmpty() ? screen->geometry().size() : FCoverRect.size());
    if (Image->NativeFileName() != path) Image->LoadFile(path);
    // A window that comes up is on top already; one that was up is raised.
    const bool wasVisible = isVisible();
    if (!FCoverRect.isEmpty()) {
        setGeometry(FCoverRect);
        show();
    } else {
        // The screen that holds the main window, not always the first one.
        if (isVisible() && this->screen() != screen) hide();
        setScreen(screen);
        setGeometry(screen->geometry());
        showFullScreen();
    }
    if (wasVisible) raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
    LayoutImage();
}

void TfrmViewer::AimFit(QSize client)
{
    Image->SetFitScreen(FFit ? client : QSize());
}

void TfrmViewer::LayoutImage()
{
    PlaceImage(ShownScale(), QPoint(), false);
}

double TfrmViewer::ShownScale() const
{
    return FFit ? ViewerFitScale(width(), height(), Image->DisplayWidth(), Image->DisplayHeight()) : FZoom;
}

void TfrmViewer::PlaceImage(double scale, QPoint anchor, bool keepAnchor)
{
    const bool natural = scale == 1.0;
    const auto extent = [scale, natural](int client, int picture) {
        return natural ? ViewerImageExtent(client, picture)
                       : std::max(1, static_cast<int>(std::lround(picture * scale)));
    };
    const int w = extent(width(), Image->DisplayWidth());
    const int h = extent(height(), Image->DisplayHeight());
    const int x = keepAnchor ? ViewerZoomPosition(Image->x(), Image->width(), w, width(), anchor.x())
                             : ViewerZoomPosition(0, w, w, width(), 0);
    const int y = keepAnchor ? ViewerZoomPosition(Image->y(), Image->height(), h, height(), anchor.y())
                             : ViewerZoomPosition(0, h, h, height(), 0);
    Image->SetFillControl(!natural);
    Image->setGeometry(x, y, w, h);
    Image->setCursor(ViewerNeedsHand(width(), height(), w, h) ? FHandMove : QCursor());
}

void TfrmViewer::SetFitToScreen(bool fit)
{
    FFit = fit;
    FZoom = 1.0;
    AimFit(size());
    miFitToScreen->setChecked(fit);
    if (FHost) FHost->SetViewerFit(fit);
    LayoutImage();
}

void TfrmViewer::ZoomImage(bool in, QPoint anchor)
{
    const double scale = ViewerZoomStep(ShownScale(), in);
    if (FFit) {
        FFit = false;
        AimFit(size());
        miFitToScreen->setChecked(false);
        if (FHost) FHost->SetViewerFit(false);
    }
    FZoom = scale;
    PlaceImage(scale, anchor, true);
}

void TfrmViewer::ShowNaturalSize()
{
    if (FFit) SetFitToScreen(false);
    FZoom = 1.0;
    LayoutImage();
}

QPoint TfrmViewer::ZoomAnchor() const
{
    // The mouse when it is over the window, else the window's centre.
    const QPoint mouse = mapFromGlobal(QCursor::pos());
    return rect().contains(mouse) ? mouse : rect().center();
}

void TfrmViewer::ShowPicture(const std::string& path)
{
    if (Image->NativeFileName() == path) return;
    // The old picture stays where it is until the new one comes; both the
    // picture and its layout change within the one event that brings it.
    FPlaceInPlace = false;
    AimFit(size());
    Image->LoadFile(path);
}

void TfrmViewer::ImageLoaded()
{
    if (FPlaceInPlace)
        PlaceFocusedInPlace();
    else
        LayoutImage();
    FPlaceInPlace = false;
    if (isVisible()) PrefetchNeighbours();
}

void TfrmViewer::PrefetchNeighbours()
{
    TPictureLoader& loader = Image->Loader();
    for (const std::uint64_t ticket : FPrefetches)
        loader.Cancel(ticket);
    FPrefetches.clear();
    if (!FHost) return;
    // The next and the prior picture, decoded as the viewer will show them.
    for (const EViewerStep step : {EViewerStep::Next, EViewerStep::Prior}) {
        const TViewerStepTarget target =
            FindViewerStep(FHost->ListRows(), FHost->ListFocusedRow(), Image->NativeFileName(), step);
        if (!target.Allowed || target.Row < 0) continue;
        const std::string path = FHost->ListRows()[static_cast<std::size_t>(target.Row)].FullPath();
        const TPictureRequest request = Image->RequestFor(path);
        if (request.Identity.Size >= 0 && !loader.Cached(request))
            FPrefetches.push_back(loader.Request(request, TPictureLoader::EPriority::Prefetch));
    }
}

bool TfrmViewer::ShowStep(EViewerStep step)
{
    if (!FHost) return false;
    const TViewerStepTarget target =
        FindViewerStep(FHost->ListRows(), FHost->ListFocusedRow(), Image->NativeFileName(), step);
    if (!target.Allowed) return false;
    if (target.Row >= 0) {
        // A copy: loading a GIF lets events run, which may change the rows.
        const std::string path = FHost->ListRows()[static_cast<std::size_t>(target.Row)].FullPath();
        ShowPicture(path);
        FHost->FocusListRow(target.Row);
    }
    FHost->DeselectListRows();
    if (FHost->ListFocusedRow() >= 0) FHost->ScrollToFocusedRow();
    return target.Row >= 0;
}

bool TfrmViewer::ShowNextImage()
{
    return ShowStep(EViewerStep::Next);
}

bool TfrmViewer::ShowPriorImage()
{
    return ShowStep(EViewerStep::Prior);
}

bool TfrmViewer::ShowFirstImage()
{
    return ShowStep(EViewerStep::First);
}

bool TfrmViewer::ShowLastImage()
{
    return ShowStep(EViewerStep::Last);
}

void TfrmViewer::PanImage(int dx, int dy)
{
    dx = ClampPanDelta(Image->x(), Image->width(), width(), dx);
    dy = ClampPanDelta(Image->y(), Image->height(), height(), dy);
    // Scrolling moves Image with the pixels already drawn; only the strip
    // that comes into view is painted again.
    if (dx != 0 || dy != 0) scroll(dx, dy);
}

void TfrmViewer::ImageMouseDown(QPoint screenPosition)
{
    FDragging = true;
    FLastPos = screenPosition;
    FDownPos = screenPosition;
}

void TfrmViewer::ImageMouseMove(QPoint screenPosition)
{
    if (!FDragging) return;
    PanImage(screenPosition.x() - FLastPos.x(), screenPosition.y() - FLastPos.y());
    FLastPos = screenPosition;
}

void TfrmViewer::ImageMouseUp(Qt::MouseButton button, QPoint screenPosition)
{
    const bool wasDragging = FDragging;
    FDragging = false;
    // A right click that did not drag opens the menu.
    if (button == Qt::RightButton && wasDragging &&
        (screenPosition - FDownPos).manhattanLength() < QApplication::startDragDistance())
        PopupMenu1->popup(screenPosition);
}

void TfrmViewer::contextMenuEvent(QContextMenuEvent* event)
{
    // The menu key; mouse requests come through ImageMouseUp.
    if (event->reason() == QContextMenuEvent::Keyboard) PopupMenu1->popup(QCursor::pos());
}

void TfrmViewer::CloseViewer()
{
    FDragging = false;
    hide();
}

bool TfrmViewer::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const int a = ViewerKeyStep(width());
    const int b = ViewerKeyStep(height());
    switch (key) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        CloseViewer();
        break;
    case Qt::Key_Up:
        PanImage(0, b);
        break;
    case Qt::Key_Down:
        PanImage(0, -b);
        break;
    case Qt::Key_Left:
        PanImage(a, 0);
        break;
    case Qt::Key_Right:
        PanImage(-a, 0);
        break;
    case Qt::Key_PageUp:
        ShowPriorImage();
        break;
    case Qt::Key_PageDown:
        ShowNextImage();
        break;
    case Qt::Key_Home:
        ShowFirstImage();
        break;
    case Qt::Key_End:
        ShowLastImage();
        break;
    case Qt::Key_Delete:
        DeleteImage();
        break;
    case Qt::Key_F:
        SetFitToScreen(!FFit);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomImage(true, ZoomAnchor());
        break;
    case Qt::Key_Minus:
        ZoomImage(false, ZoomAnchor());
        break;
    case Qt::Key_1:
        ShowNaturalSize();
        break;
    case Qt::Key_X:
        if (!(modifiers & Qt::AltModifier)) return false;
        if (FHost) FHost->CloseMainWindow();
        break;
    default:
        return false;
    }
    return true;
}

void TfrmViewer::FormActivate()
{
    if (FActive) return;
    FActive = true;
    if (FHost) FHost->SetIgnoreListChange(true);
}

void TfrmViewer::FormDeactivate()
{
    // Once per activation: hiding and losing the activation both end up here.
    if (!FActive) return;
    FActive = false;
    if (!FHost) return;
    FHost->SetIgnoreListChange(false);
    FHost->ListChanged();
}

bool TfrmViewer::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        // Before the controls and before Tab's focus move.
        auto* key = static_cast<QKeyEvent*>(event);
        if (FormKeyDown(key->key(), key->modifiers())) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::WindowActivate:
        FormActivate();
        break;
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
        FormDeactivate();
        break;
    case QEvent::Resize:
        LayoutImage();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TfrmViewer::mouseDoubleClickEvent(QMouseEvent*)
{
    ImageDblClick();
}

} // namespace quorvane
