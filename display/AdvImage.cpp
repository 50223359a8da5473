// TAdvImage: loading by extension, the deferred JPEG decode and painting.
// The holder keeps at most one picture: a JPEG not yet decoded, a metafile,
// or a top-down raster image ready to draw (with a cached shrunk copy).
#include "AdvImage.h"

#include "GifUnit.h"
#include "JPEGImage.h"
#include "MetafileRenderer.h"
#include "Orientation.h"
#include "PaintGeometry.h"
#include "PathRules.h"
#include "PhotoDecoder.h"
#include "TMetafile.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QTransform>
#include <atomic>
#include <cmath>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

struct TAdvImage::THolder {
    std::unique_ptr<TJPEGImage> Jpeg; // loaded, decoded at the first paint
    std::optional<TMetafile> Metafile;
    QImage Source;                  // raster pictures, and a JPEG once decoded
    QImage Scaled;                  // Source shrunk to the last stretched target size
    int JpegOrientation = kUpright; // applied when the held JPEG is decoded

    bool Empty() const { return !Jpeg && !Metafile && Source.isNull(); }
    int Width() const
    {
        if (Jpeg) return OrientationSwapsSides(JpegOrientation) ? Jpeg->Height() : Jpeg->Width();
        if (Metafile) return Metafile->Width();
        return Source.width();
    }
    int Height() const
    {
        if (Jpeg) return OrientationSwapsSides(JpegOrientation) ? Jpeg->Width() : Jpeg->Height();
        if (Metafile) return Metafile->Height();
        return Source.height();
    }
};

namespace {

enum class TPictureKind { None, Raster, Jpeg, Metafile, Photo };

std::atomic<bool> GTurnUpright{true};

// The picture classes by lower-case extension, as the format registry knows
// them; GIF files never get here (the control reads them itself).
TPictureKind KindForExtension(const QString& extension)
{
    if (extension == u"bmp" || extension == u"ico") return TPictureKind::Raster;
    if (extension == u"jpg" || extension == u"jpeg" || extension == u"jpe") return TPictureKind::Jpeg;
    if (extension == u"wmf" || extension == u"emf") return TPictureKind::Metafile;
    // The photo formats only while the extra picture formats are on.
    if (MoreFormatsEnabled() && IsMoreFormatFile(("." + extension).toStdString()))
        return IsPhotoFileName(("." + extension).toStdString()) ? TPictureKind::Photo : TPictureKind::Raster;
    return TPictureKind::None;
}

// The file name's extension from its last dot, dot included ("" without one).
QString FileExtension(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

QImage DrawableImage(const QImage& image)
{
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

// A top-down copy of a bottom-up JPEG bitmap (24-bit BGR or 8-bit indexed).
QImage ImageFromJpegBitmap(const TJPEGBitmap& bitmap)
{
    if (bitmap.Empty()) return {};
    const auto rowBytes = static_cast<qsizetype>(bitmap.RowBytes());
    QImage view;
    if (bitmap.BitsPerPixel() == 8) {
        view = QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), rowBytes, QImage::Format_Indexed8);
        QList<QRgb> colors;
        colors.reserve(256);
        for (const TPaletteEntry& entry : bitmap.Palette)
            colors.append(qRgb(entry.Red, entry.Green, entry.Blue));
        while (colors.size() < 256)
            colors.append(qRgb(0, 0, 0));
        view.setColorTable(colors);
    } else {
        view = QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), rowBytes, QImage::Format_BGR888);
    }
    return view.convertToFormat(QImage::Format_RGB32).mirrored(false, true);
}

// image as the EXIF orientation says to draw it, by Qt's own turns.
QImage TurnedUpright(const QImage& image, int orientation)
{
    auto turned = [&](int degrees) { return image.transformed(QTransform().rotate(degrees)); };
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return turned(90).mirrored(true, false);
    case 6:
        return turned(90);
    case 7:
        return turned(270).mirrored(true, false);
    case 8:
        return turned(270);
    default:
        return image;
    }
}

QImage ImageFromPhoto(const TPhotoPicture& picture)
{
    const QImage view(picture.Rgba.data(), picture.Width, picture.Height, qsizetype(picture.Width) * 4,
                      picture.HasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    return DrawableImage(view);
}

QImage ImageFromGifBitmap(const TIndexedBitmap& bitmap)
{
    QImage view(bitmap.Bits(), static_cast<int>(bitmap.Width()), static_cast<int>(bitmap.Height()),
                static_cast<qsizetype>(bitmap.BytesPerLine()), QImage::Format_Indexed8);
    const auto& colors = bitmap.Colors();
    view.setColorTable(QList<QRgb>(colors.begin(), colors.end()));
    return view.convertToFormat(QImage::Format_RGB32);
}

std::string NativePath(const QString& fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

// True when the path names a regular file (a link is followed, as the
// readers open it).
bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// How many times smaller a JPEG scale draws a picture.
int ScaleDivisor(TJPEGScale scale)
{
    switch (scale) {
    case TJPEGScale::jsHalf:
        return 2;
    case TJPEGScale::jsQuarter:
        return 4;
    case TJPEGScale::jsEighth:
        return 8;
    case TJPEGScale::jsFullSize:
        break;
    }
    return 1;
}

} // namespace

TAdvImage::TAdvImage(QWidget* parent) : QWidget(parent), FHolder(std::make_unique<THolder>())
{
    // Draws on the parent's surface: what the control leaves unpainted shows
    // the parent's background (and caption).
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(false);
}

TAdvImage::~TAdvImage() = default;

void TAdvImage::SetTurnUpright(bool value)
{
    GTurnUpright.store(value, std::memory_order_relaxed);
}

bool TAdvImage::TurnUpright()
{
    return GTurnUpright.load(std::memory_order_relaxed);
}

bool TAdvImage::HasPicture() const
{
    return !FHolder->Empty();
}

void TAdvImage::LoadImage(const QString& fileName)
{
    LoadFile(NativePath(fileName), fileName);
}

void TAdvImage::LoadFile(const std::string& nativePath)
{
    LoadFile(nativePath, QFile::decodeName(QByteArray::fromStdString(nativePath)));
}

void TAdvImage::LoadFile(const std::string& nativePath, const QString& fileName)
{
    if (FLoading) return;
    FLoading = true;
    emit OnImageLoading(this);
    FFileName = fileName;
    FNativeName = nativePath;
    const bool present = !fileName.isEmpty() && IsRegularFile(FNativeName) && LoadPresentFile(fileName);
    if (!present) ClearPicture();
    MeasurePicture();
    // The JPEG decode falls here, inside the load, also for a hidden control.
    DisplayImage();
    repaint();
    FLoading = false;
    emit OnImageLoaded(this);
}

bool TAdvImage::LoadPresentFile(const QString& fileName)
{
    const QString extension = FileExtension(fileName).toUpper();
    try {
        if (extension == u".GIF")
            LoadGif();
        else
            LoadByExtension(extension.mid(1).toLower());
        return true;
    } catch (const std::exception&) {
        FGif.reset(); // nothing of a failed file is kept
        return false;
    }
}

void TAdvImage::LoadGif()
{
    // A fresh reader for each file: the frames of the last file are not kept.
    FGif = std::make_unique<TGifFile>();
    FGif->EventPump().SetHook([] { QCoreApplication::processEvents(); });
    FGif->OnParseBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    FGif->EventPump().RunNow();
    FGif->LoadFromFile(FNativeName);
    QImage image = ImageFromGifBitmap(*FGif->Image(1).Bitmap());
    FGif.reset();
    ClearPicture();
    FHolder->Source = std::move(image);
}

void TAdvImage::LoadByExtension(const QString& extension)
{
    ClearPicture();
    switch (KindForExtension(extension)) {
    case TPictureKind::None:
        return;
    case TPictureKind::Jpeg: {
        auto jpeg = std::make_unique<TJPEGImage>();
        jpeg->LoadFromFile(FNativeName);
        jpeg->SetPixelFormat(FJPEGPixelFormat);
        jpeg->SetScale(FJPEGScale);
        jpeg->SetGrayscale(FJPEGGrayscale);
        jpeg->SetPerformance(FJPEGPerformance);
        jpeg->SetProgressiveDisplay(FJPEGProgressiveDisplay);
        const auto& bytes = jpeg->Data()->Bytes;
        if (TurnUpright()) FHolder->JpegOrientation = ExifOrientationFromBytes(bytes.data(), bytes.size());
        FHolder->Jpeg = std::move(jpeg);
        return;
    }
    case TPictureKind::Photo:
        // A RAW's JPEG preview is decoded at the scale a JPEG file would be.
        FHolder->Source = ImageFromPhoto(
            DecodePhotoFile(FNativeName, TPhotoRequest{TurnUpright(), 0, ScaleDivisor(FJPEGScale)}));
        return;
    case TPictureKind::Metafile:
        FHolder->Metafile.emplace(TMetafile::FromFile(FNativeName, ScreenPixelsPerInch()));
        return;
    case TPictureKind::Raster: {
        // Opened by its own bytes: a name that is not UTF-8 would not
        // survive the trip through a QString.
        QFile file;
        const int fd = ::open(FNativeName.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0) ::close(fd);
            return;
        }
        QImageReader reader(&file, extension.toLatin1());
        reader.setAutoDetectImageFormat(false);
        const QSize size = reader.size();
        if (size.isValid() && qint64(size.width()) * size.height() > kMaxReaderPixels) return;
        const QImage image = reader.read();
        if (!image.isNull()) FHolder->Source = DrawableImage(image);
        return;
    }
    }
}

void TAdvImage::ClearPicture()
{
    FHolder = std::make_unique<THolder>();
}

void TAdvImage::MeasurePicture()
{
    try {
        FPictureWidth = FHolder->Width();
        FPictureHeight = FHolder->Height();
    } catch (const std::exception&) {
        ClearPicture();
        FPictureWidth = FPictureHeight = 0;
    }
}

// The raster image to draw, decoding a held JPEG first. A JPEG that fails
// part-way keeps the rows decoded before the fault; one that yields nothing
// leaves the control empty from the next paint on.
const QImage* TAdvImage::DisplayImage()
{
    THolder& holder = *FHolder;
    if (holder.Jpeg) {
        const TJPEGBitmap* bitmap = nullptr;
        try {
            bitmap = &holder.Jpeg->Bitmap();
        } catch (const std::exception&) {
            bitmap = holder.Jpeg->DecodedBitmap();
        }
        if (bitmap) holder.Source = TurnedUpright(ImageFromJpegBitmap(*bitmap), holder.JpegOrientation);
        holder.Jpeg.reset();
        holder.JpegOrientation = kUpright;
    }
    return holder.Source.isNull() ? nullptr : &holder.Source;
}

void TAdvImage::SetDevicePixelSize(bool value)
{
    if (FDevicePixelSize == value) return;
    FDevicePixelSize = value;
    update();
}

namespace {

// Pixels of the screen to units of the control, rounded up so that the
// whole picture stays inside the extent.
int LogicalExtent(int pixels, qreal ratio)
{
    if (ratio <= 1.0 || pixels <= 0) return pixels;
    return static_cast<int>(std::ceil(pixels / ratio - 1e-9));
}

} // namespace

int TAdvImage::DisplayWidth() const
{
    return FDevicePixelSize ? LogicalExtent(FPictureWidth, devicePixelRatioF()) : FPictureWidth;
}

int TAdvImage::DisplayHeight() const
{
    return FDevicePixelSize ? LogicalExtent(FPictureHeight, devicePixelRatioF()) : FPictureHeight;
}

void TAdvImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = FHolder->Empty() ? 0 : FHolder->Width();
    if (w <= 0) {
        if (!FHolder->Empty()) ClearPicture();
        PaintEmpty(painter);
        return;
    }
    PaintPicture(painter, w, FHolder->Height());
}

void TAdvImage::PaintEmpty(QPainter& painter)
{
    if (!FShowEmptyLabel) return;
    const QString text = QStringLiteral("Empty");
    const QFontMetrics metrics(font());
    const QSize size(metrics.horizontalAdvance(text), metrics.height());
    const auto at = CentredTextPosition(width(), height(), size.width(), size.height());
    const QRect cell(QPoint(at[0], at[1]), size);
    painter.fillRect(cell, FColor);
    painter.setFont(font());
    painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop, text);
}

void TAdvImage::PaintPicture(QPainter& painter, int w, int h)
{
    const qreal ratio = FDevicePixelSize ? devicePixelRatioF() : 1.0;
    if (FFillControl) {
        PaintFilled(painter);
        return;
    }
    const TPaintLayout layout = ComputePaintLayout(width(), height(), LogicalExtent(w, ratio),
                                                   LogicalExtent(h, ratio), FStretchRatio, FCenterView);
    const TPaintRect& p = layout.Picture;
    const QRect target(p.Left, p.Top, p.Width(), p.Height());
    if (FHolder->Metafile) {
        PaintMetafile(painter, target);
    } else if (const QImage* image = DisplayImage()) {
        if (!layout.Stretched && ratio > 1.0) {
            // The picture's pixels onto as many pixels of the screen.
            painter.drawImage(
                QRectF(target.topLeft(), QSizeF(image->width() / ratio, image->height() / ratio)), *image,
                QRectF(image->rect()));
        } else if (!layout.Stretched) {
            painter.drawImage(target.topLeft(), *image);
        } else {
            QImage& scaled = FHolder->Scaled;
            if (scaled.size() != target.size())
                scaled = image->scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            painter.drawImage(target.topLeft(), scaled);
        }
    }
    for (const TPaintRect& fill : layout.Fills)
        if (!fill.Empty()) painter.fillRect(QRect(fill.Left, fill.Top, fill.Width(), fill.Height()), FColor);
}

// The picture over the whole control. Shrunk, it is scaled once and kept;
// enlarged, it is drawn through a transform clipped to what is painted, so
// that a picture zoomed far beyond the screen never takes memory for the
// parts out of sight.
void TAdvImage::PaintFilled(QPainter& painter)
{
    const QRect target = rect();
    if (FHolder->Metafile) {
        PaintMetafile(painter, target);
        return;
    }
    const QImage* image = DisplayImage();
    if (!image || target.isEmpty()) return;
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels(qRound(target.width() * ratio), qRound(target.height() * ratio));
    if (devicePixels.width() <= image->width() && devicePixels.height() <= image->height()) {
        QImage& scaled = FHolder->Scaled;
        if (scaled.size() != devicePixels)
            scaled = image->scaled(devicePixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(QRectF(target), scaled, QRectF(scaled.rect()));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(target), *image, QRectF(image->rect()));
}

// A metafile is played once into an image of the target's size and drawn
// from there on each repaint; one larger than the cache limit is played
// straight onto the control.
void TAdvImage::PaintMetafile(QPainter& painter, const QRect& target)
{
    QImage& cache = FHolder->Scaled;
    try {
        if (qint64(target.width()) * target.height() > kMaxMetafileCachePixels) {
            DrawMetafile(painter, *FHolder->Metafile, QRectF(target));
            return;
        }
        if (cache.size() != target.size()) {
            cache = QImage(target.size(), QImage::Format_ARGB32_Premultiplied);
            cache.fill(Qt::transparent);
            QPainter onCache(&cache);
            DrawMetafile(onCache, *FHolder->Metafile, QRectF(QPointF(0, 0), QSizeF(target.size())));
        }
    } catch (const std::exception&) {
        // A damaged record ends the drawing; what was drawn stays.
    }
    painter.drawImage(target.topLeft(), cache);
}

void TAdvImage::SettingChanged()
{
    repaint();
    update();
}

void TAdvImage::SetColor(const QColor& color)
{
    if (color == FColor) return;
    FColor = color;
    update();
}

#define QUORVANE_REPAINTING_SETTER(Name, Type)                                                               \
    void TAdvImage::Set##Name(Type value)                                                                    \
    {                                                                                                        \
        if (value == F##Name) return;                                                                        \
        F##Name = value;                                                                                     \
        SettingChanged();                                                                                    \
    }

QUORVANE_REPAINTING_SETTER(StretchRatio, bool)
QUORVANE_REPAINTING_SETTER(CenterView, bool)
QUORVANE_REPAINTING_SETTER(FillControl, bool)
QUORVANE_REPAINTING_SETTER(ShowEmptyLabel, bool)
QUORVANE_REPAINTING_SETTER(JPEGPixelFormat, TJPEGPixelFormat)
QUORVANE_REPAINTING_SETTER(JPEGScale, TJPEGScale)
QUORVANE_REPAINTING_SETTER(JPEGGrayscale, bool)
QUORVANE_REPAINTING_SETTER(JPEGPerformance, TJPEGPerformance)
QUORVANE_REPAINTING_SETTER(JPEGSmoothing, bool)
QUORVANE_REPAINTING_SETTER(JPEGProgressiveEncoding, bool)

#undef QUORVANE_REPAINTING_SETTER

void TAdvImage::mousePressEvent(QMouseEvent* event)
{
    emit OnMouseDown(this, event->button(), event->modifiers(), event->position().toPoint());
}

void TAdvImage::mouseMoveEvent(QMouseEvent* event)
{
    emit OnMouseMove(this, event->buttons(), event->modifiers(), event->position().toPoint());
}

void TAdvImage::mouseReleaseEvent(QMouseEvent* event)
{
    emit OnMouseUp(this, event->button(), event->modifiers(), event->position().toPoint());
}

void TAdvImage::mouseDoubleClickEvent(QMouseEvent*)
{
    emit OnDblClick(this);
}

} // namespace quorvane
