// Fuzz target: loads any bytes as a metafile and plays it onto a canvas that
// checks what it is handed (path shape, finite coordinates, image placements
// inside their images) and reads every pixel it is told to draw, so a wrong
// size or stride shows up under AddressSanitizer.
#include "TMetafile.h"

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

using namespace quorvane;

void Check(bool ok)
{
    if (!ok) __builtin_trap();
}

class TCheckingCanvas : public IMetafileCanvas {
  public:
    void DrawPath(const TMfPath& path, const TMfPen& pen, const TMfBrush& brush, TMfFillMode) override
    {
        std::size_t needed = 0;
        for (const TMfPathOp op : path.Ops)
            needed += op == TMfPathOp::CubicTo ? 3 : op == TMfPathOp::Close ? 0 : 1;
        Check(needed == path.Points.size());
        for (const TMfPoint& p : path.Points)
            Check(std::isfinite(p.X) && std::isfinite(p.Y) && std::fabs(p.X) <= 1e7 && std::fabs(p.Y) <= 1e7);
        Check(std::isfinite(pen.Width) && pen.Width >= 0);
        // A pattern is read once, as a canvas converts it once.
        if (brush.Style == TMfBrushStyle::Pattern && brush.Pattern.get() != FLastPattern) {
            FLastPattern = brush.Pattern.get();
            Touch(*brush.Pattern, 0, 0, brush.Pattern->Width, brush.Pattern->Height);
        }
    }
    double DrawText(const TMfText& text) override
    {
        Check(std::isfinite(text.Origin.X) && std::isfinite(text.Origin.Y) &&
              std::isfinite(text.Font.Height));
        for (const char16_t c : text.Text)
            Sum += c;
        return double(text.Text.size());
    }
    void DrawImage(const TMfImage& image, const TMfImagePlacement& p, TMfRop) override
    {
        Check(p.SourceX >= 0 && p.SourceY >= 0 && p.SourceWidth > 0 && p.SourceHeight > 0);
        Check(std::int64_t(p.SourceX) + p.SourceWidth <= image.Width);
        Check(std::int64_t(p.SourceY) + p.SourceHeight <= image.Height);
        Touch(image, p.SourceX, p.SourceY, p.SourceWidth, p.SourceHeight);
    }
    void SetClip(const TMfClip& regions) override
    {
        for (const auto& region : regions)
            Sum += region->Points.size();
    }

    std::uint64_t Sum = 0;

  private:
    const TMfImage* FLastPattern = nullptr;

    void Touch(const TMfImage& image, int x0, int y0, int w, int h)
    {
        Check(image.Pixels.size() == std::size_t(image.Width) * std::size_t(image.Height));
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                Sum += image.Pixel(x, y);
    }
};

} // namespace

// Inputs up to 1 MiB unless -max_len says otherwise: the play budgets grow
// with the file's size, so large inputs must be tried too.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static std::vector<char*> args;
    static char maxLen[] = "-max_len=1048576";
    bool given = false;
    for (int i = 0; i < *argc; ++i) {
        args.push_back((*argv)[i]);
        given = given || std::string_view((*argv)[i]).rfind("-max_len=", 0) == 0;
    }
    if (!given) args.push_back(maxLen);
    args.push_back(nullptr);
    *argc = int(args.size()) - 1;
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const TMetafile mf = TMetafile::FromBytes(std::vector<std::uint8_t>(data, data + size));
        Check(mf.Width() > 0 && mf.Height() > 0 && mf.Width() <= MetafileLimits::kMaxPictureSide &&
              mf.Height() <= MetafileLimits::kMaxPictureSide);
        TCheckingCanvas canvas;
        mf.Play(canvas, 97, 61);
    } catch (const EMetafile&) {
    }
    return 0;
}
