// quorvane-cli entry point: picks the subcommand and, for "decode", the
// decoder by the file's signature bytes (not by its extension).
#include "CliCommands.h"
#include "Help.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

void PrintUsage()
{
    std::fputs(
        "usage: quorvane-cli find [--name] [--size] [--cc] [--time] [--no-subdirs] [--progress] DIR...\n"
        "       quorvane-cli list [--no-subdirs] [--progress] DIR...\n"
        "       quorvane-cli decode [--scale 1|2|4|8] [--gray] [--fast] [--8bit] [--progressive] FILE OUT.bmp\n",
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

enum class Signature { Unknown, Gif, Jpeg, Unreadable };

Signature ReadSignature(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return Signature::Unreadable;
    unsigned char head[3] = {0, 0, 0};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (in.gcount() >= 3 && head[0] == 'G' && head[1] == 'I' && head[2] == 'F') return Signature::Gif;
    if (in.gcount() >= 2 && head[0] == 0xFF && head[1] == 0xD8) return Signature::Jpeg;
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
    case Signature::Unreadable:
        std::fprintf(stderr, "Cannot open file %s\n", file.c_str());
        return 1;
    case Signature::Unknown:
        break;
    }
    std::fprintf(stderr, "%s: not a GIF or JPEG file\n", file.c_str());
    return 1;
}

}  // namespace

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
