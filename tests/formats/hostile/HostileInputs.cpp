// The hostile picture generators. GIF data is written code by code, metafile
// records with the test builders, the JPEG with libjpeg's own compressor.
#include "HostileInputs.h"

#include "GifWriter.h"
#include "JpegFixtures.h"
#include "MetafileBuilder.h"

#include <algorithm>

namespace quorvane::testing {
namespace {

// LZW data of count pixels of colour 0 (minimum code size 2): each code is
// the longest string the table has, the table is never cleared once full.
TBytes LongRunCodes(std::uint64_t count)
{
    constexpr unsigned kClear = 4, kEnd = 5, kMaxCodes = 4096;
    std::vector<unsigned> length(kMaxCodes, 1);
    TCodePacker packer;
    unsigned width = 3, limit = 8, next = kEnd + 1;
    packer.Put(kClear, width);
    packer.Put(0, width);
    std::uint64_t done = 1;
    unsigned previous = 1;
    while (done < count) {
        const std::uint64_t left = count - done;
        unsigned code = 0;
        if (next < kMaxCodes && previous + 1 <= left) {
            code = next; // the previous string and its first pixel
        } else {
            // The longest string in the table that still fits.
            const std::uint64_t want = std::min<std::uint64_t>(left, next - 1 - kEnd);
            code = want < 2 ? 0 : unsigned(want) + kEnd - 1; // entry e holds e - 4 pixels
            if (length[code] != want) code = 0;
        }
        const unsigned emitted = code == next ? previous + 1 : length[code];
        packer.Put(code, width);
        if (next < kMaxCodes) {
            length[next] = previous + 1;
            if (++next == limit && width < 12) limit <<= 1, ++width;
        }
        done += emitted;
        previous = emitted;
    }
    packer.Put(kEnd, width);
    return packer.Finish();
}

// A side x side BI_RLE8 bitmap of one palette colour: the end-of-bitmap
// escape, padded to the least data its size is accepted with.
TBytes RunLengthDib(int side)
{
    const std::uint32_t bytes = std::max<std::uint32_t>(std::uint32_t(side) * std::uint32_t(side) / 4096, 2);
    TBytes out;
    for (std::uint32_t v : {40u, std::uint32_t(side), std::uint32_t(side)})
        Put32(out, v);
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 1);     // BI_RLE8
    Put32(out, bytes); // image size
    Put32(out, 0), Put32(out, 0);
    Put32(out, 1); // one palette entry
    Put32(out, 0);
    Put32(out, 0x00C08040);
    TBytes bits(bytes, 0);
    bits[1] = 1; // end of bitmap
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

constexpr std::size_t kDibInfoSize = 44; // header and one palette entry

// An EMF whose frame is a side-pixel square at 96 dpi (in 0.01 mm).
TEmfBuilder MakeEmf(int handles, int side)
{
    const int frame = side * 2540 / 96;
    return TEmfBuilder({0, 0, frame, frame}, handles);
}

} // namespace

THostileBytes GifClaimingHugeImage()
{
    TGifBuilder gif;
    gif.Header().Screen(16384, 16384, 0).Descriptor(16384, 16384);
    TBytes data = LzwEncode({1, 2, 3}, 2);
    data.resize(14, 0);
    return gif.ImageData(2, data).Trailer().Bytes();
}

THostileBytes GifOfHugeFrames(int frames, int side)
{
    const auto s = std::uint16_t(side);
    const TBytes data = LongRunCodes(std::uint64_t(side) * std::uint64_t(side));
    TGifBuilder gif;
    gif.Header().Screen(s, s, 0);
    for (int i = 0; i < frames; ++i)
        gif.GraphicControl(10).Descriptor(s, s).ImageData(2, data);
    return gif.Trailer().Bytes();
}

THostileBytes JpegOfManyScans(int scans, int side)
{
    quorvane::test::FixtureRecipe recipe;
    recipe.Kind = quorvane::test::FixtureKind::Grey;
    recipe.Width = 16;
    recipe.Height = 16;
    recipe.ScanCount = scans;
    recipe.Pixel = [](int x, int y, std::uint8_t* out) { *out = std::uint8_t(x * 16 + y); };
    return quorvane::test::WithFrameSize(quorvane::test::MakeJpeg(recipe), side, side);
}

THostileBytes WmfOfPatternBrushes(int brushes, int rectangles, int side)
{
    TWmfBuilder wmf(true, {0, 0, side, side}, 96, brushes + 1);
    TBytes params;
    Put16(params, 5); // BS_DIBPATTERNPT
    Put16(params, 0); // DIB_RGB_COLORS
    const TBytes dib = RunLengthDib(side);
    params.insert(params.end(), dib.begin(), dib.end());
    for (int i = 0; i < brushes; ++i)
        wmf.Raw(0x0142, params).Select(i).Rectangle(0, 0, side, side);
    for (int i = 0; i < rectangles; ++i)
        wmf.Rectangle(0, 0, side, side);
    return wmf.Bytes();
}

THostileBytes EmfOfPatternBrushes(int brushes, int rectangles, int side, int padding)
{
    TEmfBuilder emf = MakeEmf(brushes + 1, side);
    const TBytes dib = RunLengthDib(side);
    for (int i = 1; i <= brushes; ++i) {
        TBytes body;
        for (std::uint32_t v : {std::uint32_t(i), 0u, 32u, std::uint32_t(kDibInfoSize),
                                std::uint32_t(32 + kDibInfoSize), std::uint32_t(dib.size() - kDibInfoSize)})
            Put32(body, v);
        body.insert(body.end(), dib.begin(), dib.end());
        emf.Raw(94, body).Select(std::uint32_t(i)).Rectangle(0, 0, side, side);
    }
    for (int i = 0; i < rectangles; ++i)
        emf.Rectangle(0, 0, side, side);
    if (padding > 0) {
        TBytes comment;
        Put32(comment, std::uint32_t(padding));
        comment.resize(comment.size() + std::size_t(padding), 0);
        emf.Raw(70, comment); // EMR_GDICOMMENT
    }
    return emf.Bytes();
}

THostileBytes EmfOfStretchedBitmaps(int draws, int side)
{
    TEmfBuilder emf = MakeEmf(1, side);
    const TBytes dib = RunLengthDib(side);
    for (int i = 0; i < draws; ++i)
        emf.StretchDiBits({0, 0, side, side}, {0, 0, side, side}, dib, kDibInfoSize);
    return emf.Bytes();
}

std::vector<THostileInput> HostileInputs()
{
    return {
        {"claim-16384.gif", GifClaimingHugeImage()},
        {"eight-frames-16384.gif", GifOfHugeFrames(8, 16384)},
        {"scans-100-16384.jpg", JpegOfManyScans(100, 16384)},
        {"scans-100-4096.jpg", JpegOfManyScans(100, 4096)}, // the largest a small file may claim
        {"pattern-4k.wmf", WmfOfPatternBrushes(1, 10)},
        {"pattern-32k.wmf", WmfOfPatternBrushes(1, 2000)},
        {"brushes-40.wmf", WmfOfPatternBrushes(40, 0)},
        {"brushes-60.emf", EmfOfPatternBrushes(60, 0)},
        {"stretched-200.emf", EmfOfStretchedBitmaps(200)},
    };
}

} // namespace quorvane::testing
