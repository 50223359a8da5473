// TfrmViewer: the frameless black window that shows one picture over the
// whole screen of the main window, at its natural size, shrunk to fit the
// screen (F) or zoomed (+, -, 1 for natural size); pans it, steps through
// the result list's pictures and deletes the shown file.
// Invariant: at natural size Image is never smaller than the client area;
// at any size its edges never come inside the window where it is larger
// than the window, and it is centred where it is not.
#pragma once

#include "Replace.h"
#include "ViewerRules.h"

#include <QCursor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace quorvane {

class IViewerHost;
class TAdvImage;

class TfrmViewer : public QWidget {
    Q_OBJECT

  public:
    explicit TfrmViewer(QWidget* parent = nullptr);

    // The main window's side of the viewer; the viewer acts on nothing else.
    void SetHost(IViewerHost* host) { FHost = host; }
    TAdvImage* Picture() const { return Image; }
    QMenu* PopupMenu() const { return PopupMenu1; }
    QCursor HandCursor() const { return FHandMove; }
    // The rectangle the viewer covers instead of the owner's screen (tests
    // fix the client size with it); an empty rectangle restores the screen.
    void SetCoverRect(const QRect& rect) { FCoverRect = rect; }

    // Loads path unless it is already shown, covers the owner's screen,
    // becomes the active window and lays the picture out from the top-left.
    void Open(const QString& path, QWidget* owner);
    // The same for a file named by a row's exact path bytes.
    void Open(const std::string& path, QWidget* owner);
    // Lays Image out afresh at the scale shown: at natural size at (0, 0),
    // at least as large as the client area; fitted or zoomed, centred where
    // it fits and from the top-left where it does not.
    void LayoutImage();
    // Fit to screen, on or off (F, the menu); the choice is kept by the host.
    void SetFitToScreen(bool fit);
    bool FitToScreen() const { return FFit; }
    // One step of the zoom ladder in or out, keeping the picture's point
    // under anchor (client coordinates) where it is; ends fit to screen.
    void ZoomImage(bool in, QPoint anchor);
    // Natural size again (1).
    void ShowNaturalSize();
    // The scale the picture is shown at (1: natural size).
    double ShownScale() const;

    void ShowPicture(const std::string& path);
    bool ShowNextImage();
    bool ShowPriorImage();
    bool ShowFirstImage();
    bool ShowLastImage();
    void PanImage(int dx, int dy);
    // The delete sequence of Del and "Delete": the shown file's row is
    // deleted through the list's own deletion (its checks and questions,
    // asked over the viewer); once it is gone, the viewer shows the picture
    // that took its place, the next or prior one, or closes.
    void DeleteImage();
    // The list's replacement of the shown file (ViewImageDelete.cpp).
    void ReplaceImage(EReplaceAction action);
    void CloseViewer();

  protected:
    bool event(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void setupImage();
    void setupMenu();
    void FormCreate();
    void FormActivate();
    void FormDeactivate();
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void ImageMouseDown(QPoint screenPosition);
    void ImageMouseMove(QPoint screenPosition);
    void ImageMouseUp(Qt::MouseButton button, QPoint screenPosition);
    void ImageDblClick() { CloseViewer(); }
    void miNextImageClick() { ShowNextImage(); }
    void miPriorImageClick() { ShowPriorImage(); }
    void miFirstImageClick() { ShowFirstImage(); }
    void miLastImageClick() { ShowLastImage(); }
    void miDeleteClick() { DeleteImage(); }
    void miCloseClick() { CloseViewer(); }
    bool ShowStep(EViewerStep step);
    void PlaceImage(double scale, QPoint anchor, bool keepAnchor);
    QPoint ZoomAnchor() const;
    void ShowFocusedInPlace(const std::string& path);
    void PlaceFocusedInPlace();
    // Loads from now on bring a copy fitted to a client of this size while
    // the viewer fits pictures to the screen.
    void AimFit(QSize client);
    // The shown picture came: laid out, and its neighbours asked for ahead.
    void ImageLoaded();
    void PrefetchNeighbours();
    // After the shown file is gone: true when no focused picture was shown
    // in its place.
    bool AfterShownFileGone();
    // The row of the shown file when a command may act on it now (no search
    // or check running, no name edited, a row lists the file), else -1.
    std::ptrdiff_t ActionableShownRow() const;
    // What follows once the shown file's row was acted on: gone, the viewer
    // shows the picture that took its place, the next or prior, or closes.
    std::function<void(bool gone)> AfterShownFileActedOn();

    TAdvImage* Image = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* miNextImage = nullptr;
    QAction* miPriorImage = nullptr;
    QAction* miFirstImage = nullptr;
    QAction* miLastImage = nullptr;
    QAction* miDelete = nullptr;
    QAction* miReplaceHardLink = nullptr;
    QAction* miReplaceSymbolicLink = nullptr;
    QAction* miReplaceClone = nullptr;
    QAction* miMoveToFolder = nullptr;
    QAction* miClose = nullptr;
    QAction* miFitToScreen = nullptr;
    bool FFit = false;
    double FZoom = 1.0; // while not fitted

    IViewerHost* FHost = nullptr;
    QCursor FHandMove;
    QRect FCoverRect;
    bool FDragging = false;
    QPoint FLastPos;
    QPoint FDownPos;
    bool FActive = false;
    bool FPlaceInPlace = false; // the picture under way keeps the deleted one's place
    std::vector<std::uint64_t> FPrefetches;
};

} // namespace quorvane
