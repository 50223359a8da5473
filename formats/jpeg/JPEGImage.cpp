// TJPEGImage: settings, lazy decoding and size queries over the decoder.
// A bitmap being decoded is never freed under the decoder: a setting change
// made from a progress listener frees it once the decode has returned.
#include "JPEGImage.h"

#include "JPEGColor.h"
#include "JPEGDecoder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace quorvane {
namespace {

TJPEGPixelFormat GDefaultPixelFormat = TJPEGPixelFormat::jf24Bit;

} // namespace

EJPEG::EJPEG(int code) : std::runtime_error("JPEG error #" + std::to_string(code)), FCode(code) {}

TJPEGPixelFormat PixelFormatForScreenDepth(int bitsPerPixel)
{
    return bitsPerPixel <= 8 ? TJPEGPixelFormat::jf8Bit : TJPEGPixelFormat::jf24Bit;
}

TJPEGPixelFormat TJPEGImage::DefaultPixelFormat()
{
    return GDefaultPixelFormat;
}

void TJPEGImage::SetDefaultPixelFormat(TJPEGPixelFormat value)
{
    GDefaultPixelFormat = value;
}

TJPEGImage::TJPEGImage() : FData(std::make_shared<TJPEGData>()), FPixelFormat(GDefaultPixelFormat) {}

TJPEGImage::TJPEGImage(const TJPEGImage& other)
    : FData(other.FData), FBitmap(other.FBitmap ? std::make_unique<TJPEGBitmap>(*other.FBitmap) : nullptr),
      FScaledWidth(other.FScaledWidth), FScaledHeight(other.FScaledHeight), FTempPalette(other.FTempPalette),
      FSmoothing(other.FSmoothing), FGrayscale(other.FGrayscale), FPixelFormat(other.FPixelFormat),
      FCompressionQuality(other.FCompressionQuality), FProgressiveDisplay(other.FProgressiveDisplay),
      FProgressiveEncoding(other.FProgressiveEncoding), FPerformance(other.FPerformance),
      FScale(other.FScale), FNeedRecalc(other.FNeedRecalc), FLimits(other.FLimits)
{
}

TJPEGImage& TJPEGImage::operator=(const TJPEGImage& other)
{
    if (this == &other) return *this;
    TJPEGImage copy(other);
    FData = std::move(copy.FData);
    FreeBitmap();
    if (!FDecoding) FBitmap = std::move(copy.FBitmap);
    FScaledWidth = copy.FScaledWidth;
    FScaledHeight = copy.FScaledHeight;
    FTempPalette = std::move(copy.FTempPalette);
    FSmoothing = copy.FSmoothing;
    FGrayscale = copy.FGrayscale;
    FPixelFormat = copy.FPixelFormat;
    FCompressionQuality = copy.FCompressionQuality;
    FProgressiveDisplay = copy.FProgressiveDisplay;
    FProgressiveEncoding = copy.FProgressiveEncoding;
    FPerformance = copy.FPerformance;
    FScale = copy.FScale;
    FNeedRecalc = copy.FNeedRecalc;
    FLimits = copy.FLimits;
    FPaletteModified = true;
    Changed();
    return *this;
}

void TJPEGImage::Assign(const TJPEGBitmap& bitmap)
{
    auto copy = std::make_unique<TJPEGBitmap>(bitmap);
    FData = std::make_shared<TJPEGData>();
    FreeBitmap();
    if (!FDecoding) FBitmap = std::move(copy);
    FPaletteModified = true;
    Changed();
}

namespace {

// Follows a JPEG's marker structure byte by byte (segment lengths, then
// entropy-coded data up to the next marker) to find the end of the picture:
// bytes after the EOI marker are padding that no decoder reads. A stream
// that breaks the structure ends nothing: it is read up to the cap.
class TJpegEndFinder {
  public:
    // Feeds bytes; returns how many of them belong to the picture (all of
    // them until the EOI marker is seen).
    std::size_t Feed(const std::uint8_t* data, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i)
            if (Step(data[i])) return i + 1;
        return size;
    }
    bool Ended() const { return FState == EState::Ended; }
    // True when the bytes do not even start with the SOI marker.
    bool NotJpeg() const { return FNotJpeg; }

  private:
    enum class EState { Start, Marker, MarkerCode, Length1, Length2, Skip, Entropy, EntropyFF, Ended, Lost };

    // True when byte was the last of the picture.
    bool Step(std::uint8_t byte)
    {
        switch (FState) {
        case EState::Start:
            FState = byte == 0xFF ? EState::Marker : EState::Lost;
            FNotJpeg = byte != 0xFF;
            return false;
        case EState::Marker:
            FState = byte == 0xD8 ? EState::MarkerCode : EState::Lost; // SOI, then the markers
            FNotJpeg = byte != 0xD8;
            FCode = 0;
            return false;
        case EState::MarkerCode:
            if (byte == 0xFF)
                FState = EState::EntropyFF; // a marker follows (fill bytes allowed)
            else
                FState = FCode == 0xDA ? EState::Entropy : EState::Lost;
            return false;
        case EState::EntropyFF:
            return Code(byte);
        case EState::Length1:
            FLength = std::size_t{byte} << 8;
            FState = EState::Length2;
            return false;
        case EState::Length2:
            FLength |= byte;
            FState = FLength < 2 ? EState::Lost : FLength == 2 ? AfterSegment() : EState::Skip;
            FLength -= 2;
            return false;
        case EState::Skip:
            if (--FLength == 0) FState = AfterSegment();
            return false;
        case EState::Entropy:
            if (byte == 0xFF) FState = EState::EntropyFF;
            return false;
        case EState::Ended:
        case EState::Lost:
            return false;
        }
        return false;
    }

    // The byte after an 0xFF: stuffing, a restart, a fill byte or a marker.
    bool Code(std::uint8_t byte)
    {
        if (byte == 0xFF) return false;
        if (byte == 0x00 || (byte >= 0xD0 && byte <= 0xD7) || byte == 0x01) {
            FState = FCode == 0xDA ? EState::Entropy : EState::MarkerCode;
            return false;
        }
        if (byte == 0xD9) {
            FState = EState::Ended;
            return true;
        }
        FCode = byte;
        FState = EState::Length1;
        return false;
    }

    EState AfterSegment() const { return FCode == 0xDA ? EState::Entropy : EState::MarkerCode; }

    EState FState = EState::Start;
    std::uint8_t FCode = 0;
    std::size_t FLength = 0;
    bool FNotJpeg = false;
};

} // namespace

void TJPEGImage::LoadFromStream(std::istream& stream, std::uint64_t sizeHint)
{
    // Read in blocks up to the picture's EOI marker, never beyond the cap: a
    // picture followed by gigabytes of padding costs what the picture costs.
    // The blocks land in place, in room taken once for the whole file when
    // its size is known: every byte copied or page touched twice shows in
    // the time a large photo takes to appear.
    constexpr std::size_t kBlockBytes = std::size_t(1) << 20;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(std::min<std::uint64_t>(sizeHint, kMaxJpegFileBytes));
    TJpegEndFinder end;
    while (!end.Ended() && !end.NotJpeg() && bytes.size() < kMaxJpegFileBytes) {
        const std::size_t at = bytes.size();
        const std::size_t want = std::min(kBlockBytes, kMaxJpegFileBytes - at);
        bytes.resize(at + want);
        stream.read(reinterpret_cast<char*>(bytes.data() + at), static_cast<std::streamsize>(want));
        const auto got = static_cast<std::size_t>(stream.gcount());
        bytes.resize(at + end.Feed(bytes.data() + at, got));
        if (got == 0) break;
    }
    LoadFromBytes(std::move(bytes));
}

void TJPEGImage::LoadFromFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("Cannot open file " + path);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    // One byte more, so that reading to the end needs no second room.
    LoadFromStream(file, error ? 0 : std::uint64_t(size) + 1);
}

void TJPEGImage::LoadFromBytes(std::vector<std::uint8_t> bytes)
{
    auto data = std::make_shared<TJPEGData>();
    data->Bytes = std::move(bytes);
    FData = data;
    FreeBitmap();
    FNeedRecalc = true;
    if (!data->Bytes.empty()) {
        const TJPEGHeaderFacts facts = ReadJPEGHeader(data->Bytes.data(), data->Bytes.size(), FLimits);
        data->Width = facts.Width;
        data->Height = facts.Height;
        data->Grayscale = facts.Grayscale;
        FProgressiveEncoding = facts.Progressive;
    }
    FPaletteModified = true;
    Changed();
}

bool TJPEGImage::Empty() const
{
    return !FBitmap && FData->Bytes.empty();
}

int TJPEGImage::Width()
{
    if (FBitmap) return FBitmap->Width();
    if (FScale == TJPEGScale::jsFullSize) return FData->Width;
    if (FNeedRecalc) CalcScaledSize();
    return FScaledWidth;
}

int TJPEGImage::Height()
{
    if (FBitmap) return FBitmap->Height();
    if (FScale == TJPEGScale::jsFullSize) return FData->Height;
    if (FNeedRecalc) CalcScaledSize();
    return FScaledHeight;
}

void TJPEGImage::SetWidth(int)
{
    throw EJPEGSize();
}

void TJPEGImage::SetHeight(int)
{
    throw EJPEGSize();
}

void TJPEGImage::CalcScaledSize()
{
    if (FData->Bytes.empty()) {
        FScaledWidth = FScaledHeight = 0;
        return;
    }
    TJPEGDecodeRequest request;
    request.Data = FData->Bytes.data();
    request.Size = FData->Bytes.size();
    request.Settings = {FPixelFormat, FScale, FPerformance, FGrayscale, FProgressiveDisplay, FSmoothing};
    request.Limits = FLimits;
    const TJPEGOutputSize size = CalcJPEGOutputSize(request);
    FScaledWidth = size.Width;
    FScaledHeight = size.Height;
    FProgressiveEncoding = size.Progressive;
}

const TJPEGBitmap& TJPEGImage::Bitmap()
{
    if (!FBitmap && !FDecoding) Decode();
    // Null only when a progress listener changed a setting mid-decode (or
    // asks before the decode made its bitmap): the next call decodes afresh.
    static const TJPEGBitmap kNone;
    return FBitmap ? *FBitmap : kNone;
}

void TJPEGImage::Decode()
{
    if (FTempPalette && FPixelFormat == TJPEGPixelFormat::jf24Bit) FTempPalette.reset();
    const std::shared_ptr<TJPEGData> data = FData; // a listener may load another file meanwhile
    const std::optional<TJPEGPalette> fixed = FTempPalette;
    TJPEGDecodeRequest request;
    request.Data = data->Bytes.data();
    request.Size = data->Bytes.size();
    request.Settings = {FPixelFormat, FScale, FPerformance, FGrayscale, FProgressiveDisplay, FSmoothing};
    request.Limits = FLimits;
    request.FixedPalette = fixed ? &*fixed : nullptr;
    request.OnProgress = &FOnProgress;
    request.Clock = &FClock;
    request.OutputPasses = &FOutputPasses;
    bool paletteModified = false;
    FDecoding = true;
    FFreeAfterDecode = false;
    auto finish = [&] {
        FDecoding = false;
        if (FFreeAfterDecode) FBitmap.reset();
        if (paletteModified) {
            FPaletteModified = true;
            Changed();
        }
    };
    try {
        DecodeJPEG(request, FBitmap, paletteModified);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

const TJPEGPalette* TJPEGImage::Palette(int screenBitsPerPixel)
{
    if (FBitmap) return FBitmap->Palette.empty() ? nullptr : &FBitmap->Palette;
    if (FTempPalette) return &*FTempPalette;
    if (FPixelFormat == TJPEGPixelFormat::jf8Bit) return nullptr;
    if (screenBitsPerPixel <= 8) {
        FTempPalette = HalftonePalette();
        return &*FTempPalette;
    }
    return nullptr;
}

void TJPEGImage::SetPalette(TJPEGPalette palette)
{
    // An 8-bit decode quantises to this palette, so its bitmap is out of date.
    if (FPixelFormat == TJPEGPixelFormat::jf8Bit) FreeBitmap();
    FTempPalette = std::move(palette);
    FPaletteModified = true;
    Changed();
}

void TJPEGImage::FreeBitmap()
{
    if (FDecoding)
        FFreeAfterDecode = true;
    else
        FBitmap.reset();
}

void TJPEGImage::SettingChanged(bool scaleChanged)
{
    if (scaleChanged)
        FNeedRecalc = true;
    else
        FPaletteModified = true;
    Changed();
}

void TJPEGImage::Changed()
{
    if (FOnChange) FOnChange();
}

void TJPEGImage::SetPixelFormat(TJPEGPixelFormat value)
{
    if (value == FPixelFormat) return;
    FreeBitmap();
    FPixelFormat = value;
    SettingChanged(false);
}

void TJPEGImage::SetScale(TJPEGScale value)
{
    if (value == FScale) return;
    FreeBitmap();
    FScale = value;
    SettingChanged(true);
}

void TJPEGImage::SetGrayscale(bool value)
{
    if (value == FGrayscale) return;
    FreeBitmap();
    FGrayscale = value;
    SettingChanged(false);
}

void TJPEGImage::SetPerformance(TJPEGPerformance value)
{
    if (value == FPerformance) return;
    FreeBitmap();
    FPerformance = value;
    SettingChanged(false);
}

void TJPEGImage::SetSmoothing(bool value)
{
    if (value == FSmoothing) return;
    FreeBitmap();
    FSmoothing = value;
    Changed();
}

void TJPEGImage::SetCompressionQuality(TJPEGQualityRange value)
{
    FCompressionQuality = std::clamp<TJPEGQualityRange>(value, 1, 100);
}

} // namespace quorvane
