// TAdvImage: the picture control of the preview, the slides and the viewer.
// It loads one picture file by name (GIF through the program's own reader,
// JPEG through TJPEGImage decoded at the first paint, BMP and ICO through
// Qt's readers, WMF and EMF through the metafile player, the photo formats
// through the photo decoders) and paints it at natural size or shrunk to
// fit, on its parent's background. Photographs are drawn upright by their
// orientation tag while TurnUpright() holds.
// Invariant: Loading() is true exactly between OnImageLoading and
// OnImageLoaded, and a load asked for meanwhile is refused.
#pragma once

#include "JPEGTypes.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

class QPainter;

namespace quorvane {

class TGifFile;
class TJPEGImage;
class TMetafile;

class TAdvImage : public QWidget {
    Q_OBJECT

  public:
    explicit TAdvImage(QWidget* parent = nullptr);
    ~TAdvImage() override;

    // Loads the file (or empties the control for an empty name or a file that
    // is missing or cannot be read), raising OnImageLoading before and
    // OnImageLoaded after. Reports no error. Returns at once, doing nothing,
    // while a load of this control is already running (a GIF load lets
    // pending events run, which may ask for another load).
    void LoadImage(const QString& fileName);
    // The same for a file named by its exact path bytes, as a row holds them:
    // a name that is not UTF-8 is opened as it is, never re-encoded.
    void LoadFile(const std::string& nativePath);

    // The name given to the last load, whether or not it succeeded.
    QString FileName() const { return FFileName; }
    // The path bytes of the last load (what was opened).
    const std::string& NativeFileName() const { return FNativeName; }
    // The held picture's size measured right after the last load (a JPEG's
    // at the JPEGScale in force then); 0 x 0 when nothing is held.
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

    // JPEG settings: handed to each JPEG picture at its load; the picture
    // already held keeps the settings it was loaded with.
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
    static constexpr qint64 kMaxReaderPixels = qint64(1) << 28;
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
    struct THolder;

    void SettingChanged();
    void ClearPicture();
    void LoadFile(const std::string& nativePath, const QString& fileName);
    bool LoadPresentFile(const QString& fileName);
    // Both open FNativeName, the exact bytes of the load.
    void LoadGif();
    void LoadByExtension(const QString& extension);
    void MeasurePicture();
    void PaintEmpty(QPainter& painter);
    void PaintPicture(QPainter& painter, int width, int height);
    void PaintMetafile(QPainter& painter, const QRect& target);
    void PaintFilled(QPainter& painter);
    const QImage* DisplayImage();

    std::unique_ptr<THolder> FHolder;
    std::unique_ptr<TGifFile> FGif;
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
