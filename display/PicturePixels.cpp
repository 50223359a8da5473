// PicturePixels: our own header readers for the formats they know, then the
// photo libraries' (so the window and quorvane-cli rank copies alike),
// QImageReader for the rest.
#include "PicturePixels.h"

#include "PhotoDecoder.h"
#include "PictureSize.h"

#include <QFile>
#include <QImageReader>

namespace quorvane {

std::uint64_t PicturePixels(const std::string& path)
{
    if (const std::uint64_t pixels = PictureHeaderPixels(path)) return pixels;
    if (const std::uint64_t pixels = PhotoHeaderPixels(path)) return pixels;
    QImageReader reader(QFile::decodeName(QByteArray::fromStdString(path)));
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return 0;
    return static_cast<std::uint64_t>(size.width()) * static_cast<std::uint64_t>(size.height());
}

} // namespace quorvane
