// TAdvImage: the picture control of the preview, the slides and the viewer.
// It shows one decoded picture at natural size or shrunk to fit, on its
// parent's background. LoadFile asks the picture loader for the file (a
// picture the loader holds is shown at once) and shows the answer when it
// comes; the control itself never decodes.
// Invariant: Loading() is true exactly between OnImageLoading and
// OnImageLoaded; a load asked for meanwhile replaces the one under way, whose
// answer is then never shown, and the pair of events is raised once.
#pragma once

#include "JPEGTypes.h"
#include "PictureDecode.h"
#include "PictureLoader.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

class QPainter;

namespace quorvane {

class TAdvImage : public QWidget {
    Q_OBJECT

  public:
    explicit TAdvImage(QWidget* parent = nullptr);
    ~TAdvImage() override;

    // Shows the file (or empties the control for an empty name or a file that
    // is missing or cannot be read), raising OnImageLoading when the load
    // starts and OnImageLoaded when its picture is shown: at once for an
    // empty name or a picture the loader holds, else when the loader answers.
    // Reports no error. The picture shown until then stays.
    void LoadImage(const QString& fileName);
    // The same for a file named by its exact path bytes, as a row holds them:
    // a name that is not UTF-8 is opened as it is, never re-encoded.
    void LoadFile(const std::string& nativePath);
    // The request LoadFile would make for the file with the current settings
    // (what a prefetch asks for to find it in the cache later).
    TPictureRequest RequestFor(const std::string& nativePath) const;

    // The view side: marks a load under way (OnImageLoading, once) and shows
    // a decoded picture, which ends it (OnImageLoaded).
    void ShowLoading();
    void SetPicture(const TLoadedPicture& picture);

    // The loader of this control; nullptr is the shared one.
    void SetLoader(TPictureLoader* loader);
    TPictureLoader& Loader() const { return *FLoader; }
    void SetLoadPriority(TPictureLoader::EPriority priority) { FPriority = priority; }
    // The client size a viewer fits pictures into (invalid: not fitted):
    // loads then bring a copy at the fitted size along.
    void SetFitScreen(QSize client) { FFitScreen = client; }

    // The name given to the last load, whether or not it succeeded.
    QString FileName() const { return FFileName; }
    // The path bytes of the last load (what was opened).
    const std::string& NativeFileName() const { return FNativeName; }
    // The shown picture's size (a JPEG's at the JPEGScale of its load);
    // 0 x 0 when nothing is shown.
    int PictureWidth() const { return FPictureWidth; }
    int PictureHeight() const { return FPictureHeight; }
    bool Loading() const { return FLoading; }
    // True while a picture is held.
    bool HasPicture() const;

    // Background colour of the parts of the control the picture leaves.
    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);

    // Display settings: a change repaints at once from the held picture.
    bool GIFAnimate() const { return FGIFAnimate; }
    void SetGIFAnimate(bool value) { FGIFAnimate = value; }
    bool StretchRatio() const { return FStretchRatio; }
    void SetStretchRatio(bool value);
    bool CenterView() const { return FCenterView; }
    void SetCenterView(bool value);
    // When true, the picture is drawn over the whole control, larger or
    // smaller than its natural size; the caller gives the control the
    // picture's proportions (the viewer's fit and zoom).
    bool FillControl() const { return FFillControl; }
    void SetFillControl(bool value);
    bool ShowEmptyLabel() const { return FShowEmptyLabel; }
    void SetShowEmptyLabel(bool value);
    // When true, one picture pixel is one pixel of the screen even with a
    // scale factor above 1: the picture then takes DisplayWidth() x
    // DisplayHeight() of the control's own (logical) units. The viewer sets it.
    bool DevicePixelSize() const { return FDevicePixelSize; }
    void SetDevicePixelSize(bool value);
    // The picture's extent in the control's units: PictureWidth() and
    // PictureHeight(), divided by the screen's scale factor (rounded up) in
    // device-pixel mode.
    int DisplayWidth() const;
    int DisplayHeight() const;

    // JPEG settings: part of each load's request; the picture already shown
    // keeps the settings it was loaded with.
    TJPEGPixelFormat JPEGPixelFormat() const { return FJPEGPixelFormat; }
    void SetJPEGPixelFormat(TJPEGPixelFormat value);
    TJPEGScale JPEGScale() const { return FJPEGScale; }
    void SetJPEGScale(TJPEGScale value);
    bool JPEGGrayscale() const { return FJPEGGrayscale; }
    void SetJPEGGrayscale(bool value);
    TJPEGPerformance JPEGPerformance() const { return FJPEGPerformance; }
    void SetJPEGPerformance(TJPEGPerformance value);
    bool JPEGProgressiveDisplay() const { return FJPEGProgressiveDisplay; }
    void SetJPEGProgressiveDisplay(bool value) { FJPEGProgressiveDisplay = value; }
    bool JPEGSmoothing() const { return FJPEGSmoothing; }
    void SetJPEGSmoothing(bool value);
    bool JPEGProgressiveEncoding() const { return FJPEGProgressiveEncoding; }
    void SetJPEGProgressiveEncoding(bool value);
    TJPEGQualityRange JPEGCompressionQuality() const { return FJPEGCompressionQuality; }
    void SetJPEGCompressionQuality(TJPEGQualityRange value) { FJPEGCompressionQuality = value; }

    // Whether pictures are turned upright by their orientation tag (JPEG's
    // EXIF, the photo formats' tags and transforms), for every control of
    // the process; on unless switched off. Takes effect at the next load.
    static void SetTurnUpright(bool value);
    static bool TurnUpright();

    // Largest picture (width times height) a bitmap or icon file may declare;
    // a larger one leaves the control empty.
    static constexpr qint64 kMaxReaderPixels = quorvane::kMaxReaderPixels;
    // Largest metafile drawing kept as an image for repaints (64 MiB).
    static constexpr qint64 kMaxMetafileCachePixels = qint64(1) << 24;

  signals:
    void OnImageLoading(quorvane::TAdvImage* sender);
    void OnImageLoaded(quorvane::TAdvImage* sender);
    // The mouse events of the control, with the position in its coordinates.
    void OnMouseDown(quorvane::TAdvImage* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                     QPoint position);
    void OnMouseMove(quorvane::TAdvImage* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                     QPoint position);
    void OnMouseUp(quorvane::TAdvImage* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                   QPoint position);
    void OnDblClick(quorvane::TAdvImage* sender);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void SettingChanged();
    void PictureLoaded(std::uint64_t ticket, const TLoadedPicture& picture);
    void PaintEmpty(QPainter& painter);
    void PaintPicture(QPainter& painter, int width, int height);
    void PaintMetafile(QPainter& painter, const QRect& target);
    void PaintFilled(QPainter& painter);

    QPointer<TPictureLoader> FLoader;
    std::uint64_t FTicket = 0; // the request under way, 0 when none
    TPictureLoader::EPriority FPriority = TPictureLoader::EPriority::Focused;
    TLoadedPicture FPicture;
    QSize FFitScreen;
    QImage FScaled; // the picture shrunk to the last stretched target size, or a metafile played
    QString FFileName;
    std::string FNativeName;
    int FPictureWidth = 0;
    int FPictureHeight = 0;
    bool FLoading = false;

    QColor FColor = Qt::black;
    bool FGIFAnimate = false;
    bool FStretchRatio = false;
    bool FCenterView = false;
    bool FFillControl = false;
    bool FShowEmptyLabel = false;
    bool FDevicePixelSize = false;
    TJPEGPixelFormat FJPEGPixelFormat = TJPEGPixelFormat::jf24Bit;
    TJPEGScale FJPEGScale = TJPEGScale::jsFullSize;
    bool FJPEGGrayscale = false;
    TJPEGPerformance FJPEGPerformance = TJPEGPerformance::jpBestQuality;
    bool FJPEGProgressiveDisplay = false;
    bool FJPEGSmoothing = true;
    bool FJPEGProgressiveEncoding = false;
    TJPEGQualityRange FJPEGCompressionQuality = 90;
};

} // namespace quorvane
