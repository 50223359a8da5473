// "decode" of a WMF or EMF file: plays the picture at its own size (at most
// kMaxDecodeSide a side, proportions kept) onto white and writes a 24-bit
// BMP. Qt draws it, on the offscreen platform unless another is chosen.
#include "CliCommands.h"
#include "MetafileRenderer.h"

#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>

namespace {

constexpr int kMaxDecodeSide = 4096;

std::vector<std::string> Operands(const std::vector<std::string>& args)
{
    std::vector<std::string> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--scale") {
            ++i; // a JPEG setting; metafiles play at their own size
            continue;
        }
        if (args[i].rfind("--", 0) != 0) operands.push_back(args[i]);
    }
    return operands;
}

void Put16(std::vector<char>& out, std::uint32_t v)
{
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}

void Put32(std::vector<char>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A 24-bit bottom-up BMP of an opaque image.
std::vector<char> Bmp24(const QImage& image)
{
    const int w = image.width(), h = image.height();
    const std::uint32_t rowBytes = (std::uint32_t(w) * 3 + 3) & ~3u;
    std::vector<char> out;
    out.reserve(54 + std::size_t(rowBytes) * std::size_t(h));
    out.push_back('B'), out.push_back('M');
    Put32(out, 54 + rowBytes * std::uint32_t(h));
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, std::uint32_t(w));
    Put32(out, std::uint32_t(h));
    Put16(out, 1);
    Put16(out, 24);
    for (int i = 0; i < 6; ++i)
        Put32(out, i == 2 || i == 3 ? 2835 : 0); // 72 dpi
    for (int y = h - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            out.push_back(char(qBlue(line[x]))), out.push_back(char(qGreen(line[x]))),
                out.push_back(char(qRed(line[x])));
        out.insert(out.end(), rowBytes - std::uint32_t(w) * 3, '\0');
    }
    return out;
}

QSize DecodeSize(const quorvane::TMetafile& metafile)
{
    const double w = metafile.Width(), h = metafile.Height();
    const double scale = std::min(1.0, kMaxDecodeSide / std::max(w, h));
    return QSize(std::max(1, int(std::lround(w * scale))), std::max(1, int(std::lround(h * scale))));
}

} // namespace

int quorvane::cli::RunDecodeMetafile(const std::vector<std::string>& args)
{
    const std::vector<std::string> operands = Operands(args);
    if (operands.size() != 2) {
        std::fputs("usage: quorvane-cli decode FILE OUT.bmp\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "quorvane-cli";
    char* argv[] = {name, nullptr};
    const QGuiApplication app(argc, argv);
    std::vector<char> bmp;
    try {
        const TMetafile metafile = TMetafile::FromFile(operands[0], kDefaultScreenDpi);
        const QImage image = RenderMetafile(metafile, DecodeSize(metafile), Qt::white);
        bmp = Bmp24(image.convertToFormat(QImage::Format_RGB32));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", operands[0].c_str(), e.what());
        return 1;
    }
    std::ofstream out(operands[1], std::ios::binary | std::ios::trunc);
    out.write(bmp.data(), static_cast<std::streamsize>(bmp.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "Cannot write file %s\n", operands[1].c_str());
        return 1;
    }
    return 0;
}
