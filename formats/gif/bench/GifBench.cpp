// gif_bench: loads GIF files with TGifFile in one process (every image is
// decoded, as the display does), takes image 1's bitmap and prints a checksum.
// usage: gif_bench [-v] [--hook] FILE...   ("-" reads names from stdin)
// -v prints an FNV-1a checksum of image 1's pixels per file (not timed work).
// --hook installs an empty events hook, to measure what the hook costs.
#include "GifUnit.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

namespace {

struct TTotals {
    int Files = 0;
    int Failed = 0;
    unsigned long long Pixels = 0;
    std::uint64_t Xor = 0;
};

void DecodeOne(const std::string& path, bool verbose, bool hook, TTotals& totals)
{
    try {
        quorvane::TGifFile file;
        if (hook) file.EventPump().SetHook([] {});
        file.LoadFromFile(path);
        const auto bitmap = file.Image(1).Bitmap();
        std::uint64_t h = 0xcbf29ce484222325ULL;
        for (std::size_t y = 0; verbose && y < bitmap->Height(); ++y) {
            const std::uint8_t* row = bitmap->ScanLine(y);
            for (std::size_t x = 0; x < bitmap->Width(); ++x)
                h = (h ^ row[x]) * 0x100000001b3ULL;
        }
        if (verbose)
            std::printf("%016llx %zux%zu %zu %s\n", static_cast<unsigned long long>(h), bitmap->Width(),
                        bitmap->Height(), file.ImageCount(), path.c_str());
        totals.Pixels += std::uint64_t{file.ScreenWidth()} * file.ScreenHeight();
        totals.Xor ^= h;
        ++totals.Files;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
        ++totals.Failed;
    }
}

} // namespace

int main(int argc, char** argv)
{
    bool verbose = false;
    bool hook = false;
    TTotals totals;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-v") {
            verbose = true;
        } else if (arg == "--hook") {
            hook = true;
        } else if (arg == "-") {
            std::string line;
            while (std::getline(std::cin, line))
                if (!line.empty()) DecodeOne(line, verbose, hook, totals);
        } else {
            DecodeOne(arg, verbose, hook, totals);
        }
    }
    std::printf("files %d failed %d pixels %llu xor %016llx\n", totals.Files, totals.Failed, totals.Pixels,
                static_cast<unsigned long long>(totals.Xor));
    return totals.Failed != 0;
}
