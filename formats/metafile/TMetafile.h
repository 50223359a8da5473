// TMetafile: a Windows metafile (placeable or plain WMF) or an enhanced
// metafile (EMF) held as its bytes, with the picture size read from its
// header. Loading validates the header and the size limits; playing maps the
// picture frame onto a canvas rectangle of any size and never reads outside
// the bytes.
#pragma once

#include "EMetafile.h"
#include "EmfPlayer.h"
#include "IMetafileCanvas.h"
#include "MetafilePlayer.h"

#include <memory>
#include <string>
#include <vector>

namespace quorvane {

enum class TMetafileKind { PlaceableWmf, PlainWmf, Emf };

inline constexpr int kDefaultScreenDpi = 96;

class TMetafile {
  public:
    // Throws EMetafile with the message to show when the bytes are not a
    // metafile or its declared size is refused. screenDpi turns the
    // metafile's physical size into PictureWidth and PictureHeight.
    static TMetafile FromBytes(std::vector<std::uint8_t> bytes, int screenDpi = kDefaultScreenDpi);
    static TMetafile FromFile(const std::string& path, int screenDpi = kDefaultScreenDpi);

    TMetafileKind Kind() const { return FKind; }
    // The picture's size in screen pixels (PictureWidth, PictureHeight).
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Draws the picture so that its frame fills (0, 0)-(width, height).
    // The play's work and pattern memory are bounded in proportion to the
    // file's size (TMfBudget); when the work runs out, play stops with what
    // was drawn (OutOfWork). Running out of memory, here or in the canvas,
    // throws EMetafile with kOutOfMemory; std::bad_alloc never leaves.
    TMfPlayResult Play(IMetafileCanvas& canvas, double width, double height) const;

  private:
    TMetafile() = default;
    TMfPlayResult PlayUnguarded(IMetafileCanvas& canvas, double width, double height) const;
    void ReadPlaceable(int screenDpi);
    void ReadPlain(int screenDpi);
    void ReadEmf(int screenDpi);
    void ReadWmfHeader(std::size_t at);
    void SetPictureSize(std::int64_t width, std::int64_t height);

    std::shared_ptr<const std::vector<std::uint8_t>> FBytes;
    TMetafileKind FKind = TMetafileKind::Emf;
    int FWidth = 0, FHeight = 0;
    TMfBox FFrame;                // WMF: the picture in metafile units
    bool FDeviceFrame = false;    // WMF: FFrame measured after the window origin (no window extent)
    std::size_t FRecordsAt = 0;   // WMF: offset of the first record
    std::size_t FObjectCount = 0; // object table size
    TEmfDevice FDevice;           // EMF: the reference device and frame
};

// a * b / c rounded to the nearest integer, halves away from zero; c != 0.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c);

} // namespace quorvane
