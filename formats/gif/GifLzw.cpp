// LZW decoding of GIF image data. Strings are not expanded through a prefix
// chain: a table entry records where its string was first written in the
// pixel store and how long it is, so emitting a code is one short copy. Rows
// are produced in stream order and put in their interlaced places at the end.
// Invariants: every store is inside the pixel block; a code is only taken
// when all its bits are inside the data; table indices stay below 4096.
#include "GifLzw.h"

#include "DynArrB.h"
#include "GifDecl.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

namespace quorvane {

void TGifEventPump::RunNow()
{
    if (!FHook) return;
    FLast = std::chrono::steady_clock::now();
    FHook();
}

void TGifEventPump::RowCompletedSlow()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - FLast < FInterval) return;
    FLast = now;
    FHook();
}

namespace {

constexpr unsigned kMaxCodes = 4096;
constexpr unsigned kMaxCodeSize = 12;

std::uint64_t LoadLittleEndian64(const std::uint8_t* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

// The rows of an interlaced image in the order the stream delivers them.
std::vector<std::size_t> InterlacedRowOrder(std::size_t height)
{
    static constexpr std::size_t kFirst[4] = {0, 4, 2, 1};
    static constexpr std::size_t kStep[4] = {8, 8, 4, 2};
    std::vector<std::size_t> order;
    order.reserve(height);
    for (int pass = 0; pass < 4; ++pass)
        for (std::size_t row = kFirst[pass]; row < height; row += kStep[pass])
            order.push_back(row);
    return order;
}

// Moves stream-order row j to image row order[j] in place, one cycle of the
// permutation at a time, with two row buffers.
void DeinterlaceAll(std::uint8_t* pixels, std::size_t width, const std::vector<std::size_t>& order)
{
    const std::size_t height = order.size();
    std::vector<std::uint8_t> carried(width), displaced(width);
    std::vector<bool> placed(height, false);
    for (std::size_t start = 0; start < height; ++start) {
        if (placed[start] || order[start] == start) continue;
        std::memcpy(carried.data(), pixels + start * width, width);
        std::size_t from = start;
        while (!placed[from]) {
            placed[from] = true;
            const std::size_t to = order[from];
            std::memcpy(displaced.data(), pixels + to * width, width);
            std::memcpy(pixels + to * width, carried.data(), width);
            carried.swap(displaced);
            from = to;
        }
    }
}

// Puts the first rowsDone stream-order rows in their image rows; all other
// rows stay zero. Only the rows decoded are touched (and copied once), so a
// short stream for a huge image costs no more than its own pixels.
void Deinterlace(std::uint8_t* pixels, std::size_t width, std::size_t height, std::size_t rowsDone)
{
    const std::vector<std::size_t> order = InterlacedRowOrder(height);
    if (rowsDone == height) return DeinterlaceAll(pixels, width, order);
    const std::vector<std::uint8_t> decoded(pixels, pixels + rowsDone * width);
    std::memset(pixels, 0, rowsDone * width);
    for (std::size_t j = 0; j < rowsDone; ++j)
        std::memcpy(pixels + order[j] * width, decoded.data() + j * width, width);
}

class TLzwDecoder {
  public:
    TLzwDecoder(const TGifDecodeInput& input, TByteArray2D& pixels, TGifEventPump& pump);
    void Run();

  private:
    bool ReadCode(unsigned& code);
    void ResetTable();
    void AddEntry();
    void StartString(unsigned code);
    void Copy(std::size_t from, std::size_t length);
    void RowsCompleted();
    void Finish();

    const std::uint8_t* FBits;
    std::uint64_t FBitPos = 0;
    std::uint64_t FBitEnd;
    std::uint8_t* FOut;
    std::size_t FStoreSize;
    std::size_t FWidth;
    std::size_t FHeight;
    bool FInterlaced;
    TGifEventPump& FPump;

    std::size_t FPos = 0; // pixels emitted so far, in stream order
    std::size_t FRowMark; // FPos at which the next row completes
    std::size_t FRowsDone = 0;
    unsigned FMinCodeSize;
    unsigned FClear;
    unsigned FEnd;
    unsigned FCodeSize = 0;
    unsigned FNext = 0;
    unsigned FLimit = 0;
    std::size_t FPrevPos = 0; // where the previous code's string was written
    unsigned FPrevLen = 0;
    std::uint32_t FEntryPos[kMaxCodes]{};
    std::uint16_t FEntryLen[kMaxCodes]{};
};

TLzwDecoder::TLzwDecoder(const TGifDecodeInput& input, TByteArray2D& pixels, TGifEventPump& pump)
    : FBits(input.Data->Bytes()), FBitEnd(std::uint64_t{input.Data->Size()} * 8), FOut(pixels.Data()),
      FStoreSize(pixels.RowLength() * pixels.RowCount()), FWidth(pixels.RowLength()),
      FHeight(pixels.RowCount()), FInterlaced(input.Interlaced), FPump(pump),
      FRowMark(FWidth == 0 ? 1 : FWidth), FMinCodeSize(input.MinCodeSize), FClear(1u << (FMinCodeSize & 15)),
      FEnd(FClear + 1)
{
}

// Codes are packed least significant bit first; the data is followed by
// zero padding, so a whole word may be loaded at any byte the code touches.
inline bool TLzwDecoder::ReadCode(unsigned& code)
{
    if (FBitPos + FCodeSize > FBitEnd) return false;
    const std::uint64_t word = LoadLittleEndian64(FBits + (FBitPos >> 3));
    code = static_cast<unsigned>(word >> (FBitPos & 7)) & ((1u << FCodeSize) - 1);
    FBitPos += FCodeSize;
    return true;
}

void TLzwDecoder::ResetTable()
{
    FCodeSize = FMinCodeSize + 1;
    FNext = FEnd + 1;
    FLimit = 1u << FCodeSize;
}

// The new entry is the previous string followed by the first pixel of the
// current one; in the store that is the previous string plus one byte.
inline void TLzwDecoder::AddEntry()
{
    // A full table stays as it is until a clear code (the deferred clear
    // code of GIF89a): later 12-bit codes only use the entries it holds.
    if (FNext >= kMaxCodes) return;
    FEntryPos[FNext] = static_cast<std::uint32_t>(FPrevPos);
    FEntryLen[FNext] = static_cast<std::uint16_t>(FPrevLen + 1);
    if (++FNext < FLimit || FCodeSize == kMaxCodeSize) return;
    FLimit <<= 1;
    ++FCodeSize;
}

// The first code after a clear code (or at the start) adds no entry.
void TLzwDecoder::StartString(unsigned code)
{
    if (code == FEnd) throw EGifException("Bad code");
    if (code >= FNext) code = 0;
    if (FPos < FStoreSize) FOut[FPos] = static_cast<std::uint8_t>(code);
    FPrevPos = FPos;
    FPrevLen = 1;
    ++FPos;
}

// Copies length pixels written earlier at from to the current position.
// from + length may reach one byte into the destination (a code equal to the
// next free code); the copy runs forward, so that byte is written first.
inline void TLzwDecoder::Copy(std::size_t from, std::size_t length)
{
    if (FPos >= FStoreSize) return; // past the last row: only counted
    std::uint8_t* to = FOut + FPos;
    const std::uint8_t* src = FOut + from;
    if (FPos - from >= 8 && FPos + length + 8 <= FStoreSize) {
        // Whole words; the overrun past length is rewritten by later pixels.
        for (std::size_t i = 0; i < length; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, src + i, 8);
            std::memcpy(to + i, &word, 8);
        }
        return;
    }
    const std::size_t stored = std::min(length, FStoreSize - FPos);
    for (std::size_t i = 0; i < stored; ++i)
        to[i] = src[i];
}

void TLzwDecoder::RowsCompleted()
{
    if (FWidth == 0) throw EIndexOutOfBounds();
    while (FRowMark <= FPos) {
        if (++FRowsDone > FHeight) throw EIndexOutOfBounds();
        FPump.RowCompleted();
        FRowMark += FWidth;
    }
}

// A row never completed keeps colour index 0, including pixels of a partial
// last row and the word copies' overrun.
void TLzwDecoder::Finish()
{
    const std::size_t from = FRowsDone * FWidth;
    const std::size_t to = std::min(FPos + 8, FStoreSize);
    if (from < to) std::memset(FOut + from, 0, to - from);
    if (FInterlaced && FHeight > 1 && FWidth > 0) Deinterlace(FOut, FWidth, FHeight, FRowsDone);
}

void TLzwDecoder::Run()
{
    ResetTable();
    unsigned code = 0;
    if (!ReadCode(code)) return Finish();
    bool clear = code == FClear;
    for (;;) {
        if (clear) {
            ResetTable();
            do {
                if (!ReadCode(code)) return Finish();
            } while (code == FClear);
        }
        if (clear || FPrevLen == 0) {
            StartString(code);
        } else if (code < FClear) {
            if (FPos < FStoreSize) FOut[FPos] = static_cast<std::uint8_t>(code);
            AddEntry();
            FPrevPos = FPos++;
            FPrevLen = 1;
        } else if (code > FEnd && code <= FNext) {
            // Below the next code: a string in the table. Equal: the previous
            // string and its own first pixel, the entry about to be added.
            const bool known = code < FNext;
            const std::size_t from = known ? FEntryPos[code] : FPrevPos;
            const std::size_t length = known ? FEntryLen[code] : FPrevLen + 1;
            AddEntry();
            Copy(from, length);
            FPrevPos = FPos;
            FPrevLen = static_cast<unsigned>(length);
            FPos += length;
        } else if (code == FEnd) {
            break;
        } else {
            throw EGifException("Bad code");
        }
        if (FPos >= FRowMark) RowsCompleted();
        if (!ReadCode(code)) break;
        clear = code == FClear;
    }
    Finish();
}

} // namespace

void DecodeGifImage(const TGifDecodeInput& input, TByteArray2D& pixels, TGifEventPump& pump)
{
    if (input.MinCodeSize < 2 || input.MinCodeSize > 9) throw EGifException("Bad code Size");
    if (input.Data->Count() == 0) throw EGifListError(0);
    // The tables (24 KiB) live on the heap: the decoder may run deep inside
    // an event handler's stack.
    auto decoder = std::make_unique<TLzwDecoder>(input, pixels, pump);
    decoder->Run();
}

} // namespace quorvane
