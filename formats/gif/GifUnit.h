// The GIF file reader: TGifFile (header, logical screen, global colour table
// and the images in file order), TGifSubImage (one image: descriptor, tables,
// extensions, compressed data, decoded pixels, bitmap) and TGifBitmap (image
// 1 of a stream as a bitmap). Every image is decoded as it is read.
// Invariant: a file object holds only images that decoded without an error.
#pragma once

#include "ColorTbl.h"
#include "DecodeCost.h"
#include "DynArrB.h"
#include "GifDecl.h"
#include "GifLzw.h"
#include "IndexedBitmap.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace quorvane {

// Pixels all the images of one file may hold together (2 GiB): a small file
// naming many huge images cannot run the process out of memory.
inline constexpr std::size_t kMaxFilePixels = 8 * kMaxPixelStore;
// Largest file read into memory (1 GiB).
inline constexpr std::size_t kMaxGifFileSize = std::size_t{1} << 30;
// An image claiming more pixels than its data can encode is refused as
// damaged (see DecodeCost.h): beyond 64 Mi pixels, at most 4,096 a data byte.
inline constexpr decode_cost::TClaimRule kGifClaimRule{std::uint64_t{64} << 20, 4096};
// Pixels the images of one file keep together: 64 Mi plus 256 a file byte,
// at most kMaxFilePixels. Only the first image is shown; an image after it
// that would exceed this is not kept and ends the parse.
inline constexpr std::uint64_t kFileBudgetBase = std::uint64_t{64} << 20;
inline constexpr std::uint64_t kFileBudgetPerByte = 256;
// The message of a refused claim.
inline constexpr const char* kImageDataTooShort = "Image data too short for its size";

class TGifFile;

class TGifSubImage {
  public:
    TGifSubImage(TGifFile& owner, unsigned localTableCount);
    TGifSubImage(const TGifSubImage&) = delete;
    TGifSubImage& operator=(const TGifSubImage&) = delete;

    // Reads the image after its "," separator and decodes it. False when the
    // file ends before the image's data begins, or when a later image would
    // exceed the file's pixel budget (the parse then ends). Throws
    // kImageDataTooShort for a size the data cannot back.
    bool Read(TGifReader& reader);

    std::uint16_t Left() const { return FLeft; }
    std::uint16_t Top() const { return FTop; }
    std::uint16_t Width() const { return FWidth; }
    std::uint16_t Height() const { return FHeight; }
    std::uint8_t ImageFlags() const { return FImageFlags; }
    bool Interlaced() const { return FInterlaced; }
    bool LocalTableFlag() const { return FLocalTableFlag; }
    unsigned LocalTableBits() const { return FLocalTableBits; }
    std::uint8_t CodeSize() const { return FCodeSize; }
    const TColorTable& LocalColorTable() const { return FLocalTable; }
    const TExtensionList& Extensions() const { return FExtensions; }
    void SetExtensions(TExtensionList extensions) { FExtensions = std::move(extensions); }
    const TByteBuffer& Data() const { return FData; }
    const TByteArray2D& Pixels() const { return *FPixels; }

    // The delay of the last graphic control extension, 0 without one.
    std::uint16_t DelayTime() const;

    // Decodes the data into the pixels (done by Read).
    void Decode();
    // The bitmap, built on the first call and kept.
    std::shared_ptr<const TIndexedBitmap> Bitmap();
    // The bitmap as an in-memory BMP file, written straight from the pixels
    // (or from the bitmap when it exists): the image is copied once.
    std::vector<std::uint8_t> BitmapStream();
    // The same bytes written to out row by row, straight from the pixels.
    void WriteBitmapStream(std::ostream& out);

  private:
    // The palette of the bitmap: the local table if flagged, else the global one.
    std::array<std::uint32_t, 256> Colors() const;
    bool ReadDescriptor(TGifReader& reader);
    bool ReadData(TGifReader& reader);

    TGifFile& FOwner;
    std::shared_ptr<const TIndexedBitmap> FBitmap;
    std::uint8_t FCodeSize = 0;
    TByteBuffer FData;
    std::uint16_t FLeft = 0;
    std::uint16_t FTop = 0;
    std::uint16_t FWidth = 0;
    std::uint16_t FHeight = 0;
    std::uint8_t FImageFlags = 0;
    bool FInterlaced = false;
    bool FLocalTableFlag = false;
    TExtensionList FExtensions;
    unsigned FLocalTableBits = 1;
    std::unique_ptr<TByteArray2D> FPixels;
    TColorTable FLocalTable;
};

class TGifFile {
  public:
    TGifFile();
    TGifFile(const TGifFile&) = delete;
    TGifFile& operator=(const TGifFile&) = delete;
    ~TGifFile();

    // Reads the whole file into memory, then parses it. Fails with "Cannot
    // open file <path>" when the file cannot be read.
    void LoadFromFile(const std::string& path);
    // Parses the stream from position 0.
    void LoadFromStream(std::istream& stream);
    void LoadFromBytes(const std::uint8_t* data, std::size_t size);

    std::size_t ImageCount() const { return FImages.size(); }
    // 1-based; a number outside 1..ImageCount() fails with the list-index error.
    TGifSubImage& Image(std::size_t number);
    // In hundredths of a second (see the file's images' graphic control blocks).
    unsigned AnimationDelay() const;

    const std::string& Signature() const { return FSignature; }
    const std::string& Version() const { return FVersion; }
    std::uint16_t ScreenWidth() const { return FScreenWidth; }
    std::uint16_t ScreenHeight() const { return FScreenHeight; }
    std::uint8_t ScreenFlags() const { return FScreenFlags; }
    std::uint8_t BackgroundIndex() const { return FBackground; }
    std::uint8_t AspectRatio() const { return FAspectRatio; }
    bool GlobalTableFlag() const { return FGlobalTableFlag; }
    unsigned GlobalTableBits() const { return FGlobalTableBits; }
    const TColorTable& GlobalColorTable() const { return FGlobalTable; }

    // Runs pending interface events after completed pixel rows.
    TGifEventPump& EventPump() { return FPump; }
    // Called with true when a parse starts and false when it ends (the
    // widgets show the busy cursor meanwhile).
    std::function<void(bool)> OnParseBusy;
    // True while a load runs; a load requested meanwhile is refused.
    bool Loading() const { return FLoading; }

  private:
    friend class TGifSubImage;
    void Parse(TGifReader& reader);
    bool ReadHeader(TGifReader& reader);
    bool ReadBlock(TGifReader& reader, std::uint8_t& current);
    // False when a later image would exceed the file's budget; throws
    // ENotEnoughMemory for an image beyond the pixel store's bound.
    bool ReserveImagePixels(std::size_t count);

    std::string FSignature = "GIF";
    std::string FVersion = "87a";
    std::uint16_t FScreenWidth = 0;
    std::uint16_t FScreenHeight = 0;
    std::uint8_t FScreenFlags = 0;
    std::uint8_t FBackground = 0;
    std::uint8_t FAspectRatio = 0;
    bool FGlobalTableFlag = true;
    unsigned FGlobalTableBits = 1;
    TColorTable FGlobalTable{0};
    std::vector<std::unique_ptr<TGifSubImage>> FImages;
    std::size_t FPixelsHeld = 0;
    std::uint64_t FPixelBudget = 0;
    TGifEventPump FPump;
    bool FLoading = false;
};

// Image 1 of a GIF stream as a bitmap. Registered with the picture formats
// under the extension "gif".
class TGifBitmap {
  public:
    static constexpr const char* kExtension = "gif";
    static constexpr const char* kDescription = "GIF-Format";

    void LoadFromStream(std::istream& stream);
    void LoadFromBytes(const std::uint8_t* data, std::size_t size);
    std::shared_ptr<const TIndexedBitmap> Bitmap() const { return FBitmap; }

  private:
    std::shared_ptr<const TIndexedBitmap> FBitmap;
};

} // namespace quorvane
