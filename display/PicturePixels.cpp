// PicturePixels through QImageReader, which sizes a picture from its header.
#include "PicturePixels.h"

#include <QFile>
#include <QImageReader>

namespace quorvane {

std::uint64_t PicturePixels(const std::string& path)
{
    QImageReader reader(QFile::decodeName(QByteArray::fromStdString(path)));
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return 0;
    return static_cast<std::uint64_t>(size.width()) * static_cast<std::uint64_t>(size.height());
}

} // namespace quorvane
