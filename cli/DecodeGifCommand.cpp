// quorvane-cli decode FILE OUT.bmp for a GIF file: image 1 of the file, as
// the display would get it, written as its BMP stream.
#include "CliCommands.h"
#include "GifUnit.h"

#include <cstdio>
#include <exception>
#include <fstream>

namespace {

// The operands: arguments that are neither options nor an option's value.
std::vector<std::string> Operands(const std::vector<std::string>& args)
{
    std::vector<std::string> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--scale") {
            ++i; // a JPEG setting; GIF images are always decoded whole
            continue;
        }
        if (args[i].rfind("--", 0) != 0) operands.push_back(args[i]);
    }
    return operands;
}

} // namespace

int quorvane::cli::RunDecodeGif(const std::vector<std::string>& args)
{
    const std::vector<std::string> operands = Operands(args);
    if (operands.size() != 2) {
        std::fputs("usage: quorvane-cli decode FILE OUT.bmp\n", stderr);
        return 2;
    }
    TGifFile file;
    try {
        file.LoadFromFile(operands[0]);
        (void)file.Image(1);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", operands[0].c_str(), e.what());
        return 1;
    }
    // Written row by row from the pixels: the image is never copied whole.
    std::ofstream out(operands[1], std::ios::binary | std::ios::trunc);
    file.Image(1).WriteBitmapStream(out);
    out.close();
    if (!out) {
        std::fprintf(stderr, "Cannot write file %s\n", operands[1].c_str());
        return 1;
    }
    return 0;
}
