// Dispatch by signature, the capped file read, the claim rule and the turn
// upright that follows every decoder that leaves the orientation to us.
#include "PhotoDecoder.h"

#include "DecodeCost.h"
#include "LargeBlock.h"
#include "Orientation.h"
#include "PhotoFormats.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>

namespace quorvane {

namespace {

std::string UpperExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    std::string ext(name.substr(dot));
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ext;
}

constexpr std::array<std::string_view, 13> kRawExtensions = {
    ".NEF", ".NRW", ".CR2", ".CR3", ".ARW", ".SR2", ".DNG", ".ORF", ".RW2", ".RAF", ".PEF", ".SRW", ".ERF"};

bool IsHeifBrand(const std::uint8_t* brand)
{
    static constexpr std::array<const char*, 10> kBrands = {"heic", "heix", "hevc", "hevx", "heim",
                                                            "heis", "mif1", "msf1", "avif", "avis"};
    for (const char* b : kBrands)
        if (std::memcmp(brand, b, 4) == 0) return true;
    return false;
}

} // namespace

TPhotoFormat PhotoFormatOfName(std::string_view name)
{
    const std::string ext = UpperExtension(name);
    if (ext == ".PNG") return TPhotoFormat::Png;
    if (ext == ".WEBP") return TPhotoFormat::WebP;
    if (ext == ".TIF" || ext == ".TIFF") return TPhotoFormat::Tiff;
    if (ext == ".HEIC" || ext == ".HEIF" || ext == ".HIF" || ext == ".AVIF") return TPhotoFormat::Heif;
    if (ext == ".JXL") return TPhotoFormat::Jxl;
    for (std::string_view raw : kRawExtensions)
        if (ext == raw) return TPhotoFormat::Raw;
    return TPhotoFormat::Unknown;
}

TPhotoFormat PhotoFormatOfBytes(const std::uint8_t* data, std::size_t size)
{
    auto starts = [&](const char* text, std::size_t length) {
        return size >= length && std::memcmp(data, text, length) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n", 8)) return TPhotoFormat::Png;
    if (size >= 12 && starts("RIFF", 4) && std::memcmp(data + 8, "WEBP", 4) == 0) return TPhotoFormat::WebP;
    if (starts("II*\0", 4) || starts("MM\0*", 4)) return TPhotoFormat::Tiff;
    if (starts("\xFF\x0A", 2) || starts("\0\0\0\x0CJXL \r\n\x87\n", 12)) return TPhotoFormat::Jxl;
    if (size >= 12 && std::memcmp(data + 4, "ftyp", 4) == 0) {
        // The major brand, or a compatible brand listed in the ftyp box.
        const std::size_t box =
            std::size_t{data[0]} << 24 | std::size_t{data[1]} << 16 | std::size_t{data[2]} << 8 | data[3];
        const std::size_t end = std::min(size, box);
        for (std::size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4)
            if (IsHeifBrand(data + at)) return TPhotoFormat::Heif;
    }
    // Canon CR3 and Fujifilm RAF carry signatures of their own.
    if (starts("FUJIFILMCCD-RAW", 15)) return TPhotoFormat::Raw;
    if (size >= 12 && std::memcmp(data + 4, "ftypcrx ", 8) == 0) return TPhotoFormat::Raw;
    return TPhotoFormat::Unknown;
}

void CheckPhotoClaim(std::uint64_t width, std::uint64_t height, std::uint64_t dataBytes)
{
    if (width == 0 || height == 0) throw EPhoto("The picture has no pixels");
    if (width > TPhotoLimits::MaxSide || height > TPhotoLimits::MaxSide ||
        width * height > TPhotoLimits::MaxPixels)
        throw EPhoto("The picture is too large: " + std::to_string(width) + " x " + std::to_string(height));
    const decode_cost::TClaimRule rule{TPhotoLimits::FreePixels, TPhotoLimits::PixelsPerByte};
    if (!decode_cost::ClaimIsBacked(rule, width * height, dataBytes))
        throw EPhoto("The picture claims more pixels than its file holds");
}

namespace photo {

std::vector<std::uint8_t> RgbaBuffer(std::uint64_t width, std::uint64_t height, std::uint64_t dataBytes)
{
    CheckPhotoClaim(width, height, dataBytes);
    return LargeZeroedBytes(static_cast<std::size_t>(width * height * 4));
}

bool AnyTransparent(const std::vector<std::uint8_t>& rgba)
{
    for (std::size_t i = 3; i < rgba.size(); i += 4)
        if (rgba[i] != 255) return true;
    return false;
}

} // namespace photo

namespace {

photo::TStoredPicture DecodeStored(const std::uint8_t* data, std::size_t size, TPhotoFormat format,
                                   const TPhotoRequest& request)
{
    switch (format) {
    case TPhotoFormat::Png:
        return photo::DecodePng(data, size);
    case TPhotoFormat::WebP:
        return photo::DecodeWebp(data, size);
    case TPhotoFormat::Tiff:
        return photo::DecodeTiff(data, size);
    case TPhotoFormat::Heif:
        return photo::DecodeHeif(data, size, request);
    case TPhotoFormat::Jxl:
        return photo::DecodeJxl(data, size, request);
    case TPhotoFormat::Raw:
        return photo::DecodeRaw(data, size, request);
    case TPhotoFormat::Unknown:
        break;
    }
    throw EPhoto("Unknown picture format");
}

// Checks what a decoder returned and turns it upright when asked.
TPhotoPicture Finish(photo::TStoredPicture stored, const TPhotoRequest& request)
{
    TPhotoPicture& picture = stored.Picture;
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Rgba.size() != std::size_t(picture.Width) * std::size_t(picture.Height) * 4)
        throw EPhoto("The picture could not be decoded");
    if (request.Upright && stored.Orientation != kUpright)
        picture.Rgba = OrientPixels(picture.Rgba.data(), picture.Width, picture.Height, 4,
                                    std::size_t(picture.Width) * 4, stored.Orientation);
    return std::move(picture);
}

// The first bytes of the file at path (at most kHeadBytes) and its size.
constexpr std::size_t kHeadBytes = 64;
std::vector<std::uint8_t> ReadHead(const std::string& path, std::uint64_t& fileSize)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) throw EPhoto("Cannot open file " + path);
    const std::streamoff size = file.tellg();
    if (size < 0) throw EPhoto("Cannot read file " + path);
    fileSize = static_cast<std::uint64_t>(size);
    std::vector<std::uint8_t> head(std::min<std::size_t>(kHeadBytes, fileSize));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    return head;
}

} // namespace

TPhotoPicture DecodePhotoBytes(const std::uint8_t* data, std::size_t size, TPhotoFormat format,
                               const TPhotoRequest& request)
{
    if (data == nullptr || size == 0) throw EPhoto("The file is empty");
    return Finish(DecodeStored(data, size, format, request), request);
}

std::vector<std::uint8_t> ReadPhotoFile(const std::string& path, std::uint64_t maxBytes)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) throw EPhoto("Cannot open file " + path);
    const std::streamoff size = file.tellg();
    if (size < 0) throw EPhoto("Cannot read file " + path);
    if (static_cast<std::uint64_t>(size) > maxBytes) throw EPhoto("The file is too large: " + path);
    std::vector<std::uint8_t> bytes = LargeZeroedBytes(static_cast<std::size_t>(size));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(bytes.data()), size);
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

TPhotoPicture DecodePhotoFile(const std::string& path, const TPhotoRequest& request)
{
    if (PhotoFormatOfName(path) == TPhotoFormat::Raw) {
        // A camera file is read by LibRaw in the parts it needs: reading its
        // tens of megabytes whole cost more than decoding its preview.
        std::uint64_t fileSize = 0;
        const std::vector<std::uint8_t> head = ReadHead(path, fileSize);
        if (head.empty()) throw EPhoto("The file is empty");
        if (fileSize > TPhotoLimits::MaxFileBytes) throw EPhoto("The file is too large: " + path);
        const TPhotoFormat seen = PhotoFormatOfBytes(head.data(), head.size());
        if (seen == TPhotoFormat::Tiff || seen == TPhotoFormat::Unknown)
            return Finish(photo::DecodeRawFile(path, static_cast<std::size_t>(fileSize), request), request);
    }
    const std::vector<std::uint8_t> bytes = ReadPhotoFile(path, TPhotoLimits::MaxFileBytes);
    TPhotoFormat format = PhotoFormatOfBytes(bytes.data(), bytes.size());
    const TPhotoFormat named = PhotoFormatOfName(path);
    if (named == TPhotoFormat::Raw && (format == TPhotoFormat::Tiff || format == TPhotoFormat::Unknown))
        format = TPhotoFormat::Raw;
    if (format == TPhotoFormat::Unknown) throw EPhoto("Unknown picture format: " + path);
    return DecodePhotoBytes(bytes.data(), bytes.size(), format, request);
}

} // namespace quorvane
