// Drawing metafiles with QPainter. The player has already mapped everything
// to canvas pixels; this file only translates pens, brushes, fonts, images
// and clips into their Qt equivalents.
#include "MetafileRenderer.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStringDecoder>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <new>

namespace quorvane {
namespace {

QColor ToQColor(TMfColor c)
{
    return QColor(c.R, c.G, c.B);
}

QPainterPath ToQPath(const TMfPath& path, TMfFillMode mode)
{
    QPainterPath out;
    out.setFillRule(mode == TMfFillMode::Winding ? Qt::WindingFill : Qt::OddEvenFill);
    std::size_t i = 0;
    for (const TMfPathOp op : path.Ops) {
        const auto at = [&](std::size_t k) { return QPointF(path.Points[k].X, path.Points[k].Y); };
        switch (op) {
        case TMfPathOp::MoveTo:
            out.moveTo(at(i)), i += 1;
            break;
        case TMfPathOp::LineTo:
            out.lineTo(at(i)), i += 1;
            break;
        case TMfPathOp::CubicTo:
            out.cubicTo(at(i), at(i + 1), at(i + 2)), i += 3;
            break;
        case TMfPathOp::Close:
            out.closeSubpath();
            break;
        }
    }
    return out;
}

QPen ToQPen(const TMfPen& pen)
{
    if (pen.Style == TMfPenStyle::Null) return Qt::NoPen;
    static constexpr Qt::PenStyle kStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                               Qt::DashDotDotLine};
    // GDI never draws a line thinner than a pixel; width 0 is Qt's one-pixel pen.
    QPen out(ToQColor(pen.Color), pen.Width < 1 ? 0.0 : pen.Width, kStyles[int(pen.Style)]);
    out.setCapStyle(pen.Cap == TMfLineCap::Flat     ? Qt::FlatCap
                    : pen.Cap == TMfLineCap::Square ? Qt::SquareCap
                                                    : Qt::RoundCap);
    out.setJoinStyle(pen.Join == TMfLineJoin::Bevel   ? Qt::BevelJoin
                     : pen.Join == TMfLineJoin::Miter ? Qt::MiterJoin
                                                      : Qt::RoundJoin);
    return out;
}

QImage WrapImage(const TMfImage& image)
{
    // Borrows the pixels: only used while the player's image is alive.
    return QImage(reinterpret_cast<const uchar*>(image.Pixels.data()), image.Width, image.Height,
                  qsizetype(image.Width) * 4, QImage::Format_ARGB32);
}

QBrush ToQBrush(const TMfBrush& brush)
{
    static constexpr Qt::BrushStyle kHatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                  Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    switch (brush.Style) {
    case TMfBrushStyle::Null:
        return Qt::NoBrush;
    case TMfBrushStyle::Hatched:
        return QBrush(ToQColor(brush.Color), kHatches[int(brush.Hatch)]);
    case TMfBrushStyle::Pattern: // patterns are made by the canvas, which keeps them alive
    case TMfBrushStyle::Solid:
        break;
    }
    return QBrush(ToQColor(brush.Color));
}

// The codec of a Windows charset whose text the player leaves undecoded.
const char* CharsetCodec(std::uint8_t charset)
{
    switch (charset) {
    case 128:
        return "Shift_JIS";
    case 129:
        return "windows-949";
    case 134:
        return "GBK";
    case 136:
        return "Big5";
    case 161:
        return "windows-1253";
    case 162:
        return "windows-1254";
    case 163:
        return "windows-1258";
    case 177:
        return "windows-1255";
    case 178:
        return "windows-1256";
    case 186:
        return "windows-1257";
    case 204:
        return "windows-1251";
    case 222:
        return "windows-874";
    case 238:
        return "windows-1250";
    default:
        return nullptr;
    }
}

QString TextOf(const TMfText& text)
{
    if (!text.AnsiBytes.empty()) {
        if (const char* codec = CharsetCodec(text.Font.Charset)) {
            QStringDecoder decoder(codec);
            if (decoder.isValid()) {
                QString decoded = decoder.decode(QByteArray::fromStdString(text.AnsiBytes));
                if (!decoder.hasError()) return decoded;
            }
        }
    }
    return QString::fromStdU16String(text.Text);
}

QFont ToQFont(const TMfFont& f)
{
    QFont font;
    if (!f.FaceName.empty()) font.setFamily(QString::fromStdU16String(f.FaceName));
    font.setPixelSize(std::max(1, int(std::lround(f.Height))));
    font.setWeight(QFont::Weight(std::clamp(f.Weight > 0 ? f.Weight : 400, 1, 1000)));
    font.setItalic(f.Italic);
    font.setUnderline(f.Underline);
    font.setStrikeOut(f.StrikeOut);
    if (f.CellHeight) {
        // A positive height is the whole cell; shrink the em to fit it.
        const qreal cell = QFontMetricsF(font).height();
        if (cell > 0) font.setPixelSize(std::max(1, int(std::lround(f.Height * f.Height / cell))));
    }
    return font;
}

QPainter::CompositionMode ToComposition(TMfRop rop)
{
    switch (rop) {
    case TMfRop::And:
        return QPainter::RasterOp_SourceAndDestination;
    case TMfRop::Or:
        return QPainter::RasterOp_SourceOrDestination;
    case TMfRop::Xor:
        return QPainter::RasterOp_SourceXorDestination;
    case TMfRop::NotCopy:
        return QPainter::RasterOp_NotSource;
    case TMfRop::Copy:
        break;
    }
    return QPainter::CompositionMode_SourceOver;
}

void CheckRenderSize(QSize size)
{
    if (size.width() <= 0 || size.height() <= 0 || size.width() > kMaxRenderSide ||
        size.height() > kMaxRenderSide || qint64(size.width()) * size.height() > kMaxRenderPixels)
        throw EMetafile(kRenderSizeTooLarge);
}

} // namespace

TQPainterMetafileCanvas::TQPainterMetafileCanvas(QPainter& painter)
    : FPainter(painter), FBaseClipped(painter.hasClipping()), FBaseClip(painter.clipPath())
{
}

TQPainterMetafileCanvas::~TQPainterMetafileCanvas()
{
    FPainter.setBrush(Qt::NoBrush);
}

void TQPainterMetafileCanvas::DrawPath(const TMfPath& path, const TMfPen& pen, const TMfBrush& brush,
                                       TMfFillMode mode)
{
    FPainter.setPen(ToQPen(pen));
    FPainter.setBrush(BrushFor(brush));
    FPainter.drawPath(ToQPath(path, mode));
}

QBrush TQPainterMetafileCanvas::BrushFor(const TMfBrush& brush)
{
    if (brush.Style != TMfBrushStyle::Pattern || !brush.Pattern || brush.Pattern->Width <= 0)
        return ToQBrush(brush);
    // Converted once per pattern, never per draw: the brush wraps the pixels.
    if (brush.Pattern != FPatternSource) {
        FPatternBrush = QBrush(WrapImage(*brush.Pattern));
        FPatternSource = brush.Pattern;
    }
    return FPatternBrush;
}

double TQPainterMetafileCanvas::DrawText(const TMfText& text)
{
    const QString s = TextOf(text);
    const QFont font = ToQFont(text.Font);
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(s);
    const qreal x = text.HAlign == TMfHAlign::Left     ? 0
                    : text.HAlign == TMfHAlign::Center ? -width / 2
                                                       : -width;
    const qreal baseline = text.VAlign == TMfVAlign::Top      ? metrics.ascent()
                           : text.VAlign == TMfVAlign::Bottom ? -metrics.descent()
                                                              : 0;
    FPainter.save();
    FPainter.translate(text.Origin.X, text.Origin.Y);
    FPainter.rotate(text.Font.Angle);
    if (text.Opaque)
        FPainter.fillRect(QRectF(x, baseline - metrics.ascent(), width, metrics.height()),
                          ToQColor(text.Background));
    FPainter.setFont(font);
    FPainter.setPen(ToQColor(text.Color));
    FPainter.drawText(QPointF(x, baseline), s);
    FPainter.restore();
    return width;
}

void TQPainterMetafileCanvas::DrawImage(const TMfImage& image, const TMfImagePlacement& place, TMfRop rop)
{
    const double sw = place.SourceWidth, sh = place.SourceHeight;
    const QTransform map((place.TopRight.X - place.TopLeft.X) / sw, (place.TopRight.Y - place.TopLeft.Y) / sw,
                         (place.BottomLeft.X - place.TopLeft.X) / sh,
                         (place.BottomLeft.Y - place.TopLeft.Y) / sh, place.TopLeft.X, place.TopLeft.Y);
    if (!map.isInvertible()) return;
    FPainter.save();
    FPainter.setTransform(map, true);
    FPainter.setCompositionMode(ToComposition(rop));
    FPainter.drawImage(QPointF(0, 0), WrapImage(image),
                       QRectF(place.SourceX, place.SourceY, place.SourceWidth, place.SourceHeight));
    FPainter.restore();
}

void TQPainterMetafileCanvas::SetClip(const TMfClip& regions)
{
    if (FBaseClipped)
        FPainter.setClipPath(FBaseClip);
    else
        FPainter.setClipping(false);
    for (const auto& region : regions)
        FPainter.setClipPath(ToQPath(*region, TMfFillMode::Winding),
                             FPainter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

int ScreenPixelsPerInch()
{
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    const int dpi = screen ? int(std::lround(screen->logicalDotsPerInchX())) : 0;
    return dpi > 0 ? dpi : kDefaultScreenDpi;
}

void DrawMetafile(QPainter& painter, const TMetafile& metafile, const QRectF& target)
{
    if (target.isEmpty()) return;
    struct TRestore {
        QPainter& Painter;
        ~TRestore() { Painter.restore(); }
    };
    painter.save();
    const TRestore restore{painter};
    painter.translate(target.topLeft());
    painter.setClipRect(QRectF(QPointF(0, 0), target.size()),
                        painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    TQPainterMetafileCanvas canvas(painter);
    metafile.Play(canvas, target.width(), target.height());
}

QImage RenderMetafile(const TMetafile& metafile, QSize size, const QColor& background)
{
    if (!size.isValid()) size = QSize(metafile.Width(), metafile.Height());
    CheckRenderSize(size);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) throw EMetafile(kRenderSizeTooLarge);
    image.fill(background);
    QPainter painter(&image);
    DrawMetafile(painter, metafile, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QImage RenderMetafileBytes(const QByteArray& bytes, QSize size, const QColor& background)
{
    try {
        std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
        return RenderMetafile(TMetafile::FromBytes(std::move(data), ScreenPixelsPerInch()), size, background);
    } catch (const std::bad_alloc&) {
        throw EMetafile(MetafileMessages::kOutOfMemory);
    }
}

QImage RenderMetafileFile(const QString& path, QSize size, const QColor& background)
{
    try {
        return RenderMetafile(
            TMetafile::FromFile(QFile::encodeName(path).toStdString(), ScreenPixelsPerInch()), size,
            background);
    } catch (const std::bad_alloc&) {
        throw EMetafile(MetafileMessages::kOutOfMemory);
    }
}

} // namespace quorvane
