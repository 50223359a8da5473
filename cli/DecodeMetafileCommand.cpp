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
#include <string>

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

void Put16(std::string& out, std::uint32_t v)
{
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Writes an opaque image as a 24-bit bottom-up BMP, one row at a time.
bool WriteBmp24(const QImage& image, const std::string& path)
{
    const int w = image.width(), h = image.height();
    const std::uint32_t rowBytes = (std::uint32_t(w) * 3 + 3) & ~3u;
    std::string header = "BM";
    Put32(header, 54 + rowBytes * std::uint32_t(h));
    Put32(header, 0);
    Put32(header, 54);
    Put32(header, 40);
    Put32(header, std::uint32_t(w));
    Put32(header, std::uint32_t(h));
    Put16(header, 1);
    Put16(header, 24);
    for (int i = 0; i < 6; ++i)
        Put32(header, i == 2 || i == 3 ? 2835 : 0); // 72 dpi
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(header.data(), std::streamsize(header.size()));
    std::string row(rowBytes, '\0');
    for (int y = h - 1; y >= 0 && out; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            row[std::size_t(x) * 3] = char(qBlue(line[x]));
            row[std::size_t(x) * 3 + 1] = char(qGreen(line[x]));
            row[std::size_t(x) * 3 + 2] = char(qRed(line[x]));
        }
        out.write(row.data(), std::streamsize(rowBytes));
    }
    out.close();
    return bool(out);
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
    QImage image;
    try {
        const TMetafile metafile = TMetafile::FromFile(operands[0], kDefaultScreenDpi);
        // Rendered onto opaque white, so the premultiplied pixels are the colours.
        image = RenderMetafile(metafile, DecodeSize(metafile), Qt::white);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", operands[0].c_str(), e.what());
        return 1;
    }
    if (!WriteBmp24(image, operands[1])) {
        std::fprintf(stderr, "Cannot write file %s\n", operands[1].c_str());
        return 1;
    }
    return 0;
}
