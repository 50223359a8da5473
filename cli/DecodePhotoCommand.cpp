// quorvane-cli decode FILE OUT.bmp for the photo formats (PNG, WebP, TIFF,
// HEIC/HEIF, AVIF, JPEG XL, camera RAW): the picture as the window shows it,
// turned upright unless --stored, written as a 32-bit top-down BMP of the
// decoder's R, G, B, A bytes (a BITMAPV4 header names the masks).
#include "CliCommands.h"
#include "PhotoDecoder.h"

#include <cstdio>
#include <fstream>

namespace {

void Put(std::vector<char>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
}

bool WriteBmp(const std::string& path, const quorvane::TPhotoPicture& picture)
{
    constexpr std::uint32_t kHeaderBytes = 14 + 108;
    const std::uint64_t pixelBytes = std::uint64_t(picture.Width) * std::uint64_t(picture.Height) * 4;
    std::vector<char> header;
    header.push_back('B');
    header.push_back('M');
    Put(header, static_cast<std::uint32_t>(kHeaderBytes + pixelBytes), 4);
    Put(header, 0, 4);
    Put(header, kHeaderBytes, 4);
    Put(header, 108, 4);
    Put(header, static_cast<std::uint32_t>(picture.Width), 4);
    Put(header, static_cast<std::uint32_t>(-picture.Height), 4); // top-down rows
    Put(header, 1, 2);
    Put(header, 32, 2);
    Put(header, 3, 4); // BI_BITFIELDS
    Put(header, static_cast<std::uint32_t>(pixelBytes), 4);
    Put(header, 2835, 4);
    Put(header, 2835, 4);
    Put(header, 0, 4);
    Put(header, 0, 4);
    // The masks name the picture's own byte order (R, G, B, A), so that its
    // rows are written as they are.
    for (std::uint32_t mask : {0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0xFF000000u})
        Put(header, mask, 4);
    Put(header, 0x73524742, 4); // 'sRGB'
    header.resize(kHeaderBytes, 0);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(reinterpret_cast<const char*>(picture.Rgba.data()), static_cast<std::streamsize>(pixelBytes));
    out.close();
    return static_cast<bool>(out);
}

} // namespace

int quorvane::cli::RunDecodePhoto(const std::vector<std::string>& args)
{
    std::vector<std::string> operands;
    TPhotoRequest request;
    for (const std::string& arg : args) {
        if (arg == "--stored")
            request.Upright = false;
        else if (arg.rfind("--", 0) != 0)
            operands.push_back(arg);
    }
    if (operands.size() != 2) {
        std::fputs("usage: quorvane-cli decode [--stored] FILE OUT.bmp\n", stderr);
        return 2;
    }
    TPhotoPicture picture;
    try {
        picture = DecodePhotoFile(operands[0], request);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", operands[0].c_str(), e.what());
        return 1;
    }
    if (!WriteBmp(operands[1], picture)) {
        std::fprintf(stderr, "Cannot write file %s\n", operands[1].c_str());
        return 1;
    }
    return 0;
}
