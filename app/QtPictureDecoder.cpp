// DecodeWithQt: QImageReader with a scaled size for raster formats (the
// reader decodes less where the format allows it), the metafile renderer
// for WMF and EMF. Pictures over the reader's pixel limit are refused.
#include "QtPictureDecoder.h"

#include "MetafileRenderer.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <exception>

namespace quorvane {

namespace {

constexpr qint64 kMaxPixels = qint64(1) << 28;

// The size the picture is read at: the shorter side kDecodeShortSide, the
// aspect kept; the picture's own size when it is already that small.
QSize ReducedSize(const QSize& full)
{
    const int shorter = std::min(full.width(), full.height());
    if (shorter <= kDecodeShortSide) return full;
    const double scale = double(kDecodeShortSide) / shorter;
    return QSize(std::max(1, int(full.width() * scale + 0.5)), std::max(1, int(full.height() * scale + 0.5)));
}

TDecodedPicture GreyPicture(const QImage& image, std::uint64_t fullPixels)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    TDecodedPicture picture;
    picture.FullPixels = fullPixels;
    picture.Image.Width = grey.width();
    picture.Image.Height = grey.height();
    picture.Image.Pixels.resize(std::size_t(grey.width()) * std::size_t(grey.height()));
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        std::copy(line, line + grey.width(), picture.Image.Pixels.begin() + std::ptrdiff_t(y) * grey.width());
    }
    return picture;
}

bool IsMetafileName(const QString& name)
{
    return name.endsWith(QLatin1String(".wmf"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".emf"), Qt::CaseInsensitive);
}

std::optional<TDecodedPicture> DecodeMetafile(const QString& path)
{
    try {
        const QImage full = RenderMetafileFile(path, QSize(), Qt::white);
        if (full.isNull()) return std::nullopt;
        const QSize reduced = ReducedSize(full.size());
        const QImage small = full.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return GreyPicture(small, std::uint64_t(full.width()) * std::uint64_t(full.height()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<TDecodedPicture> DecodeWithQt(const std::string& path)
{
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    if (IsMetafileName(name)) return DecodeMetafile(name);
    QImageReader reader(name);
    const QSize full = reader.size();
    if (!full.isValid() || full.isEmpty() || qint64(full.width()) * full.height() > kMaxPixels)
        return std::nullopt;
    reader.setScaledSize(ReducedSize(full));
    const QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    return GreyPicture(image, std::uint64_t(full.width()) * std::uint64_t(full.height()));
}

} // namespace quorvane
