// One picture file decoded into something the picture control can draw, by
// a plain call any thread may make: GIF through our own reader, JPEG through
// TJPEGImage, BMP and ICO through Qt's readers, WMF and EMF parsed for the
// metafile player, the photo formats through the photo decoders. A request
// carries everything the decode depends on, so its key names one result.
#pragma once

#include "JPEGTypes.h"

#include <QImage>
#include <QMetaType>
#include <cstdint>
#include <memory>
#include <string>

namespace quorvane {

class TMetafile;

// What the file system said of a file when it was asked for: a file that
// changes afterwards gets another key, so an old decode is never served.
struct TPictureIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t Size = -1;
    std::int64_t ModifiedNs = 0;
    bool operator==(const TPictureIdentity&) const = default;
};

// The identity of the file at path (a link is followed, as the readers open
// it); nothing (Size -1) when it is missing or not a regular file.
TPictureIdentity ReadPictureIdentity(const std::string& path);

// The copy a decode brings along at the size the picture will be drawn:
// Stretch, as a picture control that shrinks to fit draws it (FitWidth x
// FitHeight is the control); Screen, as the viewer fits it to a client area
// of FitWidth x FitHeight units at FitRatio device pixels a unit.
enum class TPictureFit { None, Stretch, Screen };

struct TPictureRequest {
    std::string Path; // the file system's exact bytes, never re-encoded
    TPictureIdentity Identity;
    TJPEGPixelFormat PixelFormat = TJPEGPixelFormat::jf24Bit;
    TJPEGScale Scale = TJPEGScale::jsFullSize;
    bool Grey = false;
    TJPEGPerformance Performance = TJPEGPerformance::jpBestQuality;
    bool Upright = true;     // apply the orientation tag
    bool MoreFormats = true; // PNG, WebP, TIFF and the photo formats are read
    int ScreenDpi = 96;      // a metafile's physical size to pixels
    TPictureFit Fit = TPictureFit::None;
    int FitWidth = 0;
    int FitHeight = 0;
    bool FitCentred = true;
    double FitRatio = 1.0;

    // The cache key: every field above, the path by its bytes.
    std::string Key() const;
};

// A decoded picture, shared between the loader's cache and the controls
// that show it; never changed once made.
struct TLoadedPicture {
    QImage Image;  // ready to draw (RGB32 or premultiplied ARGB32)
    QImage Fitted; // Image shrunk as the request's fit asked; null when not smaller
    std::shared_ptr<const TMetafile> Metafile;

    bool Empty() const { return !Metafile && Image.isNull(); }
    int Width() const;
    int Height() const;
    // What the picture holds in memory, for the cache's bound.
    std::int64_t Bytes() const;
};

// Largest picture (width times height) a bitmap or icon file may declare.
inline constexpr std::int64_t kMaxReaderPixels = std::int64_t(1) << 28;

// Decodes the request's file; an empty picture for a file that is missing,
// of no picture kind, or damaged beyond use (a JPEG that fails part-way keeps
// the rows decoded before the fault). Never throws, never runs the event loop.
TLoadedPicture DecodePicture(const TPictureRequest& request);

// The size in device pixels the request's fit draws a picture of
// width x height at; invalid when it is drawn at its own size.
QSize FittedSize(const TPictureRequest& request, int width, int height);

// How many times smaller a JPEG scale draws a picture (1, 2, 4 or 8).
int ScaleDivisor(TJPEGScale scale);

} // namespace quorvane

Q_DECLARE_METATYPE(quorvane::TLoadedPicture)
