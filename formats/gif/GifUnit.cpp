// Parsing a GIF file block by block into decoded images. The parse stops at
// the trailer, at the end of the data, or when an iteration makes no progress
// (a stray byte); a file cut off anywhere keeps the images read before.
#include "GifUnit.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <istream>
#include <iterator>
#include <limits>

namespace quorvane {

namespace {

constexpr std::uint8_t kExtensionIntroducer = '!';
constexpr std::uint8_t kImageSeparator = ',';
constexpr std::uint8_t kTrailer = ';';

std::uint16_t Word(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Sum of the sub-block sizes that follow, so the data is stored in one block.
std::size_t SubBlockTotal(const std::uint8_t* p, std::size_t available)
{
    std::size_t total = 0;
    for (std::size_t at = 0; at < available && p[at] != 0; at += 1 + p[at])
        total += p[at];
    return total < available ? total : available;
}

std::vector<std::uint8_t> ReadAll(std::istream& stream)
{
    std::vector<std::uint8_t> bytes;
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    stream.seekg(0, std::ios::beg);
    if (size > 0 && static_cast<std::uint64_t>(size) > kMaxGifFileSize)
        throw EGifException("GIF file too large: " + std::to_string(size) + " bytes");
    if (size > 0 && stream) {
        bytes.resize(static_cast<std::size_t>(size));
        stream.read(reinterpret_cast<char*>(bytes.data()), size);
        bytes.resize(static_cast<std::size_t>(stream.gcount()));
        return bytes;
    }
    stream.clear();
    stream.seekg(0, std::ios::beg);
    char chunk[65536];
    while (stream.read(chunk, sizeof chunk) || stream.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + stream.gcount());
        if (bytes.size() > kMaxGifFileSize) throw EGifException("GIF file too large");
    }
    return bytes;
}

} // namespace

TGifSubImage::TGifSubImage(TGifFile& owner, unsigned localTableCount)
    : FOwner(owner), FLocalTable(localTableCount)
{
}

bool TGifSubImage::Read(TGifReader& reader)
{
    if (!ReadDescriptor(reader) || !ReadData(reader)) return false;
    const std::size_t pixels = std::size_t{FWidth} * FHeight;
    if (pixels > kMaxPixelStore) throw ENotEnoughMemory(pixels);
    if (!decode_cost::ClaimIsBacked(kGifClaimRule, pixels, FData.Size()))
        throw EGifException(kImageDataTooShort);
    if (!FOwner.ReserveImagePixels(pixels)) return false;
    FPixels = std::make_unique<TByteArray2D>(FWidth, FHeight);
    Decode();
    return true;
}

bool TGifSubImage::ReadDescriptor(TGifReader& reader)
{
    std::uint8_t d[9];
    if (reader.Read(d, sizeof d) < sizeof d) return false;
    FLeft = Word(d);
    FTop = Word(d + 2);
    FWidth = Word(d + 4);
    FHeight = Word(d + 6);
    FImageFlags = d[8];
    FInterlaced = (FImageFlags & 0x40) != 0;
    FLocalTableFlag = (FImageFlags & 0x80) != 0;
    FLocalTableBits = (FImageFlags & 7u) + 1;
    FLocalTable.SetCount(1u << FLocalTableBits);
    if (!FLocalTableFlag) return true;
    const std::size_t bytes = std::size_t{3} * FLocalTable.Count();
    if (reader.Remaining() < bytes) return false;
    FLocalTable.ReadEntries(reader.Current(), FLocalTable.Count());
    reader.Skip(bytes);
    return true;
}

// A data stream cut off by the end of the file keeps what came; an image whose
// data has not begun when the file ends is not read at all.
bool TGifSubImage::ReadData(TGifReader& reader)
{
    std::uint8_t size = 0;
    if (!reader.ReadByte(FCodeSize) || !reader.ReadByte(size)) return false;
    FData.Reserve(SubBlockTotal(reader.Current() - 1, reader.Remaining() + 1));
    while (size != 0 && !reader.AtEnd()) {
        const std::size_t n = size < reader.Remaining() ? size : reader.Remaining();
        FData.Append(reader.Current(), n);
        reader.Skip(n);
        if (n < size || !reader.ReadByte(size)) break;
    }
    return FData.Count() != 0 || !reader.AtEnd() || size == 0;
}

void TGifSubImage::Decode()
{
    const TGifDecodeInput input{&FData, FCodeSize, FInterlaced};
    DecodeGifImage(input, *FPixels, FOwner.FPump);
}

std::uint16_t TGifSubImage::DelayTime() const
{
    std::uint16_t delay = 0;
    for (std::size_t i = 0; i < FExtensions.Count(); ++i) {
        const TExtension& e = FExtensions.Item(i);
        if (e.Kind() == TExtensionKind::GraphicControl) delay = e.DelayTime();
    }
    return delay;
}

std::shared_ptr<const TIndexedBitmap> TGifSubImage::Bitmap()
{
    if (FBitmap) return FBitmap;
    auto bitmap = std::make_shared<TIndexedBitmap>(FWidth, FHeight);
    const TColorTable& table = FLocalTableFlag ? FLocalTable : FOwner.FGlobalTable;
    for (unsigned i = 0; i < 256; ++i) {
        const TRgb& c = table.Entry(static_cast<std::uint8_t>(i));
        bitmap->SetColor(i, c.Red, c.Green, c.Blue);
    }
    const std::uint8_t* pixels = FPixels ? FPixels->Data() : nullptr;
    for (std::size_t row = 0; pixels && FWidth != 0 && row < FHeight; ++row)
        std::memcpy(bitmap->ScanLine(row), pixels + row * FWidth, FWidth);
    FBitmap = std::move(bitmap);
    return FBitmap;
}

std::array<std::uint32_t, 256> TGifSubImage::Colors() const
{
    const TColorTable& table = FLocalTableFlag ? FLocalTable : FOwner.FGlobalTable;
    std::array<std::uint32_t, 256> colors{};
    for (unsigned i = 0; i < 256; ++i) {
        const TRgb& c = table.Entry(static_cast<std::uint8_t>(i));
        colors[i] = 0xFF000000u | (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
    }
    return colors;
}

std::vector<std::uint8_t> TGifSubImage::BitmapStream()
{
    if (FBitmap || !FPixels) return Bitmap()->BmpStream();
    // Rows straight from the pixel store, with the palette a bitmap would get.
    return BmpStreamOfRows(Colors(), FWidth, FHeight, FPixels->Data(), FWidth);
}

void TGifSubImage::WriteBitmapStream(std::ostream& out)
{
    if (!FPixels) {
        const std::vector<std::uint8_t> bytes = BitmapStream();
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return;
    }
    WriteBmpOfRows(out, Colors(), FWidth, FHeight, FPixels->Data(), FWidth);
}

TGifFile::TGifFile() = default;
TGifFile::~TGifFile() = default;

void TGifFile::LoadFromFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EGifException("Cannot open file " + path);
    const std::vector<std::uint8_t> bytes = ReadAll(in);
    LoadFromBytes(bytes.data(), bytes.size());
}

void TGifFile::LoadFromStream(std::istream& stream)
{
    const std::vector<std::uint8_t> bytes = ReadAll(stream);
    LoadFromBytes(bytes.data(), bytes.size());
}

void TGifFile::LoadFromBytes(const std::uint8_t* data, std::size_t size)
{
    if (FLoading) throw EGifException("A GIF file is already being loaded");
    struct TLoadScope {
        TGifFile& File;
        explicit TLoadScope(TGifFile& file) : File(file)
        {
            File.FLoading = true;
            if (File.OnParseBusy) File.OnParseBusy(true);
        }
        ~TLoadScope()
        {
            File.FLoading = false;
            if (File.OnParseBusy) File.OnParseBusy(false);
        }
    } scope(*this);
    FImages.clear();
    FPixelsHeld = 0;
    FPixelBudget = decode_cost::LinearAllowance(kFileBudgetBase, kFileBudgetPerByte, size, kMaxFilePixels);
    TGifReader reader(data, size);
    Parse(reader);
}

TGifSubImage& TGifFile::Image(std::size_t number)
{
    if (number < 1 || number > FImages.size()) throw EGifListError(static_cast<long long>(number) - 1);
    return *FImages[number - 1];
}

unsigned TGifFile::AnimationDelay() const
{
    if (FImages.size() < 2) return 0;
    unsigned delay = 0;
    for (const auto& image : FImages)
        if (const unsigned d = image->DelayTime(); d != 0) delay = d;
    return delay;
}

bool TGifFile::ReserveImagePixels(std::size_t count)
{
    if (count > kMaxPixelStore) throw ENotEnoughMemory(count);
    // The first image is always kept: the claim rule has bounded it.
    if (!FImages.empty() && count > FPixelBudget - std::min<std::uint64_t>(FPixelsHeld, FPixelBudget))
        return false;
    FPixelsHeld += count;
    return true;
}

bool TGifFile::ReadHeader(TGifReader& reader)
{
    std::uint8_t head[6] = {};
    const std::size_t n = reader.Read(head, sizeof head);
    FSignature.assign(reinterpret_cast<const char*>(head), n < 3 ? n : 3);
    FVersion.assign(reinterpret_cast<const char*>(head) + 3, n > 3 ? n - 3 : 0);
    if (FVersion != "87a" && FVersion != "89a" && FVersion != "87A" && FVersion != "89A")
        throw EGifException("Gif Version must be 87a or 89a");
    std::uint8_t screen[7];
    if (reader.Read(screen, sizeof screen) < sizeof screen) return false;
    FScreenWidth = Word(screen);
    FScreenHeight = Word(screen + 2);
    FScreenFlags = screen[4];
    FBackground = screen[5];
    FAspectRatio = screen[6];
    FGlobalTableFlag = (FScreenFlags & 0x80) != 0;
    FGlobalTableBits = (FScreenFlags & 7u) + 1;
    FGlobalTable = TColorTable(0);
    FGlobalTable.SetCount(1u << FGlobalTableBits);
    if (!FGlobalTableFlag) return true;
    const std::size_t bytes = std::size_t{3} * FGlobalTable.Count();
    const std::size_t present = reader.Remaining() < bytes ? reader.Remaining() : bytes;
    FGlobalTable.ReadEntries(reader.Current(), present / 3);
    reader.Skip(present);
    return present == bytes;
}

void TGifFile::Parse(TGifReader& reader)
{
    std::uint8_t current = 0;
    if (!ReadHeader(reader) || !reader.ReadByte(current)) return;
    std::size_t previousStart = std::numeric_limits<std::size_t>::max();
    while (current != kTrailer) {
        if (reader.AtEnd() || reader.Position() == previousStart) return;
        previousStart = reader.Position();
        if (!ReadBlock(reader, current)) return;
    }
}

// Reads the extensions before an image and the image itself; false when the
// file ends. Extensions not followed by an image are dropped. A block with a
// label of no known kind is stepped over by its sub-block lengths and not
// kept; one whose sub-blocks run past the end of the file is refused.
bool TGifFile::ReadBlock(TGifReader& reader, std::uint8_t& current)
{
    TExtensionList extensions;
    while (current == kExtensionIntroducer) {
        std::uint8_t label = 0;
        if (!reader.ReadByte(label)) return false;
        if (!TExtension::IsKnownLabel(label)) {
            if (!SkipSubBlocks(reader)) throw UnrecognizedExtension(label);
            if (!reader.ReadByte(current)) return false;
            continue;
        }
        auto extension = std::make_unique<TExtension>(TExtension::KindOfLabel(label));
        extension->Read(reader);
        extensions.Add(std::move(extension));
        if (!reader.ReadByte(current)) return false;
    }
    if (current != kImageSeparator) return true;
    auto image = std::make_unique<TGifSubImage>(*this, FGlobalTable.Count());
    image->SetExtensions(std::move(extensions));
    if (!image->Read(reader)) return false;
    FImages.push_back(std::move(image));
    if (reader.AtEnd() || !reader.ReadByte(current)) current = kTrailer;
    return true;
}

void TGifBitmap::LoadFromStream(std::istream& stream)
{
    const std::vector<std::uint8_t> bytes = ReadAll(stream);
    LoadFromBytes(bytes.data(), bytes.size());
}

void TGifBitmap::LoadFromBytes(const std::uint8_t* data, std::size_t size)
{
    TGifFile file;
    file.LoadFromBytes(data, size);
    FBitmap = file.Image(1).Bitmap();
}

} // namespace quorvane
