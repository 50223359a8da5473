// TMetafile: header parsing and picture size of WMF and EMF files. The size
// follows the Windows picture classes: an EMF frame (0.01 mm) at the screen's
// resolution, a placeable WMF's bounds at its units per inch.
#include "TMetafile.h"

#include "WmfPlayer.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <new>

namespace quorvane {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::uint32_t kEmfSignature = 0x464D4520u; // " EMF"
constexpr std::size_t kPlaceableSize = 22, kWmfHeaderSize = 18, kEmfHeaderMin = 88;
constexpr std::int64_t kHundredthMmPerInch = 2540;

bool IsWmfHeader(TByteView v, std::size_t at)
{
    return v.Has(at, kWmfHeaderSize) && (v.U16(at) == 1 || v.U16(at) == 2) && v.U16(at + 2) == 9;
}

// Records every point a play would draw, to find a frameless metafile's extent.
class TBoundsCanvas : public IMetafileCanvas {
  public:
    void DrawPath(const TMfPath& path, const TMfPen&, const TMfBrush&, TMfFillMode) override
    {
        for (const TMfPoint& p : path.Points)
            Add(p);
    }
    double DrawText(const TMfText& text) override
    {
        Add(text.Origin);
        return 0;
    }
    void DrawImage(const TMfImage&, const TMfImagePlacement& place, TMfRop) override
    {
        Add(place.TopLeft), Add(place.TopRight), Add(place.BottomLeft);
    }
    void SetClip(const TMfClip&) override {}

    bool Any = false;
    TMfBox Box;

  private:
    void Add(TMfPoint p)
    {
        Box = Any ? TMfBox{std::min(Box.Left, p.X), std::min(Box.Top, p.Y), std::max(Box.Right, p.X),
                           std::max(Box.Bottom, p.Y)}
                  : TMfBox{p.X, p.Y, p.X, p.Y};
        Any = true;
    }
};

// The first window origin and extent a plain WMF sets, if any.
bool FindWindow(TByteView records, TMfBox& frame)
{
    bool haveExt = false;
    TMfPoint org{0, 0}, ext{0, 0};
    for (std::size_t pos = 0; records.Has(pos, 10);) {
        const std::uint64_t length = std::uint64_t(records.U32(pos)) * 2;
        const std::uint16_t function = records.U16(pos + 4);
        if (length < 6 || !records.Has(pos, length) || function == 0) break;
        if ((function == 0x020B || function == 0x020C) && length >= 10) {
            const TMfPoint p{double(records.I16(pos + 8)), double(records.I16(pos + 6))};
            if (function == 0x020C && !haveExt && p.X != 0 && p.Y != 0)
                ext = p, haveExt = true;
            else if (function == 0x020B && !haveExt)
                org = p;
        }
        pos += std::size_t(length);
    }
    frame = TMfBox{org.X, org.Y, org.X + ext.X, org.Y + ext.Y}.Normalized();
    return haveExt;
}

} // namespace

std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    const long double exact = static_cast<long double>(a) * b / c;
    return static_cast<std::int64_t>(std::llround(exact));
}

TMetafile TMetafile::FromBytes(std::vector<std::uint8_t> bytes, int screenDpi)
{
    using namespace MetafileMessages;
    if (bytes.size() > MetafileLimits::kMaxFileBytes) throw EMetafile(kFileTooLarge);
    if (screenDpi <= 0) screenDpi = kDefaultScreenDpi;
    TMetafile mf;
    mf.FBytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    const TByteView v(mf.FBytes->data(), mf.FBytes->size());
    if (v.Has(0, 4) && v.U32(0) == kPlaceableKey)
        mf.ReadPlaceable(screenDpi);
    else if (v.Has(0, 44) && v.U32(0) == 1 && v.U32(40) == kEmfSignature)
        mf.ReadEmf(screenDpi);
    else if (IsWmfHeader(v, 0))
        mf.ReadPlain(screenDpi);
    else
        throw EMetafile(kNotMetafile);
    return mf;
}

TMetafile TMetafile::FromFile(const std::string& path, int screenDpi)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw EMetafile(MetafileMessages::CannotOpen(path));
    const std::streamoff size = in.tellg();
    if (size < 0) throw EMetafile(MetafileMessages::CannotOpen(path));
    if (std::uint64_t(size) > MetafileLimits::kMaxFileBytes) throw EMetafile(MetafileMessages::kFileTooLarge);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
        throw EMetafile(MetafileMessages::CannotOpen(path));
    return FromBytes(std::move(bytes), screenDpi);
}

void TMetafile::SetPictureSize(std::int64_t width, std::int64_t height)
{
    using namespace MetafileMessages;
    if (width <= 0 || height <= 0) throw EMetafile(kNoFrame);
    if (width > MetafileLimits::kMaxPictureSide || height > MetafileLimits::kMaxPictureSide)
        throw EMetafile(kExtentTooLarge);
    FWidth = int(width);
    FHeight = int(height);
}

void TMetafile::ReadWmfHeader(std::size_t at)
{
    const TByteView v(FBytes->data(), FBytes->size());
    if (!IsWmfHeader(v, at)) throw EMetafile(MetafileMessages::kInvalidHeader);
    FObjectCount = v.U16(at + 10);
    FRecordsAt = at + kWmfHeaderSize;
}

void TMetafile::ReadPlaceable(int screenDpi)
{
    const TByteView v(FBytes->data(), FBytes->size());
    if (!v.Has(0, kPlaceableSize)) throw EMetafile(MetafileMessages::kInvalidHeader);
    FKind = TMetafileKind::PlaceableWmf;
    const std::int64_t inch = v.U16(14);
    if (inch == 0) throw EMetafile(MetafileMessages::kInvalidHeader);
    FFrame = TMfBox{double(v.I16(6)), double(v.I16(8)), double(v.I16(10)), double(v.I16(12))}.Normalized();
    ReadWmfHeader(kPlaceableSize);
    // As the Windows picture classes do: bounds to 0.01 mm, then to pixels.
    const std::int64_t mmWidth = MulDiv(std::int64_t(FFrame.Width()), kHundredthMmPerInch, inch);
    const std::int64_t mmHeight = MulDiv(std::int64_t(FFrame.Height()), kHundredthMmPerInch, inch);
    SetPictureSize(MulDiv(mmWidth, screenDpi, kHundredthMmPerInch),
                   MulDiv(mmHeight, screenDpi, kHundredthMmPerInch));
}

void TMetafile::ReadPlain(int screenDpi)
{
    FKind = TMetafileKind::PlainWmf;
    ReadWmfHeader(0);
    const TByteView records(FBytes->data() + FRecordsAt, FBytes->size() - FRecordsAt);
    if (!FindWindow(records, FFrame)) {
        // No window: the extent of what it draws, in its own units.
        TBoundsCanvas bounds;
        TWmfPlayer player(bounds, 1, 1, TMfBox{0, 0, 1, 1}, 1, true);
        player.SetBudget(TMfBudget(FBytes->size()));
        try {
            player.Play(records, FObjectCount);
        } catch (const std::bad_alloc&) {
            throw EMetafile(MetafileMessages::kOutOfMemory);
        }
        if (!bounds.Any) throw EMetafile(MetafileMessages::kNoFrame);
        FFrame = bounds.Box;
        FDeviceFrame = true;
    }
    // A plain WMF does not say how large its units are: read them as pixels,
    // or as twips when that would make the picture too large.
    const auto w = std::int64_t(std::ceil(FFrame.Width())), h = std::int64_t(std::ceil(FFrame.Height()));
    const std::int64_t limit = MetafileLimits::kMaxPictureSide;
    const std::int64_t inch =
        MulDiv(std::max(w, h), screenDpi, kDefaultScreenDpi) > limit ? 1440 : kDefaultScreenDpi;
    SetPictureSize(MulDiv(w, screenDpi, inch), MulDiv(h, screenDpi, inch));
}

void TMetafile::ReadEmf(int screenDpi)
{
    const TByteView v(FBytes->data(), FBytes->size());
    const std::uint32_t headerSize = v.U32(4);
    if (headerSize < kEmfHeaderMin || !v.Has(0, headerSize))
        throw EMetafile(MetafileMessages::kInvalidHeader);
    FKind = TMetafileKind::Emf;
    FObjectCount = v.U16(56);
    double ppmmX = double(v.I32(72)) / v.I32(80), ppmmY = double(v.I32(76)) / v.I32(84);
    if (headerSize >= 108 && v.I32(100) > 0 && v.I32(104) > 0)
        ppmmX = double(v.I32(72)) * 1000 / v.I32(100), ppmmY = double(v.I32(76)) * 1000 / v.I32(104);
    if (!(std::isfinite(ppmmX) && std::isfinite(ppmmY) && ppmmX > 0 && ppmmY > 0))
        ppmmX = ppmmY = kDefaultScreenDpi / 25.4;
    FDevice.PixelsPerMmX = ppmmX, FDevice.PixelsPerMmY = ppmmY;
    TMfBox frame = emf_fields::RectL(v, 24); // 0.01 mm
    if (frame.Width() <= 0 || frame.Height() <= 0) {
        // No usable frame: take the bounds (device pixels, inclusive).
        const TMfBox b = emf_fields::RectL(v, 8);
        frame = {b.Left * 100 / ppmmX, b.Top * 100 / ppmmY, (b.Right + 1) * 100 / ppmmX,
                 (b.Bottom + 1) * 100 / ppmmY};
    }
    FDevice.Frame = {frame.Left * ppmmX / 100, frame.Top * ppmmY / 100, frame.Right * ppmmX / 100,
                     frame.Bottom * ppmmY / 100};
    // A frame taken from the bounds of a device with absurd millimetres can be
    // beyond any integer; it is refused before it is rounded.
    constexpr double kMaxFrame = 1e12;
    if (!(frame.Width() < kMaxFrame && frame.Height() < kMaxFrame))
        throw EMetafile(MetafileMessages::kExtentTooLarge);
    const auto mmWidth = std::int64_t(std::llround(frame.Width())),
               mmHeight = std::int64_t(std::llround(frame.Height()));
    SetPictureSize(MulDiv(mmWidth, screenDpi, kHundredthMmPerInch),
                   MulDiv(mmHeight, screenDpi, kHundredthMmPerInch));
}

TMfPlayResult TMetafile::Play(IMetafileCanvas& canvas, double width, double height) const
{
    try {
        return PlayUnguarded(canvas, width, height);
    } catch (const std::bad_alloc&) {
        throw EMetafile(MetafileMessages::kOutOfMemory);
    }
}

TMfPlayResult TMetafile::PlayUnguarded(IMetafileCanvas& canvas, double width, double height) const
{
    if (!(width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height))) return {};
    const double pixelScale = width / FWidth;
    const TByteView v(FBytes->data(), FBytes->size());
    if (FKind == TMetafileKind::Emf) {
        TEmfPlayer player(canvas, width, height, FDevice, pixelScale);
        player.SetBudget(TMfBudget(v.Size()));
        player.Play(v, FObjectCount);
        return player.Result();
    }
    TWmfPlayer player(canvas, width, height, FFrame, pixelScale, FDeviceFrame);
    player.SetBudget(TMfBudget(v.Size()));
    player.Play(v.Sub(FRecordsAt, v.Size() - FRecordsAt), FObjectCount);
    return player.Result();
}

} // namespace quorvane
