// The EXIF block (a TIFF structure) of a picture file found by signature and
// read by a small bounded parser: the orientation, the capture date with its
// sub-seconds and offset, the camera model and the pixel dimensions. The
// parser never reads outside the bytes it is given, visits at most a fixed
// number of segments, boxes, IFDs and entries, and never recurses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane {

// Bytes of a picture file that hold an EXIF block (or nothing: Size 0).
struct TExifSpan {
    const std::uint8_t* Data = nullptr;
    std::size_t Size = 0;
};

// The EXIF block of a picture file's bytes: a JPEG's APP1 "Exif" segment
// before the first scan, a TIFF file (including the TIFF-based RAW files,
// whose header may carry another magic number), a PNG's eXIf chunk before
// the first IDAT, a WebP's EXIF chunk and a JPEG XL container's Exif box.
TExifSpan FindExifBlock(const std::uint8_t* data, std::size_t size);

// The brotli stream of a JPEG XL container's compressed Exif box ("brob"
// holding "Exif", as cjxl writes it): once decompressed, an Exif box body
// (a 4-byte offset to the TIFF header, then the block). Size 0 when none.
TExifSpan FindCompressedJxlExif(const std::uint8_t* data, std::size_t size);

// What an EXIF block says; empty texts and zero sizes for what it does not.
struct TExifFields {
    int Orientation = 1;            // 1..8, 1 when absent or invalid
    std::string DateTimeOriginal;   // "YYYY:MM:DD HH:MM:SS" as stored
    std::string SubSecTimeOriginal; // digits
    std::string OffsetTimeOriginal; // "+HH:MM" as stored
    std::string Model;              // the camera model
    std::uint32_t PixelWidth = 0;   // PixelXDimension of the Exif IFD
    std::uint32_t PixelHeight = 0;  // PixelYDimension of the Exif IFD
    std::uint32_t ImageWidth = 0;   // ImageWidth of the first IFD
    std::uint32_t ImageHeight = 0;  // ImageLength of the first IFD
};

// The fields of a TIFF structure, which may start with "Exif\0\0" and whose
// magic number may be TIFF's 42 or one of the RAW variants (ORF, RW2). The
// first IFD gives orientation, model and image size; its Exif sub-IFD the
// date, sub-seconds, offset and pixel dimensions. A date found in the first
// IFD itself is taken too (some RAW containers keep the Exif IFD alone).
TExifFields ReadExifBlock(const std::uint8_t* data, std::size_t size);

} // namespace quorvane
