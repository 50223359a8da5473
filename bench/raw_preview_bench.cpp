// Time of a camera RAW's preview: the whole decode the window asks for
// (DecodePhotoFile with a short side to reach) and its steps taken apart:
// reading the file, LibRaw finding the embedded JPEG, and our JPEG decode of
// it at the DCT scale that short side allows. A WxH argument times the
// decode for a control of that size instead (the smallest preview the file
// holds that fills it). Medians of RUNS runs, in ms.
// usage: quorvane_bench_raw_preview FILE.dng [RUNS] [SHORT_SIDE | WxH...]
#include "JPEGImage.h"
#include "PhotoDecoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <libraw/libraw.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quorvane;

double MedianMs(int runs, const std::function<void()>& step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        step();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::vector<std::uint8_t> ReadAll(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The embedded preview's bytes, as LibRaw hands them over.
std::vector<std::uint8_t> Thumb(std::vector<std::uint8_t>& bytes)
{
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    if (raw->open_buffer(bytes.data(), bytes.size()) != LIBRAW_SUCCESS ||
        raw->unpack_thumb() != LIBRAW_SUCCESS || raw->imgdata.thumbnail.tformat != LIBRAW_THUMBNAIL_JPEG)
        return {};
    const auto* thumb = reinterpret_cast<const std::uint8_t*>(raw->imgdata.thumbnail.thumb);
    return {thumb, thumb + raw->imgdata.thumbnail.tlength};
}

const char* ScaleName(TJPEGScale scale)
{
    switch (scale) {
    case TJPEGScale::jsEighth:
        return "1/8";
    case TJPEGScale::jsQuarter:
        return "1/4";
    case TJPEGScale::jsHalf:
        return "1/2";
    default:
        return "1/1";
    }
}

TJPEGScale ScaleFor(int shorter, int minShortSide)
{
    if (minShortSide > 0) {
        if (shorter / 8 >= minShortSide) return TJPEGScale::jsEighth;
        if (shorter / 4 >= minShortSide) return TJPEGScale::jsQuarter;
        if (shorter / 2 >= minShortSide) return TJPEGScale::jsHalf;
    }
    return TJPEGScale::jsFullSize;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: quorvane_bench_raw_preview FILE.dng [RUNS] [SHORT_SIDE...]\n", stderr);
        return 2;
    }
    const char* path = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    std::vector<int> sides;
    std::vector<std::pair<int, int>> boxes;
    for (int i = 3; i < argc; ++i) {
        int width = 0, height = 0;
        if (std::sscanf(argv[i], "%dx%d", &width, &height) == 2)
            boxes.emplace_back(width, height);
        else
            sides.push_back(std::atoi(argv[i]));
    }
    if (sides.empty() && boxes.empty()) sides = {0, 1080, 500};

    std::vector<std::uint8_t> bytes = ReadAll(path);
    std::vector<std::uint8_t> thumb = Thumb(bytes);
    if (thumb.empty()) {
        std::fprintf(stderr, "%s: no JPEG preview\n", path);
        return 1;
    }
    TJPEGImage header;
    header.LoadFromBytes(thumb);
    const int shorter = std::min(header.Width(), header.Height());
    std::printf("%s: %zu bytes, preview %d x %d (%zu bytes), median of %d\n", path, bytes.size(),
                header.Width(), header.Height(), thumb.size(), runs);
    std::printf("read file:            %7.1f ms\n", MedianMs(runs, [&] { (void)ReadAll(path).size(); }));
    std::printf("LibRaw finds preview: %7.1f ms\n", MedianMs(runs, [&] { (void)Thumb(bytes).size(); }));
    for (int side : sides) {
        const TJPEGScale scale = ScaleFor(shorter, side);
        const double jpeg = MedianMs(runs, [&] {
            TJPEGImage image;
            image.LoadFromBytes(thumb);
            image.SetScale(scale);
            image.SetPixelFormat(TJPEGPixelFormat::jf24Bit);
            (void)image.Bitmap().Width();
        });
        int width = 0;
        const double whole = MedianMs(runs, [&] {
            width = DecodePhotoFile(path, TPhotoRequest{true, side}).Width;
        });
        std::printf("short side %4d: JPEG decode at %s %7.1f ms; whole DecodePhotoFile %7.1f ms (%d wide)\n",
                    side, ScaleName(scale), jpeg, whole, width);
    }
    for (const auto& [boxWidth, boxHeight] : boxes) {
        TPhotoRequest request;
        request.BoxWidth = boxWidth;
        request.BoxHeight = boxHeight;
        int width = 0, height = 0;
        const double whole = MedianMs(runs, [&] {
            const TPhotoPicture picture = DecodePhotoFile(path, request);
            width = picture.Width;
            height = picture.Height;
        });
        std::printf("control %4d x %4d: whole DecodePhotoFile %7.1f ms (%d x %d)\n", boxWidth, boxHeight,
                    whole, width, height);
    }
    return 0;
}
