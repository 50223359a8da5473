// TAdvImage: loading through the picture loader and painting. The control
// holds at most one decoded picture (a raster image or a parsed metafile)
// and a shrunk copy of it for the last stretched size.
#include "AdvImage.h"

#include "MetafileRenderer.h"
#include "PaintGeometry.h"
#include "PathRules.h"
#include "TMetafile.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <atomic>
#include <cmath>
#include <utility>

namespace quorvane {

namespace {

std::atomic<bool> GTurnUpright{true};

std::string NativePath(const QString& fileName)
{
    return QFile::encodeName(fileName).toStdString();
}

} // namespace

TAdvImage::TAdvImage(QWidget* parent) : QWidget(parent)
{
    // Draws on the parent's surface: what the control leaves unpainted shows
    // the parent's background (and caption).
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(false);
    SetLoader(nullptr);
}

TAdvImage::~TAdvImage()
{
    if (FTicket != 0 && FLoader) FLoader->Cancel(FTicket);
}

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
    return !FPicture.Empty();
}

void TAdvImage::SetLoader(TPictureLoader* loader)
{
    if (!loader) loader = &TPictureLoader::Shared();
    if (loader == FLoader) return;
    if (FLoader) {
        if (FTicket != 0) FLoader->Cancel(FTicket);
        disconnect(FLoader, nullptr, this, nullptr);
    }
    FTicket = 0;
    FLoader = loader;
    connect(loader, &TPictureLoader::Loaded, this, &TAdvImage::PictureLoaded);
}

void TAdvImage::LoadImage(const QString& fileName)
{
    LoadFile(NativePath(fileName));
}

TPictureRequest TAdvImage::RequestFor(const std::string& nativePath) const
{
    TPictureRequest request;
    request.Path = nativePath;
    request.Identity = ReadPictureIdentity(nativePath);
    request.PixelFormat = FJPEGPixelFormat;
    request.Scale = FJPEGScale;
    request.Grey = FJPEGGrayscale;
    request.Performance = FJPEGPerformance;
    request.Upright = TurnUpright();
    request.MoreFormats = MoreFormatsEnabled();
    request.ScreenDpi = ScreenPixelsPerInch();
    // A copy at the size it will be drawn is made beside the picture, so the
    // first paint does not shrink it here.
    if (FStretchRatio && !FFillControl) {
        request.Fit = TPictureFit::Stretch;
        request.FitWidth = width();
        request.FitHeight = height();
        request.FitCentred = FCenterView;
    } else if (FFitScreen.isValid()) {
        request.Fit = TPictureFit::Screen;
        request.FitWidth = FFitScreen.width();
        request.FitHeight = FFitScreen.height();
        request.FitRatio = devicePixelRatioF();
    }
    return request;
}

void TAdvImage::LoadFile(const std::string& nativePath)
{
    // The load under way, if any, is replaced: its answer is never shown.
    if (FTicket != 0) FLoader->Cancel(FTicket);
    FTicket = 0;
    FFileName = QFile::decodeName(QByteArray::fromStdString(nativePath));
    FNativeName = nativePath;
    ShowLoading();
    const TPictureRequest request = RequestFor(nativePath);
    if (request.Identity.Size < 0) {
        SetPicture({});
        return;
    }
    if (std::optional<TLoadedPicture> cached = FLoader->Cached(request)) {
        SetPicture(*cached);
        return;
    }
    FTicket = FLoader->Request(request, FPriority);
}

void TAdvImage::PictureLoaded(std::uint64_t ticket, const TLoadedPicture& picture)
{
    if (ticket == 0 || ticket != FTicket) return;
    FTicket = 0;
    SetPicture(picture);
}

void TAdvImage::ShowLoading()
{
    if (FLoading) return;
    FLoading = true;
    emit OnImageLoading(this);
}

void TAdvImage::SetPicture(const TLoadedPicture& picture)
{
    // The pictures shown until now are let go on the loader's thread for
    // that (a loader that is gone leaves them to be freed here).
    TLoadedPicture previous = std::exchange(FPicture, picture);
    TLoadedPicture scaled{std::exchange(FScaled, QImage()), {}, {}};
    if (FLoader) {
        FLoader->Release(std::move(previous));
        FLoader->Release(std::move(scaled));
    }
    FPictureWidth = FPicture.Empty() ? 0 : FPicture.Width();
    FPictureHeight = FPicture.Empty() ? 0 : FPicture.Height();
    update();
    if (!FLoading) return;
    FLoading = false;
    emit OnImageLoaded(this);
}

void TAdvImage::SetDevicePixelSize(bool value)
{
    if (FDevicePixelSize == value) return;
    FDevicePixelSize = value;
    update();
}

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
    if (FPictureWidth <= 0 || FPictureHeight <= 0) {
        PaintEmpty(painter);
        return;
    }
    PaintPicture(painter, FPictureWidth, FPictureHeight);
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
    if (FPicture.Metafile) {
        PaintMetafile(painter, target);
    } else if (const QImage* image = FPicture.Image.isNull() ? nullptr : &FPicture.Image) {
        if (!layout.Stretched && ratio > 1.0) {
            // The picture's pixels onto as many pixels of the screen.
            painter.drawImage(
                QRectF(target.topLeft(), QSizeF(image->width() / ratio, image->height() / ratio)), *image,
                QRectF(image->rect()));
        } else if (!layout.Stretched) {
            painter.drawImage(target.topLeft(), *image);
        } else {
            QImage& scaled = FPicture.Fitted.size() == target.size() ? FPicture.Fitted : FScaled;
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
    if (FPicture.Metafile) {
        PaintMetafile(painter, target);
        return;
    }
    const QImage* image = FPicture.Image.isNull() ? nullptr : &FPicture.Image;
    if (!image || target.isEmpty()) return;
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels(qRound(target.width() * ratio), qRound(target.height() * ratio));
    if (devicePixels.width() <= image->width() && devicePixels.height() <= image->height()) {
        QImage& scaled = FPicture.Fitted.size() == devicePixels ? FPicture.Fitted : FScaled;
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
    QImage& cache = FScaled;
    try {
        if (qint64(target.width()) * target.height() > kMaxMetafileCachePixels) {
            DrawMetafile(painter, *FPicture.Metafile, QRectF(target));
            return;
        }
        if (cache.size() != target.size()) {
            cache = QImage(target.size(), QImage::Format_ARGB32_Premultiplied);
            cache.fill(Qt::transparent);
            QPainter onCache(&cache);
            DrawMetafile(onCache, *FPicture.Metafile, QRectF(QPointF(0, 0), QSizeF(target.size())));
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
