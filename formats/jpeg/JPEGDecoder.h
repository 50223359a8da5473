// The libjpeg driver behind TJPEGImage: header reading, output-size
// calculation and decoding into a TJPEGBitmap. Every libjpeg call runs
// inside a setjmp frame that holds no object with a destructor; failures
// leave it by longjmp and are raised as EJPEG only after that frame is gone,
// and the decompression object is destroyed on every path.
#pragma once

#include "JPEGBitmap.h"
#include "JPEGTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvane {

struct TJPEGHeaderFacts {
    int Width = 0;
    int Height = 0;
    bool Grayscale = false;
    bool Progressive = false; // more than one scan
};

struct TJPEGDecodeSettings {
    TJPEGPixelFormat PixelFormat = TJPEGPixelFormat::jf24Bit;
    TJPEGScale Scale = TJPEGScale::jsFullSize;
    TJPEGPerformance Performance = TJPEGPerformance::jpBestQuality;
    bool Grayscale = false;
    bool ProgressiveDisplay = false;
    bool Smoothing = true;
};

struct TJPEGDecodeRequest {
    const std::uint8_t* Data = nullptr;
    std::size_t Size = 0;
    TJPEGDecodeSettings Settings;
    TJPEGLimits Limits;
    // With jf8Bit: the colours to quantise to instead of generated ones.
    const TJPEGPalette* FixedPalette = nullptr;
    const TJPEGProgressEvent* OnProgress = nullptr;
    const TJPEGClock* Clock = nullptr;
    // When set: receives the number of output passes the decode ran.
    int* OutputPasses = nullptr;
};

struct TJPEGOutputSize {
    int Width = 0;
    int Height = 0;
    bool Progressive = false;
};

enum class TJPEGDecodeOutcome { Completed, Cancelled };

// Reads the header only. Throws EJPEG.
TJPEGHeaderFacts ReadJPEGHeader(const std::uint8_t* data, std::size_t size, const TJPEGLimits& limits);

// libjpeg's output size for the request's settings. Throws EJPEG.
TJPEGOutputSize CalcJPEGOutputSize(const TJPEGDecodeRequest& request);

// Decodes into bitmap, which is made first and kept whatever happens: rows
// not reached stay zero. paletteModified tells whether the bitmap's palette
// was set. Throws EJPEG, or what a progress listener threw other than
// EJPEGAbort; EJPEGAbort ends the decode quietly as Cancelled.
TJPEGDecodeOutcome DecodeJPEG(const TJPEGDecodeRequest& request, std::unique_ptr<TJPEGBitmap>& bitmap,
                              bool& paletteModified);

} // namespace quorvane
