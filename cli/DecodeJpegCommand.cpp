// "decode" of a JPEG file: decodes with the settings given as options and
// writes the bitmap as a BMP file, whose rows are the bitmap's own layout
// (bottom-up, padded to 4 bytes; 24-bit, or 8-bit with its palette).
#include "CliCommands.h"
#include "JPEGImage.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct TDecodeOptions {
    quorvane::TJPEGScale Scale = quorvane::TJPEGScale::jsFullSize;
    bool Grey = false;
    bool Fast = false;
    bool EightBit = false;
    bool Progressive = false;
    std::string Input;
    std::string Output;
};

bool ParseScale(const std::string& text, quorvane::TJPEGScale& scale)
{
    using quorvane::TJPEGScale;
    if (text == "1")
        scale = TJPEGScale::jsFullSize;
    else if (text == "2")
        scale = TJPEGScale::jsHalf;
    else if (text == "4")
        scale = TJPEGScale::jsQuarter;
    else if (text == "8")
        scale = TJPEGScale::jsEighth;
    else
        return false;
    return true;
}

// False (after a message) when the arguments are not of the command's form.
bool ParseOptions(const std::vector<std::string>& args, TDecodeOptions& options)
{
    std::vector<std::string> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--scale") {
            if (i + 1 >= args.size() || !ParseScale(args[++i], options.Scale)) {
                std::fputs("quorvane-cli: --scale takes 1, 2, 4 or 8\n", stderr);
                return false;
            }
        } else if (a == "--gray")
            options.Grey = true;
        else if (a == "--fast")
            options.Fast = true;
        else if (a == "--8bit")
            options.EightBit = true;
        else if (a == "--progressive")
            options.Progressive = true;
        else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "quorvane-cli: unknown option %s\n", a.c_str());
            return false;
        } else
            operands.push_back(a);
    }
    if (operands.size() != 2) {
        std::fputs("usage: quorvane-cli decode [--scale 1|2|4|8] [--gray] [--fast] [--8bit] [--progressive] "
                   "FILE OUT.bmp\n",
                   stderr);
        return false;
    }
    options.Input = operands[0];
    options.Output = operands[1];
    return true;
}

void PutLE(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// File header, info header and palette of a bottom-up BMP.
std::vector<std::uint8_t> BmpHeaders(const quorvane::TJPEGBitmap& bitmap)
{
    const auto colours = static_cast<std::uint32_t>(bitmap.Palette.size());
    const std::uint32_t offset = 14 + 40 + 4 * colours;
    const auto imageSize =
        static_cast<std::uint32_t>(bitmap.RowBytes() * static_cast<size_t>(bitmap.Height()));
    std::vector<std::uint8_t> out{'B', 'M'};
    PutLE(out, offset + imageSize, 4);
    PutLE(out, 0, 4);
    PutLE(out, offset, 4);
    PutLE(out, 40, 4);
    PutLE(out, static_cast<std::uint32_t>(bitmap.Width()), 4);
    PutLE(out, static_cast<std::uint32_t>(bitmap.Height()), 4); // positive: rows bottom-up
    PutLE(out, 1, 2);
    PutLE(out, static_cast<std::uint32_t>(bitmap.BitsPerPixel()), 2);
    PutLE(out, 0, 4); // no compression
    PutLE(out, imageSize, 4);
    PutLE(out, 2835, 4); // 72 dots per inch
    PutLE(out, 2835, 4);
    PutLE(out, colours, 4);
    PutLE(out, 0, 4);
    for (const quorvane::TPaletteEntry& e : bitmap.Palette)
        out.insert(out.end(), {e.Blue, e.Green, e.Red, 0});
    return out;
}

bool WriteBmp(const std::string& path, const quorvane::TJPEGBitmap& bitmap)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    const std::vector<std::uint8_t> headers = BmpHeaders(bitmap);
    file.write(reinterpret_cast<const char*>(headers.data()), static_cast<std::streamsize>(headers.size()));
    if (bitmap.Bits())
        file.write(reinterpret_cast<const char*>(bitmap.Bits()),
                   static_cast<std::streamsize>(bitmap.RowBytes() * static_cast<size_t>(bitmap.Height())));
    return static_cast<bool>(file.flush());
}

} // namespace

int quorvane::cli::RunDecodeJpeg(const std::vector<std::string>& args)
{
    TDecodeOptions options;
    if (!ParseOptions(args, options)) return 2;
    try {
        TJPEGImage image;
        image.LoadFromFile(options.Input);
        image.SetScale(options.Scale);
        image.SetGrayscale(options.Grey);
        image.SetPerformance(options.Fast ? TJPEGPerformance::jpBestSpeed : TJPEGPerformance::jpBestQuality);
        image.SetPixelFormat(options.EightBit ? TJPEGPixelFormat::jf8Bit : TJPEGPixelFormat::jf24Bit);
        image.SetProgressiveDisplay(options.Progressive);
        const TJPEGBitmap& bitmap = image.Bitmap();
        if (!WriteBmp(options.Output, bitmap)) {
            std::fprintf(stderr, "Cannot create file %s\n", options.Output.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", options.Input.c_str(), e.what());
        return 1;
    }
    return 0;
}
