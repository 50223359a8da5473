// TJPEGImage: settings, lazy decoding and size queries over the decoder.
// A bitmap being decoded is never freed under the decoder: a setting change
// made from a progress listener frees it once the decode has returned.
#include "JPEGImage.h"

#include "JPEGColor.h"
#include "JPEGDecoder.h"

#include <algorithm>
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

void TJPEGImage::LoadFromStream(std::istream& stream)
{
    // Sized in one go when the stream can tell its length; else read in blocks.
    std::vector<std::uint8_t> bytes;
    const std::istream::pos_type start = stream.tellg();
    if (start != std::istream::pos_type(-1) && stream.seekg(0, std::ios::end)) {
        const std::istream::pos_type end = stream.tellg();
        stream.seekg(start);
        if (end != std::istream::pos_type(-1) && end > start)
            bytes.resize(static_cast<std::size_t>(end - start));
    }
    stream.clear();
    if (!bytes.empty()) {
        stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(stream.gcount()));
    }
    char block[65536];
    while (stream.read(block, sizeof block) || stream.gcount() > 0)
        bytes.insert(bytes.end(), block, block + stream.gcount());
    LoadFromBytes(std::move(bytes));
}

void TJPEGImage::LoadFromFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("Cannot open file " + path);
    LoadFromStream(file);
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
