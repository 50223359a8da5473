// The libjpeg driver. Invariants: (1) every libjpeg call happens inside a
// "step" run by RunGuarded, whose setjmp frame and the steps below it hold
// only trivially destructible data, so a longjmp out of libjpeg skips no
// destructor; (2) C++ exceptions never cross libjpeg's C frames: listener
// and clock calls catch everything and report failure by return value;
// (3) TContextGuard destroys the decompression object on every path.
#include "JPEGDecoder.h"

#include "DecodeCost.h"
#include "JPEGColor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <cstring>
#include <exception>
#include <jerror.h>
#include <jpeglib.h>
#include <new>

namespace quorvane {
namespace {

constexpr std::size_t kSourceBufferSize = 2; // the end-of-image marker put at a cut file's end
constexpr std::int64_t kProgressIntervalMs = 500;
constexpr int kMaxRowsPerCall = 16;

enum class TFailure : std::uint8_t { None, Library, Listener };
enum class TRowMode : std::uint8_t { Direct, CmykToBgr, CmykToGrey, CmykToCube };

// The C++ side of progress reports, living outside the guarded frames.
class TProgressSink {
  public:
    TProgressSink(const TJPEGProgressEvent* onProgress, const TJPEGClock* clock)
        : FOnProgress(onProgress), FClock(clock)
    {
    }

    // False when the listener threw; the exception is kept in Pending.
    bool Report(TProgressStage stage, int percent, bool redraw, const TJPEGRect& rect) noexcept
    {
        if (!FOnProgress || !*FOnProgress) return true;
        try {
            (*FOnProgress)(stage, percent, redraw, rect);
            return true;
        } catch (...) {
            Pending = std::current_exception();
            return false;
        }
    }

    std::int64_t Now() noexcept
    {
        if (FClock && *FClock) {
            try {
                return (*FClock)();
            } catch (...) {
                return 0;
            }
        }
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    std::exception_ptr Pending;

  private:
    const TJPEGProgressEvent* FOnProgress;
    const TJPEGClock* FClock;
};

// One decode, header read or size calculation. Zero-filled, trivially
// destructible; Error comes first so that cinfo->err leads back here.
struct TJPEGContext {
    jpeg_error_mgr Error;
    std::jmp_buf Jump;
    jpeg_progress_mgr Progress;
    TProgressSink* Sink;
    int LastPercent;
    std::int64_t LastTick;
    JDIMENSION LastRow;
    bool TickStarted;
    J_DCT_METHOD FinalDct;
    boolean FinalTwoPass;
    J_DITHER_MODE FinalDither;
    jpeg_decompress_struct D;

    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t Position;
    TJPEGDecodeSettings Settings;
    TJPEGLimits Limits;
    TPaletteEntry FixedEntries[256];
    int FixedCount;
    bool UseProgress;
    TFailure Failure;

    TRowMode Mode;
    bool AdobeInverted;
    bool MayGeneratePalette;
    std::uint8_t* TopRow;
    std::ptrdiff_t RowStep;
    JSAMPARRAY Scratch;
    TPaletteEntry* PaletteOut; // 256 entries when the palette comes from libjpeg
    int PaletteCount;
    bool PaletteModified;
    int PassesDone;
    JDIMENSION RowsReached; // rows from the top written at least once
};

struct TStreamSource {
    jpeg_source_mgr Pub;
    TJPEGContext* Ctx;
    JOCTET* Buffer;
    boolean StartOfFile;
};

TJPEGContext& ContextOf(j_common_ptr cinfo)
{
    return *reinterpret_cast<TJPEGContext*>(cinfo->err);
}

class TContextGuard {
  public:
    explicit TContextGuard(TJPEGContext& ctx) : FCtx(ctx) {}
    ~TContextGuard() { jpeg_destroy_decompress(&FCtx.D); }
    TContextGuard(const TContextGuard&) = delete;
    TContextGuard& operator=(const TContextGuard&) = delete;

  private:
    TJPEGContext& FCtx;
};

// ---- error manager: leaves libjpeg by longjmp, ignores warnings ----

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    TJPEGContext& ctx = ContextOf(cinfo);
    ctx.Failure = TFailure::Library;
    std::longjmp(ctx.Jump, 1);
}

void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}
void FormatMessage(j_common_ptr, char* buffer)
{
    buffer[0] = '\0';
}
void ResetErrorManager(j_common_ptr cinfo)
{
    cinfo->err->num_warnings = 0;
    cinfo->err->msg_code = 0;
}

[[noreturn]] void Fail(TJPEGContext& ctx, int code)
{
    ctx.Error.msg_code = code;
    ErrorExit(reinterpret_cast<j_common_ptr>(&ctx.D));
}

// ---- stream source manager over the file's bytes ----

void InitSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<TStreamSource*>(cinfo->src)->StartOfFile = TRUE;
}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<TStreamSource*>(cinfo->src);
    TJPEGContext& ctx = *src->Ctx;
    const std::size_t n = ctx.Size - ctx.Position;
    if (n == 0) {
        if (src->StartOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // End the image here so that what came so far still decodes. Never
        // report FALSE: a non-suspending source must always deliver.
        src->Buffer[0] = 0xFF;
        src->Buffer[1] = JPEG_EOI;
        src->Pub.next_input_byte = src->Buffer;
        src->Pub.bytes_in_buffer = 2;
        return TRUE;
    }
    // The rest of the bytes at once, where they lie: libjpeg-turbo's fast
    // Huffman path runs only while a whole MCU's worth is buffered, and
    // small refills sent every few kilobytes down the slow one.
    src->Pub.next_input_byte = ctx.Data + ctx.Position;
    src->Pub.bytes_in_buffer = n;
    ctx.Position = ctx.Size;
    src->StartOfFile = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0) return;
    auto* src = reinterpret_cast<TStreamSource*>(cinfo->src);
    auto skip = static_cast<std::size_t>(count);
    if (skip <= src->Pub.bytes_in_buffer) {
        src->Pub.next_input_byte += skip;
        src->Pub.bytes_in_buffer -= skip;
        return;
    }
    // The rest lies in bytes not yet buffered; a skip past the end leaves the
    // next fill to insert the end-of-image marker.
    skip -= src->Pub.bytes_in_buffer;
    src->Pub.bytes_in_buffer = 0;
    TJPEGContext& ctx = *src->Ctx;
    ctx.Position += std::min(skip, ctx.Size - ctx.Position);
}

void TermSource(j_decompress_ptr) {}

void AttachSource(TJPEGContext& ctx)
{
    auto common = reinterpret_cast<j_common_ptr>(&ctx.D);
    auto* src = static_cast<TStreamSource*>(
        (*ctx.D.mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(TStreamSource)));
    src->Buffer = static_cast<JOCTET*>((*ctx.D.mem->alloc_small)(common, JPOOL_PERMANENT, kSourceBufferSize));
    src->Ctx = &ctx;
    src->Pub.init_source = InitSource;
    src->Pub.fill_input_buffer = FillInputBuffer;
    src->Pub.skip_input_data = SkipInputData;
    src->Pub.resync_to_restart = jpeg_resync_to_restart;
    src->Pub.term_source = TermSource;
    src->Pub.bytes_in_buffer = 0;
    src->Pub.next_input_byte = nullptr;
    src->StartOfFile = TRUE;
    ctx.D.src = &src->Pub;
}

// ---- progress monitor ----

void CheckScanLimit(TJPEGContext& ctx)
{
    if (ctx.D.input_scan_number > ctx.Limits.MaxScans) Fail(ctx, JERR_BAD_PROGRESSION);
}

int PercentDone(const jpeg_progress_mgr& p)
{
    if (p.total_passes <= 0) return 0;
    const double pass = p.pass_limit > 0 ? static_cast<double>(p.pass_counter) / p.pass_limit : 0.0;
    return static_cast<int>(std::nearbyint((pass + p.completed_passes) * 100.0 / p.total_passes));
}

void ProgressMonitor(j_common_ptr cinfo)
{
    TJPEGContext& ctx = ContextOf(cinfo);
    CheckScanLimit(ctx); // before the throttle: scans are a bound, not a report
    const std::int64_t now = ctx.Sink->Now();
    if (!ctx.TickStarted) {
        ctx.TickStarted = true;
        ctx.LastTick = now;
        return;
    }
    if (now - ctx.LastTick < kProgressIntervalMs) return;
    const int percent = PercentDone(ctx.Progress);
    if (percent == ctx.LastPercent) return;
    ctx.LastTick = now;
    ctx.LastPercent = percent;
    TJPEGRect rect;
    rect.Top = static_cast<int>(ctx.LastRow);
    rect.Right = static_cast<int>(ctx.D.output_width);
    rect.Bottom = static_cast<int>(ctx.D.output_scanline);
    if (rect.Bottom < rect.Top) rect.Bottom = static_cast<int>(ctx.D.output_height);
    ctx.LastRow = ctx.D.output_scanline;
    if (!ctx.Sink->Report(TProgressStage::psRunning, percent, rect.Bottom - rect.Top > 3, rect)) {
        ctx.Failure = TFailure::Listener;
        std::longjmp(ctx.Jump, 2);
    }
}

// ---- set-up steps ----

void CreateAndReadHeader(TJPEGContext& ctx)
{
    jpeg_create_decompress(&ctx.D);
    ctx.D.mem->max_memory_to_use = ctx.Limits.MaxMemory;
    if (ctx.UseProgress) {
        ctx.Progress.progress_monitor = ProgressMonitor;
        ctx.D.progress = &ctx.Progress;
    }
    AttachSource(ctx);
    jpeg_read_header(&ctx.D, TRUE);
    const std::uint64_t w = ctx.D.image_width, h = ctx.D.image_height;
    if (w > ctx.Limits.MaxSide || h > ctx.Limits.MaxSide || w * h > ctx.Limits.MaxPixels)
        Fail(ctx, JERR_IMAGE_TOO_BIG);
    const decode_cost::TClaimRule claim{ctx.Limits.FreePixels,
                                        std::max<std::uint64_t>(ctx.Limits.PixelsPerByte, 1)};
    if (!decode_cost::ClaimIsBacked(claim, w * h, ctx.Size)) Fail(ctx, JERR_IMAGE_TOO_BIG);
}

void ChooseColourSpace(TJPEGContext& ctx)
{
    jpeg_decompress_struct& d = ctx.D;
    const TJPEGDecodeSettings& s = ctx.Settings;
    if (d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK) {
        // libjpeg delivers four bytes a pixel; the rows are converted here.
        d.out_color_space = JCS_CMYK;
        ctx.AdobeInverted = d.saw_Adobe_marker;
        ctx.Mode = s.Grayscale                                 ? TRowMode::CmykToGrey
                   : s.PixelFormat == TJPEGPixelFormat::jf8Bit ? TRowMode::CmykToCube
                                                               : TRowMode::CmykToBgr;
        return;
    }
    if (s.Grayscale)
        d.out_color_space = JCS_GRAYSCALE;
    else if (d.out_color_space == JCS_RGB)
        d.out_color_space = JCS_EXT_BGR; // the bitmap's byte order
    if (s.PixelFormat == TJPEGPixelFormat::jf8Bit || d.out_color_space == JCS_GRAYSCALE) {
        d.quantize_colors = TRUE;
        d.desired_number_of_colors = kJPEGQuantizeColors;
    }
}

void ApplyDecodeSettings(TJPEGContext& ctx)
{
    jpeg_decompress_struct& d = ctx.D;
    const TJPEGDecodeSettings& s = ctx.Settings;
    d.scale_num = 1;
    d.scale_denom = 1u << static_cast<unsigned>(s.Scale);
    d.do_block_smoothing = s.Smoothing ? TRUE : FALSE;
    ChooseColourSpace(ctx);
    if (s.Performance == TJPEGPerformance::jpBestSpeed) {
        d.dct_method = JDCT_IFAST;
        d.two_pass_quantize = FALSE;
        d.dither_mode = JDITHER_ORDERED;
    }
    ctx.FinalDct = d.dct_method;
    ctx.FinalTwoPass = d.two_pass_quantize;
    ctx.FinalDither = d.dither_mode;
    if (s.ProgressiveDisplay && jpeg_has_multiple_scans(&d)) {
        // Early scans at the fastest settings; the last pass restores the above.
        d.enable_2pass_quant = d.two_pass_quantize;
        d.dct_method = JDCT_IFAST;
        d.two_pass_quantize = FALSE;
        d.dither_mode = JDITHER_ORDERED;
        d.buffered_image = TRUE;
    }
}

// libjpeg quantises to exactly the given colours (component 0 is blue).
void UseFixedColourMap(TJPEGContext& ctx)
{
    jpeg_decompress_struct& d = ctx.D;
    if (ctx.FixedCount == 0 || ctx.Mode != TRowMode::Direct || !d.quantize_colors) return;
    JSAMPARRAY map = (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE,
                                            static_cast<JDIMENSION>(ctx.FixedCount), 3);
    for (int i = 0; i < ctx.FixedCount; ++i) {
        map[0][i] = ctx.FixedEntries[i].Blue;
        map[1][i] = ctx.FixedEntries[i].Green;
        map[2][i] = ctx.FixedEntries[i].Red;
    }
    d.colormap = map;
    d.actual_number_of_colors = ctx.FixedCount;
}

void StepReadHeader(TJPEGContext& ctx)
{
    CreateAndReadHeader(ctx);
}

void StepCalcSize(TJPEGContext& ctx)
{
    CreateAndReadHeader(ctx);
    ApplyDecodeSettings(ctx);
    jpeg_calc_output_dimensions(&ctx.D);
}

// No row may be written past its end: the delivered pixel size must be the
// one the bitmap is made for.
void CheckOutputLayout(TJPEGContext& ctx)
{
    const jpeg_decompress_struct& d = ctx.D;
    bool fits = false;
    if (ctx.Mode != TRowMode::Direct)
        fits = d.output_components == 4;
    else if (d.quantize_colors)
        fits = d.output_components == 1;
    else
        fits = d.out_color_space == JCS_EXT_BGR && d.output_components == 3;
    const bool knownSpace = d.out_color_space == JCS_EXT_BGR || d.out_color_space == JCS_GRAYSCALE ||
                            d.out_color_space == JCS_CMYK;
    if (!fits || !knownSpace) Fail(ctx, JERR_CONVERSION_NOTIMPL);
}

void StepStart(TJPEGContext& ctx)
{
    CreateAndReadHeader(ctx);
    ApplyDecodeSettings(ctx);
    UseFixedColourMap(ctx);
    jpeg_start_decompress(&ctx.D);
    CheckOutputLayout(ctx);
    if (ctx.Mode != TRowMode::Direct) {
        ctx.Scratch = (*ctx.D.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&ctx.D), JPOOL_IMAGE,
                                                 ctx.D.output_width * 4, kMaxRowsPerCall);
    }
}

// ---- rows ----

std::uint8_t* RowAddress(const TJPEGContext& ctx, JDIMENSION row)
{
    return ctx.TopRow + static_cast<std::ptrdiff_t>(row) * ctx.RowStep;
}

void ConvertRow(const TJPEGContext& ctx, const JSAMPLE* cmyk, std::uint8_t* out)
{
    const int width = static_cast<int>(ctx.D.output_width);
    switch (ctx.Mode) {
    case TRowMode::CmykToBgr:
        CmykRowToBgr(cmyk, out, width, ctx.AdobeInverted);
        break;
    case TRowMode::CmykToGrey:
        CmykRowToGreyIndex(cmyk, out, width, ctx.AdobeInverted);
        break;
    case TRowMode::CmykToCube:
        CmykRowToCubeIndex(cmyk, out, width, ctx.AdobeInverted);
        break;
    case TRowMode::Direct:
        break;
    }
}

// Reads the current output pass from row 0 to the last, straight into the
// bitmap (or through the scratch rows when they need converting).
void ReadRows(TJPEGContext& ctx)
{
    jpeg_decompress_struct& d = ctx.D;
    JSAMPROW rows[kMaxRowsPerCall];
    const JDIMENSION perCall =
        std::clamp<JDIMENSION>(static_cast<JDIMENSION>(d.rec_outbuf_height), 1, kMaxRowsPerCall);
    while (d.output_scanline < d.output_height) {
        const JDIMENSION first = d.output_scanline;
        const JDIMENSION want = std::min(perCall, d.output_height - first);
        for (JDIMENSION i = 0; i < want; ++i)
            rows[i] = ctx.Mode == TRowMode::Direct ? RowAddress(ctx, first + i) : ctx.Scratch[i];
        const JDIMENSION got = jpeg_read_scanlines(&d, rows, want);
        if (ctx.Mode != TRowMode::Direct)
            for (JDIMENSION i = 0; i < got; ++i)
                ConvertRow(ctx, ctx.Scratch[i], RowAddress(ctx, first + i));
        ctx.RowsReached = std::max(ctx.RowsReached, first + got);
        if (got == 0) break; // only a suspending source returns nothing; ours never does
    }
}

void PaletteFromColourMap(TJPEGContext& ctx)
{
    const jpeg_decompress_struct& d = ctx.D;
    if (!ctx.PaletteOut || !d.colormap || !ctx.MayGeneratePalette) return;
    const int count = std::clamp(d.actual_number_of_colors, 0, 256);
    const bool grey = d.out_color_components == 1;
    for (int i = 0; i < count; ++i) {
        TPaletteEntry& e = ctx.PaletteOut[i];
        if (grey) {
            e.Red = e.Green = e.Blue = d.colormap[0][i];
        } else {
            e.Blue = d.colormap[0][i];
            e.Green = d.colormap[1][i];
            e.Red = d.colormap[2][i];
        }
    }
    ctx.PaletteCount = count;
    ctx.PaletteModified = true;
}

// One intermediate output pass of the scans consumed so far, at the fast settings.
void RunEarlyPass(TJPEGContext& ctx)
{
    jpeg_decompress_struct& d = ctx.D;
    jpeg_start_output(&d, d.input_scan_number);
    if (ctx.PassesDone == 0) PaletteFromColourMap(ctx);
    ReadRows(ctx);
    jpeg_finish_output(&d);
    ++ctx.PassesDone;
}

// Buffered-image mode: the input is consumed scan by scan; an output pass
// follows a completed scan only when at least EarlyPassIntervalMs of input
// decoding has passed since the last one, at most MaxEarlyPasses times, so
// a file of many cheap scans costs one output pass, not one per scan. Then
// the final pass is started at the saved settings.
void RunEarlyPasses(TJPEGContext& ctx)
{
    jpeg_decompress_struct& d = ctx.D;
    std::int64_t since = ctx.Sink->Now();
    for (;;) {
        const int status = jpeg_consume_input(&d);
        CheckScanLimit(ctx);
        if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED) break;
        if (status != JPEG_SCAN_COMPLETED || ctx.PassesDone >= ctx.Limits.MaxEarlyPasses) continue;
        if (ctx.Sink->Now() - since < ctx.Limits.EarlyPassIntervalMs) continue;
        RunEarlyPass(ctx);
        since = ctx.Sink->Now();
    }
    d.dct_method = ctx.FinalDct;
    d.dither_mode = ctx.FinalDither;
    if (ctx.FinalTwoPass) {
        d.two_pass_quantize = TRUE;
        // A fixed palette's colour map must stay: the bitmap's palette is its copy.
        if (ctx.MayGeneratePalette) d.colormap = nullptr;
    }
    jpeg_start_output(&d, d.input_scan_number);
}

void StepRows(TJPEGContext& ctx)
{
    jpeg_decompress_struct& d = ctx.D;
    if (d.buffered_image) RunEarlyPasses(ctx);
    if (!d.buffered_image || ctx.FinalTwoPass || ctx.PassesDone == 0) PaletteFromColourMap(ctx);
    ReadRows(ctx);
    if (d.buffered_image) jpeg_finish_output(&d);
    jpeg_finish_decompress(&d);
}

// ---- the guarded frame ----

using TStep = void (*)(TJPEGContext&);

// Runs one step with libjpeg's error exit armed. False when the step left by
// longjmp (a libjpeg error, a refused bound, or a listener's exception).
bool RunGuarded(TJPEGContext& ctx, TStep step)
{
    if (setjmp(ctx.Jump) != 0) return false;
    step(ctx);
    return true;
}

void PrepareContext(TJPEGContext& ctx, const TJPEGDecodeRequest& request, TProgressSink* sink)
{
    ctx.D.err = jpeg_std_error(&ctx.Error);
    ctx.Error.error_exit = ErrorExit;
    ctx.Error.emit_message = EmitMessage;
    ctx.Error.output_message = OutputMessage;
    ctx.Error.format_message = FormatMessage;
    ctx.Error.reset_error_mgr = ResetErrorManager;
    ctx.Sink = sink;
    ctx.UseProgress = sink != nullptr;
    ctx.LastPercent = -1;
    ctx.Data = request.Data;
    ctx.Size = request.Data ? request.Size : 0;
    ctx.Settings = request.Settings;
    ctx.Limits = request.Limits;
    ctx.MayGeneratePalette = true;
    const TJPEGPalette* fixed = request.FixedPalette;
    if (fixed && !fixed->empty() && request.Settings.PixelFormat == TJPEGPixelFormat::jf8Bit) {
        ctx.FixedCount = static_cast<int>(std::min<std::size_t>(fixed->size(), 256));
        std::copy_n(fixed->begin(), ctx.FixedCount, ctx.FixedEntries);
        ctx.MayGeneratePalette = false;
    }
}

[[noreturn]] void RaiseLibraryError(const TJPEGContext& ctx)
{
    throw EJPEG(ctx.Error.msg_code);
}

} // namespace

TJPEGHeaderFacts ReadJPEGHeader(const std::uint8_t* data, std::size_t size, const TJPEGLimits& limits)
{
    TJPEGDecodeRequest request;
    request.Data = data;
    request.Size = size;
    request.Limits = limits;
    TJPEGContext ctx{};
    PrepareContext(ctx, request, nullptr);
    TContextGuard guard(ctx);
    if (!RunGuarded(ctx, StepReadHeader)) RaiseLibraryError(ctx);
    TJPEGHeaderFacts facts;
    facts.Width = static_cast<int>(ctx.D.image_width);
    facts.Height = static_cast<int>(ctx.D.image_height);
    facts.Grayscale = ctx.D.jpeg_color_space == JCS_GRAYSCALE;
    facts.Progressive = jpeg_has_multiple_scans(&ctx.D);
    return facts;
}

TJPEGOutputSize CalcJPEGOutputSize(const TJPEGDecodeRequest& request)
{
    TJPEGContext ctx{};
    PrepareContext(ctx, request, nullptr);
    TContextGuard guard(ctx);
    if (!RunGuarded(ctx, StepCalcSize)) RaiseLibraryError(ctx);
    TJPEGOutputSize size;
    size.Width = static_cast<int>(ctx.D.output_width);
    size.Height = static_cast<int>(ctx.D.output_height);
    size.Progressive = jpeg_has_multiple_scans(&ctx.D);
    return size;
}

namespace {

// Gives the started decode its bitmap: depth from what libjpeg delivers,
// size from its output size, and the palette the rows will index.
void MakeBitmap(TJPEGContext& ctx, std::unique_ptr<TJPEGBitmap>& bitmap, const TJPEGPalette* fixed)
{
    const bool eightBit =
        ctx.Mode == TRowMode::Direct ? ctx.D.output_components == 1 : ctx.Mode != TRowMode::CmykToBgr;
    auto made = std::make_unique<TJPEGBitmap>(eightBit ? 8 : 24);
    // The rows are left unset: the decode writes them, and FinishBitmap
    // clears those it never reached.
    made->Resize(static_cast<int>(ctx.D.output_width), static_cast<int>(ctx.D.output_height), false);
    if (ctx.Mode == TRowMode::CmykToGrey)
        made->Palette = GreyRampPalette();
    else if (ctx.Mode == TRowMode::CmykToCube)
        made->Palette = ColourCubePalette();
    else if (eightBit && !ctx.MayGeneratePalette && fixed)
        made->Palette = *fixed;
    else if (eightBit)
        made->Palette.assign(256, TPaletteEntry{});
    ctx.PaletteModified = ctx.Mode == TRowMode::CmykToGrey || ctx.Mode == TRowMode::CmykToCube;
    if (eightBit && ctx.Mode == TRowMode::Direct && ctx.MayGeneratePalette)
        ctx.PaletteOut = made->Palette.data();
    ctx.TopRow = made->Empty() ? nullptr : made->ScanLine(0);
    ctx.RowStep = -static_cast<std::ptrdiff_t>(made->RowBytes());
    bitmap = std::move(made);
}

// After the rows, whatever happened: rows never reached become zero, and a
// generated palette keeps only the colours libjpeg made.
void FinishBitmap(const TJPEGContext& ctx, TJPEGBitmap& bitmap)
{
    bitmap.ClearRows(static_cast<int>(ctx.RowsReached), bitmap.Height() - 1);
    if (ctx.PaletteOut) bitmap.Palette.resize(static_cast<std::size_t>(ctx.PaletteCount));
}

} // namespace

TJPEGDecodeOutcome DecodeJPEG(const TJPEGDecodeRequest& request, std::unique_ptr<TJPEGBitmap>& bitmap,
                              bool& paletteModified)
{
    paletteModified = false;
    bitmap = std::make_unique<TJPEGBitmap>();
    TProgressSink sink(request.OnProgress, request.Clock);
    TJPEGContext ctx{};
    PrepareContext(ctx, request, &sink);
    TContextGuard guard(ctx);
    bool ok = sink.Report(TProgressStage::psStarting, 0, false, TJPEGRect{});
    if (ok)
        ok = RunGuarded(ctx, StepStart);
    else
        ctx.Failure = TFailure::Listener;
    bool outOfMemory = false;
    if (ok) {
        try {
            MakeBitmap(ctx, bitmap, request.FixedPalette);
        } catch (const std::bad_alloc&) {
            ok = false;
            outOfMemory = true;
        }
    }
    if (ok) {
        ok = RunGuarded(ctx, StepRows);
        FinishBitmap(ctx, *bitmap);
    }
    paletteModified = ctx.PaletteModified;
    if (request.OutputPasses) *request.OutputPasses = ctx.PassesDone + (ok ? 1 : 0);
    const bool endReported =
        sink.Report(TProgressStage::psEnding, ok ? 100 : 0, paletteModified, TJPEGRect{});
    if (outOfMemory) throw EJPEG(JERR_OUT_OF_MEMORY);
    if (!ok && ctx.Failure == TFailure::Library) RaiseLibraryError(ctx);
    if ((!ok || !endReported) && sink.Pending) {
        try {
            std::rethrow_exception(sink.Pending);
        } catch (const EJPEGAbort&) {
            return ok ? TJPEGDecodeOutcome::Completed : TJPEGDecodeOutcome::Cancelled;
        }
    }
    return TJPEGDecodeOutcome::Completed;
}

} // namespace quorvane
