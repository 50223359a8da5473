// gif_fuzz_seeds DIR: writes the small GIF files the tests build, as the
// starting corpus of the GIF fuzz target.
#include "GifWriter.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace quorvane::testing;

namespace {

void Save(const std::string& dir, const std::string& name, const TBytes& bytes)
{
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TBytes Animated()
{
    TGifBuilder gif;
    gif.Header().Screen(8, 8, 0x81).ColorTable({0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255});
    gif.Application("NETSCAPE2.0", {1, 0, 0}).GraphicControl(10, 1, 1).Comment("first");
    gif.Image(8, 8, PatternPixels(64, 2, 1), 2);
    gif.GraphicControl(20).PlainText(TBytes(12, 1), "text");
    gif.Descriptor(4, 4, 0x81, 2, 2).ColorTable(TBytes(12, 200));
    gif.ImageData(2, LzwEncode(PatternPixels(16, 2, 2), 2));
    return gif.Trailer().Bytes();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: gif_fuzz_seeds DIR\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    Save(dir, "one-pixel.gif", SimpleGif(1, 1, {1}, 1));
    Save(dir, "interlaced-10.gif", SimpleGif(3, 10, PatternPixels(30, 2, 3), 2, true));
    Save(dir, "width-5.gif", SimpleGif(5, 3, PatternPixels(15, 4, 4), 4));
    Save(dir, "code-size-8.gif", SimpleGif(40, 30, PatternPixels(1200, 8, 5), 8));
    Save(dir, "table-full.gif", SimpleGif(64, 64, PatternPixels(4096, 8, 6), 8));
    Save(dir, "animated.gif", Animated());
    TGifBuilder noTable;
    noTable.Header("GIF", "87a").Screen(4, 4, 0).Image(4, 4, PatternPixels(16, 2, 7), 2).Trailer();
    Save(dir, "no-table.gif", noTable.Bytes());
    TCodePacker codes; // no clear code first, k = 9
    codes.Put(300, 10);
    codes.Put(513, 10);
    TGifBuilder nine;
    nine.Header().Screen(1, 1, 0).Descriptor(1, 1).ImageData(9, codes.Finish()).Trailer();
    Save(dir, "code-size-9.gif", nine.Bytes());
    return 0;
}
