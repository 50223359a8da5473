// quorvane-jpeg-bench: decodes JPEG files in one process through TJPEGImage,
// for timing against other decoders. Names come as arguments or, after "-",
// one per line on standard input. Prints counts and a checksum so that the
// work cannot be optimised away; exits 1 when any file failed.
#include "JPEGImage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

namespace {

struct TBenchOptions {
    quorvane::TJPEGScale Scale = quorvane::TJPEGScale::jsFullSize;
    bool Grey = false;
    bool Fast = false;
    bool EightBit = false;
    bool Progressive = false;
};

struct TBenchTotals {
    int Files = 0;
    int Failed = 0;
    unsigned long long SourcePixels = 0;
    unsigned long long OutputPixels = 0;
    unsigned long long Sum = 0;
};

quorvane::TJPEGScale ScaleFor(int denominator)
{
    switch (denominator) {
    case 2:
        return quorvane::TJPEGScale::jsHalf;
    case 4:
        return quorvane::TJPEGScale::jsQuarter;
    case 8:
        return quorvane::TJPEGScale::jsEighth;
    default:
        return quorvane::TJPEGScale::jsFullSize;
    }
}

void DecodeOne(const std::string& path, const TBenchOptions& options, TBenchTotals& totals)
{
    using namespace quorvane;
    try {
        TJPEGImage image;
        image.SetPixelFormat(options.EightBit ? TJPEGPixelFormat::jf8Bit : TJPEGPixelFormat::jf24Bit);
        image.LoadFromFile(path);
        image.SetScale(options.Scale);
        image.SetGrayscale(options.Grey);
        image.SetPerformance(options.Fast ? TJPEGPerformance::jpBestSpeed : TJPEGPerformance::jpBestQuality);
        image.SetProgressiveDisplay(options.Progressive);
        const TJPEGBitmap& bitmap = image.Bitmap();
        for (int y = 0; y < bitmap.Height(); ++y)
            totals.Sum += bitmap.ScanLine(y)[0];
        totals.SourcePixels += static_cast<unsigned long long>(image.Data()->Width) * image.Data()->Height;
        totals.OutputPixels += static_cast<unsigned long long>(bitmap.Width()) * bitmap.Height();
        ++totals.Files;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
        ++totals.Failed;
    }
}

} // namespace

int main(int argc, char** argv)
{
    TBenchOptions options;
    TBenchTotals totals;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-s") && i + 1 < argc)
            options.Scale = ScaleFor(std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "-g"))
            options.Grey = true;
        else if (!std::strcmp(argv[i], "-f"))
            options.Fast = true;
        else if (!std::strcmp(argv[i], "-8"))
            options.EightBit = true;
        else if (!std::strcmp(argv[i], "-p"))
            options.Progressive = true;
        else if (!std::strcmp(argv[i], "-")) {
            std::string line;
            while (std::getline(std::cin, line))
                if (!line.empty()) DecodeOne(line, options, totals);
        } else {
            DecodeOne(argv[i], options, totals);
        }
    }
    std::printf("files %d failed %d src_pixels %llu out_pixels %llu sum %llu\n", totals.Files, totals.Failed,
                totals.SourcePixels, totals.OutputPixels, totals.Sum);
    return totals.Failed != 0;
}
