// TIFF through libtiff, opened over our bytes (no file is reopened), its
// single allocations capped, the first directory read as RGBA in the stored
// row order; the orientation tag is applied afterwards like every format's.
#include "PhotoFormats.h"

#include <cstring>
#include <tiffio.h>

namespace quorvane::photo {

namespace {

struct TMemory {
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t At = 0;
};

tsize_t ReadProc(thandle_t handle, tdata_t buffer, tsize_t count)
{
    auto* m = static_cast<TMemory*>(handle);
    if (count < 0 || m->At >= m->Size) return 0;
    const std::size_t n = std::min(static_cast<std::size_t>(count), m->Size - m->At);
    std::memcpy(buffer, m->Data + m->At, n);
    m->At += n;
    return static_cast<tsize_t>(n);
}

tsize_t WriteProc(thandle_t, tdata_t, tsize_t)
{
    return 0;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* m = static_cast<TMemory*>(handle);
    std::uint64_t base = whence == SEEK_CUR ? m->At : whence == SEEK_END ? m->Size : 0;
    const std::uint64_t to = base + offset;
    m->At = static_cast<std::size_t>(std::min<std::uint64_t>(to, m->Size));
    return m->At;
}

int CloseProc(thandle_t)
{
    return 0;
}

toff_t SizeProc(thandle_t handle)
{
    return static_cast<TMemory*>(handle)->Size;
}

int MapProc(thandle_t, tdata_t*, toff_t*)
{
    return 0;
}

void UnmapProc(thandle_t, tdata_t, toff_t) {}

// libtiff's messages are not ours to print.
void QuietHandler(const char*, const char*, va_list) {}

TIFF* OpenMemory(TMemory& memory)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    // No single buffer of libtiff's beyond what our own pixel cap needs.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(TPhotoLimits::MaxPixels * 4));
    TIFF* tiff = TIFFClientOpenExt("memory", "rm", &memory, ReadProc, WriteProc, SeekProc, CloseProc,
                                   SizeProc, MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

} // namespace

TStoredPicture DecodeTiff(const std::uint8_t* data, std::size_t size)
{
    TIFFSetErrorHandler(QuietHandler);
    TIFFSetWarningHandler(QuietHandler);
    TMemory memory{data, size};
    TIFF* tiff = OpenMemory(memory);
    if (tiff == nullptr) throw EPhoto("Damaged TIFF file");
    struct TClose {
        TIFF* File;
        ~TClose() { TIFFClose(File); }
    } close{tiff};
    std::uint32_t width = 0, height = 0;
    std::uint16_t orientation = ORIENTATION_TOPLEFT, extraSamples = 0;
    std::uint16_t* extraTypes = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraSamples, &extraTypes);
    TStoredPicture stored;
    TPhotoPicture& picture = stored.Picture;
    picture.Rgba = RgbaBuffer(width, height, size);
    char message[1024];
    if (!TIFFRGBAImageOK(tiff, message)) throw EPhoto("Unsupported TIFF file");
    if (orientation < 1 || orientation > 8) orientation = ORIENTATION_TOPLEFT;
    // Asking for the file's own orientation leaves the rows as stored.
    auto* raster = reinterpret_cast<std::uint32_t*>(picture.Rgba.data());
    if (!TIFFReadRGBAImageOriented(tiff, width, height, raster, orientation, 0))
        throw EPhoto("Damaged TIFF file");
    for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
        const std::uint32_t p = raster[i];
        std::uint8_t* to = picture.Rgba.data() + i * 4;
        to[0] = static_cast<std::uint8_t>(TIFFGetR(p));
        to[1] = static_cast<std::uint8_t>(TIFFGetG(p));
        to[2] = static_cast<std::uint8_t>(TIFFGetB(p));
        to[3] = static_cast<std::uint8_t>(TIFFGetA(p));
    }
    picture.Width = static_cast<int>(width);
    picture.Height = static_cast<int>(height);
    picture.FullPixels = std::uint64_t{width} * height;
    picture.HasAlpha = extraSamples > 0 && AnyTransparent(picture.Rgba);
    stored.Orientation = orientation;
    return stored;
}

} // namespace quorvane::photo
