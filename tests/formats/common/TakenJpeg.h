// Test pictures for the capture-date readers: the head of a JPEG whose APP1
// EXIF block (little-endian TIFF) holds one DateTimeOriginal of 19
// characters in its Exif IFD. The picture data is absent, which the date
// readers do not need; every such file of one date length has one size.
#pragma once

#include <QByteArray>

namespace quorvane::test {

inline QByteArray TakenJpeg(const QByteArray& date)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff += QByteArray("\x01\0\x69\x87\x04\0\x01\0\0\0\x1A\0\0\0\0\0\0\0", 18); // IFD0 -> 26
    tiff += QByteArray("\x01\0\x03\x90\x02\0\x14\0\0\0\x2C\0\0\0\0\0\0\0", 18); // date at 44
    tiff += date + QByteArray(1, '\0');
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(app1.size()) + 2;
    return QByteArray("\xFF\xD8\xFF\xE1", 4) + char(length >> 8) + char(length & 0xFF) + app1 +
           QByteArray("\xFF\xD9", 2);
}

} // namespace quorvane::test
