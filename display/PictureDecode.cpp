// DecodePicture: the file's kind by its extension, then one reader per kind.
// Everything here works on objects of its own, so any number of threads may
// decode at once; nothing calls back into the interface.
#include "PictureDecode.h"

#include "GifUnit.h"
#include "JPEGImage.h"
#include "LargeBlock.h"
#include "Orientation.h"
#include "PaintGeometry.h"
#include "PathRules.h"
#include "PhotoDecoder.h"
#include "TMetafile.h"
#include "ViewerRules.h"

#include <QFile>
#include <QImageReader>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

enum class TPictureKind { None, Gif, Raster, Jpeg, Metafile, Photo };

// The lower-case extension of the path's last component, without its dot.
std::string LowerExtension(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

TPictureKind KindOf(const std::string& extension, bool moreFormats)
{
    if (extension == "gif") return TPictureKind::Gif;
    if (extension == "bmp" || extension == "ico") return TPictureKind::Raster;
    if (extension == "jpg" || extension == "jpeg" || extension == "jpe") return TPictureKind::Jpeg;
    if (extension == "wmf" || extension == "emf") return TPictureKind::Metafile;
    const std::string dotted = "." + extension;
    if (moreFormats && IsMoreFormatFile(dotted))
        return IsPhotoFileName(dotted) ? TPictureKind::Photo : TPictureKind::Raster;
    return TPictureKind::None;
}

QImage DrawableImage(const QImage& image)
{
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

// An RGB32 image whose pixels are not yet touched. A large one is mapped on
// its own, in huge pages where the system offers them: the loader keeps
// every picture it decodes, so each decode touches fresh memory (in 4 KiB
// pages that costs as much as the decode), and a mapping of its own goes
// back to the system whole when the picture leaves the cache.
QImage NewRgb32Image(int width, int height)
{
    const std::size_t bytes = std::size_t(width) * 4 * std::size_t(height);
    if (bytes < 2 * kHugePageBytes) return QImage(width, height, QImage::Format_RGB32);
    struct TMapping {
        void* Start;
        std::size_t Length;
    };
    const std::size_t length = (bytes + 2 * kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    void* start = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) return {};
    // The pixels begin at the first huge-page boundary of the mapping.
    const auto at = (reinterpret_cast<std::uintptr_t>(start) + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    auto* pixels = reinterpret_cast<uchar*>(at);
    AdviseHugePages(pixels, length - (at - reinterpret_cast<std::uintptr_t>(start)));
    auto* mapping = new TMapping{start, length};
    return QImage(
        pixels, width, height, qsizetype(width) * 4, QImage::Format_RGB32,
        [](void* info) {
            auto* m = static_cast<TMapping*>(info);
            ::munmap(m->Start, m->Length);
            delete m;
        },
        mapping);
}

// A top-down RGB32 copy of a bottom-up JPEG bitmap (24-bit BGR or 8-bit
// indexed), made in one pass: the rows are turned over as they are copied.
QImage ImageFromJpegBitmap(const TJPEGBitmap& bitmap)
{
    if (bitmap.Empty()) return {};
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const std::size_t rowBytes = bitmap.RowBytes();
    QImage image = NewRgb32Image(width, height);
    if (image.isNull()) return {};
    std::array<QRgb, 256> colors{};
    if (bitmap.BitsPerPixel() == 8)
        for (std::size_t i = 0; i < colors.size() && i < bitmap.Palette.size(); ++i)
            colors[i] = qRgb(bitmap.Palette[i].Red, bitmap.Palette[i].Green, bitmap.Palette[i].Blue);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = bitmap.Bits() + static_cast<std::size_t>(height - 1 - y) * rowBytes;
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (bitmap.BitsPerPixel() == 8) {
            for (int x = 0; x < width; ++x)
                to[x] = colors[from[x]];
        } else {
            for (int x = 0; x < width; ++x, from += 3)
                to[x] = 0xff000000u | (QRgb(from[2]) << 16) | (QRgb(from[1]) << 8) | from[0];
        }
    }
    return image;
}

// image as the EXIF orientation says to draw it.
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

QImage DecodeGif(const std::string& path)
{
    // A fresh reader per file, with no event hook: the decode runs to its
    // end on the loader's thread.
    TGifFile gif;
    gif.LoadFromFile(path);
    return ImageFromGifBitmap(*gif.Image(1).Bitmap());
}

QImage DecodeJpeg(const TPictureRequest& request)
{
    TJPEGImage jpeg;
    jpeg.LoadFromFile(request.Path);
    jpeg.SetPixelFormat(request.PixelFormat);
    jpeg.SetScale(request.Scale);
    jpeg.SetGrayscale(request.Grey);
    jpeg.SetPerformance(request.Performance);
    const auto& bytes = jpeg.Data()->Bytes;
    const int orientation = request.Upright ? ExifOrientationFromBytes(bytes.data(), bytes.size()) : kUpright;
    const TJPEGBitmap* bitmap = nullptr;
    try {
        bitmap = &jpeg.Bitmap();
    } catch (const std::exception&) {
        bitmap = jpeg.DecodedBitmap(); // the rows before the fault, if any
    }
    return bitmap ? TurnedUpright(ImageFromJpegBitmap(*bitmap), orientation) : QImage();
}

QImage DecodeRaster(const std::string& path, const std::string& extension)
{
    // Opened by its own bytes: a name that is not UTF-8 would not survive the
    // trip through a QString.
    QFile file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    QImageReader reader(&file, QByteArray::fromStdString(extension));
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (size.isValid() && std::int64_t(size.width()) * size.height() > kMaxReaderPixels) return {};
    const QImage image = reader.read();
    return image.isNull() ? QImage() : DrawableImage(image);
}

TLoadedPicture DecodeKnown(const TPictureRequest& request, TPictureKind kind, const std::string& extension)
{
    TLoadedPicture picture;
    switch (kind) {
    case TPictureKind::None:
        break;
    case TPictureKind::Gif:
        picture.Image = DecodeGif(request.Path);
        break;
    case TPictureKind::Jpeg:
        picture.Image = DecodeJpeg(request);
        break;
    case TPictureKind::Photo: {
        // A RAW's JPEG preview is decoded at the scale a JPEG file would be;
        // one drawn shrunk into a control may come from a smaller preview
        // the file holds, as long as it still fills the control.
        TPhotoRequest photo{request.Upright, 0, ScaleDivisor(request.Scale)};
        if (request.Fit == TPictureFit::Stretch) {
            photo.BoxWidth = request.FitWidth;
            photo.BoxHeight = request.FitHeight;
        }
        picture.Image = ImageFromPhoto(DecodePhotoFile(request.Path, photo));
        break;
    }
    case TPictureKind::Metafile:
        picture.Metafile =
            std::make_shared<const TMetafile>(TMetafile::FromFile(request.Path, request.ScreenDpi));
        break;
    case TPictureKind::Raster:
        picture.Image = DecodeRaster(request.Path, extension);
        break;
    }
    return picture;
}

} // namespace

TPictureIdentity ReadPictureIdentity(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string TPictureRequest::Key() const
{
    std::string key = Path;
    key += '\0';
    for (const std::int64_t part :
         {std::int64_t(Identity.Device), std::int64_t(Identity.Inode), Identity.Size, Identity.ModifiedNs,
          std::int64_t(PixelFormat), std::int64_t(Scale), std::int64_t(Grey), std::int64_t(Performance),
          std::int64_t(Upright), std::int64_t(MoreFormats), std::int64_t(ScreenDpi), std::int64_t(Fit),
          std::int64_t(FitWidth), std::int64_t(FitHeight), std::int64_t(FitCentred),
          std::int64_t(std::lround(FitRatio * 1000))}) {
        key += std::to_string(part);
        key += ',';
    }
    return key;
}

int TLoadedPicture::Width() const
{
    return Metafile ? Metafile->Width() : Image.width();
}

int TLoadedPicture::Height() const
{
    return Metafile ? Metafile->Height() : Image.height();
}

std::int64_t TLoadedPicture::Bytes() const
{
    // A metafile holds its file's bytes; a small sum stands for them.
    return Metafile ? 64 * 1024 : static_cast<std::int64_t>(Image.sizeInBytes() + Fitted.sizeInBytes());
}

QSize FittedSize(const TPictureRequest& request, int width, int height)
{
    if (request.Fit == TPictureFit::Stretch) {
        const TPaintLayout layout =
            ComputePaintLayout(request.FitWidth, request.FitHeight, width, height, true, request.FitCentred);
        if (!layout.Stretched) return {};
        return {layout.Picture.Width(), layout.Picture.Height()};
    }
    if (request.Fit == TPictureFit::Screen) {
        // As the viewer lays out a fitted picture in device-pixel mode.
        const int shownWidth = LogicalExtent(width, request.FitRatio);
        const int shownHeight = LogicalExtent(height, request.FitRatio);
        const double scale = ViewerFitScale(request.FitWidth, request.FitHeight, shownWidth, shownHeight);
        if (scale == 1.0) return {};
        const int w = std::max(1, static_cast<int>(std::lround(shownWidth * scale)));
        const int h = std::max(1, static_cast<int>(std::lround(shownHeight * scale)));
        return {qRound(w * request.FitRatio), qRound(h * request.FitRatio)};
    }
    return {};
}

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

TLoadedPicture DecodePicture(const TPictureRequest& request)
{
    if (request.Identity.Size < 0) return {};
    const std::string extension = LowerExtension(request.Path);
    try {
        TLoadedPicture picture = DecodeKnown(request, KindOf(extension, request.MoreFormats), extension);
        if (picture.Width() <= 0 || picture.Height() <= 0) return {};
        const QSize fitted =
            picture.Image.isNull() ? QSize() : FittedSize(request, picture.Width(), picture.Height());
        if (fitted.isValid() && fitted.width() <= picture.Image.width() &&
            fitted.height() <= picture.Image.height() && fitted != picture.Image.size())
            picture.Fitted = picture.Image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return picture;
    } catch (const std::exception&) {
        return {}; // damaged, refused by a bound, or out of memory: nothing is shown
    }
}

} // namespace quorvane
