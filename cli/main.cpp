// quorvane-cli entry point: picks the subcommand and, for "decode", the
// decoder by the file's signature bytes (not by its extension).
#include "CliCommands.h"
#include "Help.h"
#include "MetafileHelper.h"
#include "PhotoDecoder.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

void PrintUsage()
{
    std::fputs(
        "usage: quorvane-cli find [--name] [--size] [--cc] [--all-bytes] [--time] [--groups] [--keep RULE]\n"
        "                        [--no-subdirs] [--progress] DIR...\n"
        "       quorvane-cli list [--no-subdirs] [--progress] DIR...\n"
        "       quorvane-cli decode [--scale 1|2|4|8] [--gray] [--fast] [--8bit] [--progressive] [--stored] "
        "FILE "
        "OUT.bmp\n",
        stderr);
}

// The first argument that is neither an option nor an option's value.
std::string FirstOperand(const std::vector<std::string>& args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--scale") {
            ++i;
            continue;
        }
        if (args[i].rfind("--", 0) != 0) return args[i];
    }
    return {};
}

enum class Signature { Unknown, Gif, Jpeg, Metafile, Photo, Unreadable };

std::uint32_t Le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

// A placeable WMF, an EMF header record, or a plain WMF header.
bool IsMetafile(const unsigned char* head, std::streamsize n)
{
    if (n >= 4 && Le32(head) == 0x9AC6CDD7u) return true;
    if (n >= 44 && Le32(head) == 1 && Le32(head + 40) == 0x464D4520u) return true;
    return n >= 4 && (head[0] == 1 || head[0] == 2) && head[1] == 0 && head[2] == 9 && head[3] == 0;
}

Signature ReadSignature(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return Signature::Unreadable;
    unsigned char head[44] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (in.gcount() >= 3 && head[0] == 'G' && head[1] == 'I' && head[2] == 'F') return Signature::Gif;
    if (in.gcount() >= 2 && head[0] == 0xFF && head[1] == 0xD8) return Signature::Jpeg;
    if (IsMetafile(head, in.gcount())) return Signature::Metafile;
    const auto n = static_cast<std::size_t>(in.gcount());
    if (quorvane::PhotoFormatOfBytes(head, n) != quorvane::TPhotoFormat::Unknown) return Signature::Photo;
    // A RAW file in a TIFF container, or of a maker's own layout, by its name.
    if (quorvane::PhotoFormatOfName(path) == quorvane::TPhotoFormat::Raw) return Signature::Photo;
    return Signature::Unknown;
}

int RunDecode(const std::vector<std::string>& args)
{
    const std::string file = FirstOperand(args);
    if (file.empty()) {
        PrintUsage();
        return 2;
    }
    switch (ReadSignature(file)) {
    case Signature::Gif:
        return quorvane::cli::RunDecodeGif(args);
    case Signature::Jpeg:
        return quorvane::cli::RunDecodeJpeg(args);
    case Signature::Metafile:
        return quorvane::cli::RunMetafileHelper(args);
    case Signature::Photo:
        return quorvane::cli::RunDecodePhoto(args);
    case Signature::Unreadable:
        std::fprintf(stderr, "Cannot open file %s\n", file.c_str());
        return 1;
    case Signature::Unknown:
        break;
    }
    std::fprintf(stderr, "%s: not a picture file this program reads\n", file.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintUsage();
        return 2;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") return quorvane::cli::PrintHelp();
    if (command == "--version") return quorvane::cli::PrintVersion();
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (quorvane::cli::AsksForHelp(args)) return quorvane::cli::PrintHelp();
    if (command == "find") return quorvane::cli::RunSearch(args, false);
    if (command == "list") return quorvane::cli::RunSearch(args, true);
    if (command == "decode") return RunDecode(args);
    if (command == "similar") return quorvane::cli::RunSimilar(args);
    PrintUsage();
    return 2;
}
