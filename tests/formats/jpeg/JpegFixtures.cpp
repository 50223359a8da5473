// Builds test JPEGs with libjpeg's compressor into memory. Any compressor
// error aborts the test run: fixtures are fixed, so that is a test bug.
#include "JpegFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace quorvane::test {
namespace {

int ComponentsOf(FixtureKind kind)
{
    switch (kind) {
    case FixtureKind::Grey:
        return 1;
    case FixtureKind::Cmyk:
    case FixtureKind::Ycck:
        return 4;
    case FixtureKind::Colour:
        break;
    }
    return 3;
}

// Grey progressive script of about `count` scans: the DC scan, then AC
// bands of one coefficient each, the last band taking the rest. Above 64
// scans every band (DC too) comes as a first scan and a refinement scan.
std::vector<jpeg_scan_info> GreyScript(int count)
{
    std::vector<jpeg_scan_info> scans;
    const bool refine = count > 64;
    auto add = [&](int ss, int se) {
        jpeg_scan_info s{};
        s.comps_in_scan = 1;
        s.Ss = ss;
        s.Se = se;
        s.Al = refine ? 1 : 0;
        scans.push_back(s);
        if (!refine) return;
        s.Ah = 1;
        s.Al = 0;
        scans.push_back(s);
    };
    const int bands = refine ? (count - 2) / 2 : count - 1;
    add(0, 0);
    for (int k = 1; k <= bands; ++k)
        add(k, k == bands ? 63 : k);
    return scans;
}

void SetColourSpace(jpeg_compress_struct& c, const FixtureRecipe& recipe)
{
    switch (recipe.Kind) {
    case FixtureKind::Grey:
        c.in_color_space = JCS_GRAYSCALE;
        break;
    case FixtureKind::Cmyk:
    case FixtureKind::Ycck:
        c.in_color_space = JCS_CMYK;
        break;
    case FixtureKind::Colour:
        c.in_color_space = JCS_RGB;
        break;
    }
    jpeg_set_defaults(&c);
    if (recipe.Kind == FixtureKind::Ycck) jpeg_set_colorspace(&c, JCS_YCCK);
    if (recipe.Kind == FixtureKind::Cmyk || recipe.Kind == FixtureKind::Ycck)
        c.write_Adobe_marker = recipe.AdobeMarker ? TRUE : FALSE;
    if (recipe.FullChroma)
        for (int i = 0; i < c.num_components; ++i)
            c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
}

} // namespace

Bytes MakeJpeg(const FixtureRecipe& recipe)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = static_cast<JDIMENSION>(recipe.Width);
    c.image_height = static_cast<JDIMENSION>(recipe.Height);
    c.input_components = ComponentsOf(recipe.Kind);
    SetColourSpace(c, recipe);
    jpeg_set_quality(&c, recipe.Quality, TRUE);
    std::vector<jpeg_scan_info> script;
    if (recipe.ScanCount > 0) {
        script = GreyScript(recipe.ScanCount);
        c.scan_info = script.data();
        c.num_scans = static_cast<int>(script.size());
    } else if (recipe.Progressive) {
        jpeg_simple_progression(&c);
    }
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(static_cast<size_t>(recipe.Width) * c.input_components);
    while (c.next_scanline < c.image_height) {
        const int y = static_cast<int>(c.next_scanline);
        for (int x = 0; x < recipe.Width; ++x)
            recipe.Pixel(x, y, &row[static_cast<size_t>(x) * c.input_components]);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    Bytes result(out, out + outSize);
    jpeg_destroy_compress(&c);
    std::free(out);
    return result;
}

FixtureRecipe SolidColour(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    FixtureRecipe recipe;
    recipe.Width = width;
    recipe.Height = height;
    recipe.Quality = 100;
    recipe.Pixel = [r, g, b](int, int, std::uint8_t* out) {
        out[0] = r;
        out[1] = g;
        out[2] = b;
    };
    return recipe;
}

long FindMarker(const Bytes& jpeg, std::uint8_t code, int n)
{
    // Walk the marker segments; entropy data after SOS is skipped by looking
    // for the next 0xFF not followed by 0x00 or a restart marker.
    size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (jpeg[pos] != 0xFF) return -1;
        const std::uint8_t m = jpeg[pos + 1];
        if (m == code && n-- == 0) return static_cast<long>(pos);
        if (m == 0xD9) return -1;
        const size_t length = static_cast<size_t>(jpeg[pos + 2]) << 8 | jpeg[pos + 3];
        pos += 2 + length;
        if (m != 0xDA) continue;
        while (pos + 1 < jpeg.size() && !(jpeg[pos] == 0xFF && jpeg[pos + 1] != 0x00 &&
                                          (jpeg[pos + 1] < 0xD0 || jpeg[pos + 1] > 0xD7)))
            ++pos;
    }
    return -1;
}

Bytes WithoutQuantTables(const Bytes& jpeg)
{
    Bytes result = jpeg;
    for (long at = FindMarker(result, 0xDB); at >= 0; at = FindMarker(result, 0xDB)) {
        const size_t length = static_cast<size_t>(result[at + 2]) << 8 | result[at + 3];
        result.erase(result.begin() + at, result.begin() + at + 2 + static_cast<long>(length));
    }
    return result;
}

Bytes WithFrameSize(const Bytes& jpeg, int width, int height)
{
    Bytes result = jpeg;
    long at = FindMarker(result, 0xC0);
    if (at < 0) at = FindMarker(result, 0xC2);
    if (at < 0) std::abort();
    result[at + 5] = static_cast<std::uint8_t>(height >> 8);
    result[at + 6] = static_cast<std::uint8_t>(height);
    result[at + 7] = static_cast<std::uint8_t>(width >> 8);
    result[at + 8] = static_cast<std::uint8_t>(width);
    return result;
}

} // namespace quorvane::test
