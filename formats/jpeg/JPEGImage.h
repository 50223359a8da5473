// TJPEGImage: one JPEG file's compressed bytes, decoded to a TJPEGBitmap
// only when the bitmap is first asked for. Invariant: the bitmap, when
// present, was decoded with the current settings (a setting change frees
// it); after a failed or cancelled decode the partial bitmap stays and is
// not decoded again.
#pragma once

#include "JPEGBitmap.h"
#include "JPEGTypes.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// The compressed file and its header facts, shared between copies.
struct TJPEGData {
    std::vector<std::uint8_t> Bytes;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool Grayscale = false;
};

// The most bytes of a file or stream a JPEG picture is read from; reading
// also stops at the picture's end marker, so padding after it costs nothing.
inline constexpr std::size_t kMaxJpegFileBytes = std::size_t{1} << 30;

class TJPEGImage {
  public:
    TJPEGImage();
    // Copies share the data holder and copy the decoded bitmap, if any.
    TJPEGImage(const TJPEGImage& other);
    TJPEGImage& operator=(const TJPEGImage& other);
    // A fresh empty holder with a copy of the bitmap.
    void Assign(const TJPEGBitmap& bitmap);
    // Equal when both share the same data holder.
    bool operator==(const TJPEGImage& other) const { return FData == other.FData; }

    // Takes every byte from the stream's position to its end and reads the
    // header (nothing is decoded). Throws EJPEG for a bad or refused header;
    // the holder then keeps the bytes, and the picture counts as not loaded.
    // sizeHint: the stream's length when known, to read it into one block.
    void LoadFromStream(std::istream& stream, std::uint64_t sizeHint = 0);
    // Throws std::runtime_error "Cannot open file <path>" or EJPEG.
    void LoadFromFile(const std::string& path);
    void LoadFromBytes(std::vector<std::uint8_t> bytes);

    bool Empty() const;
    // The decoded bitmap's size; else the header's at full scale; else the
    // output size libjpeg computes for the scale (recomputed on each query).
    int Width();
    int Height();
    [[noreturn]] void SetWidth(int);
    [[noreturn]] void SetHeight(int);

    // The decoded picture, decoding it first if needed. Throws EJPEG (the
    // rows done so far stay in the bitmap) or a listener's exception.
    const TJPEGBitmap& Bitmap();
    // The bitmap if one exists, without decoding.
    const TJPEGBitmap* DecodedBitmap() const { return FBitmap.get(); }

    // Palette for drawing on a screen of the given bits per pixel (bits
    // times planes), or null when none is needed.
    const TJPEGPalette* Palette(int screenBitsPerPixel);
    // A palette set from outside: with jf8Bit the decode quantises to it.
    void SetPalette(TJPEGPalette palette);
    bool PaletteModified() const { return FPaletteModified; }
    // Output passes of the last decode (intermediate ones and the final one).
    int LastOutputPasses() const { return FOutputPasses; }
    void ClearPaletteModified() { FPaletteModified = false; }

    TJPEGPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TJPEGPixelFormat value);
    TJPEGScale Scale() const { return FScale; }
    void SetScale(TJPEGScale value);
    bool Grayscale() const { return FGrayscale; }
    void SetGrayscale(bool value);
    TJPEGPerformance Performance() const { return FPerformance; }
    void SetPerformance(TJPEGPerformance value);
    bool ProgressiveDisplay() const { return FProgressiveDisplay; }
    void SetProgressiveDisplay(bool value) { FProgressiveDisplay = value; }
    bool Smoothing() const { return FSmoothing; }
    void SetSmoothing(bool value);
    TJPEGQualityRange CompressionQuality() const { return FCompressionQuality; }
    void SetCompressionQuality(TJPEGQualityRange value);
    bool ProgressiveEncoding() const { return FProgressiveEncoding; }
    void SetProgressiveEncoding(bool value) { FProgressiveEncoding = value; }

    const std::shared_ptr<const TJPEGData> Data() const { return FData; }
    const TJPEGLimits& Limits() const { return FLimits; }
    void SetLimits(const TJPEGLimits& limits) { FLimits = limits; }

    void SetOnProgress(TJPEGProgressEvent handler) { FOnProgress = std::move(handler); }
    void SetOnChange(std::function<void()> handler) { FOnChange = std::move(handler); }
    // Replaces the monotonic millisecond clock of the progress throttle.
    void SetProgressClock(TJPEGClock clock) { FClock = std::move(clock); }

    // Pixel format of new objects; set at start-up from the screen depth.
    static TJPEGPixelFormat DefaultPixelFormat();
    static void SetDefaultPixelFormat(TJPEGPixelFormat value);

  private:
    void FreeBitmap();
    void SettingChanged(bool scaleChanged);
    void Changed();
    void Decode();
    void CalcScaledSize();

    std::shared_ptr<TJPEGData> FData;
    std::unique_ptr<TJPEGBitmap> FBitmap;
    std::int32_t FScaledWidth = 0;
    std::int32_t FScaledHeight = 0;
    std::optional<TJPEGPalette> FTempPalette;
    bool FSmoothing = true;
    bool FGrayscale = false;
    TJPEGPixelFormat FPixelFormat;
    TJPEGQualityRange FCompressionQuality = 90;
    bool FProgressiveDisplay = false;
    bool FProgressiveEncoding = false;
    TJPEGPerformance FPerformance = TJPEGPerformance::jpBestQuality;
    TJPEGScale FScale = TJPEGScale::jsFullSize;
    bool FNeedRecalc = false;
    bool FPaletteModified = false;
    bool FDecoding = false;
    bool FFreeAfterDecode = false;
    TJPEGLimits FLimits;
    TJPEGProgressEvent FOnProgress;
    std::function<void()> FOnChange;
    TJPEGClock FClock;
    int FOutputPasses = 0;
};

} // namespace quorvane
