// Capture info by format. Every format but HEIF hands its EXIF block to the
// bounded parser from a head of at most kCaptureReadBytes; HEIF's Exif item
// is read through libheif, and JPEG XL's compressed one through brotli, and
// each is held to the same size.
#include "PhotoCapture.h"

#include "ExifBlock.h"
#include "Orientation.h"
#include "PhotoDecoder.h"
#include "PictureSize.h"

#include <algorithm>
#include <brotli/decode.h>
#include <cstring>
#include <fstream>
#include <libheif/heif.h>
#include <memory>
#include <vector>

namespace quorvane {

namespace {

constexpr int kMaxHeifExifItems = 4;

std::uint32_t BigU32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

TCaptureInfo InfoOfBlock(TExifSpan block)
{
    if (block.Size == 0) return {};
    return CaptureInfoOfExif(ReadExifBlock(block.Data, block.Size));
}

struct THeifFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};

// The primary picture's Exif item: a 4-byte offset to the TIFF header, then
// the block. The picture's own size stands in when EXIF gives none.
TCaptureInfo HeifCapture(const std::uint8_t* data, std::size_t size)
{
    std::unique_ptr<heif_context, THeifFree> context(heif_context_alloc());
    if (!context) return {};
    if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code != heif_error_Ok)
        return {};
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) return {};
    std::unique_ptr<heif_image_handle, THeifFree> handle(rawHandle);
    TCaptureInfo info;
    heif_item_id ids[kMaxHeifExifItems] = {};
    const int count =
        heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", ids, kMaxHeifExifItems);
    if (count > 0) {
        const std::size_t itemSize = heif_image_handle_get_metadata_size(handle.get(), ids[0]);
        if (itemSize >= 4 && itemSize <= kCaptureReadBytes) {
            std::vector<std::uint8_t> item(itemSize);
            if (heif_image_handle_get_metadata(handle.get(), ids[0], item.data()).code == heif_error_Ok) {
                const std::uint32_t skip = BigU32(item.data());
                if (skip <= itemSize - 4) info = InfoOfBlock({item.data() + 4 + skip, itemSize - 4 - skip});
            }
        }
    }
    if (info.Width == 0 || info.Height == 0) {
        // libheif gives the size with HEIF's own turns applied.
        const int width = heif_image_handle_get_width(handle.get());
        const int height = heif_image_handle_get_height(handle.get());
        if (width > 0 && height > 0) {
            info.Width = std::uint32_t(width);
            info.Height = std::uint32_t(height);
        }
    }
    return info;
}

// The body of the first box of the given type found in the bytes (Canon's
// CR3 keeps its TIFF blocks in CMT boxes inside a uuid box near the start).
TExifSpan BoxBody(const std::uint8_t* data, std::size_t size, const char* type)
{
    for (std::size_t at = 4; at + 4 <= size; ++at) {
        if (std::memcmp(data + at, type, 4) != 0) continue;
        const std::uint32_t length = BigU32(data + at - 4);
        if (length >= 8 && length - 4 <= size - at) return {data + at + 4, length - 8};
    }
    return {};
}

// CR3: CMT1 holds the first IFD (the model), CMT2 the Exif IFD (the date).
TCaptureInfo Cr3Capture(const std::uint8_t* data, std::size_t size)
{
    const TExifSpan first = BoxBody(data, size, "CMT1");
    const TExifSpan exif = BoxBody(data, size, "CMT2");
    TExifFields fields = ReadExifBlock(first.Data, first.Size);
    const TExifFields dated = ReadExifBlock(exif.Data, exif.Size);
    fields.DateTimeOriginal = dated.DateTimeOriginal;
    fields.SubSecTimeOriginal = dated.SubSecTimeOriginal;
    fields.OffsetTimeOriginal = dated.OffsetTimeOriginal;
    fields.PixelWidth = dated.PixelWidth;
    fields.PixelHeight = dated.PixelHeight;
    return CaptureInfoOfExif(fields);
}

// RAF: the offset and length of the embedded JPEG sit at bytes 84 and 88.
TCaptureInfo RafCapture(const std::uint8_t* data, std::size_t size)
{
    if (size < 92) return {};
    const std::uint32_t offset = BigU32(data + 84);
    if (offset >= size) return {};
    const std::size_t length = std::min<std::size_t>(BigU32(data + 88), size - offset);
    return InfoOfBlock(FindExifBlock(data + offset, length));
}

// cjxl keeps a converted JPEG's EXIF in a brotli-compressed box. At most
// kCaptureReadBytes come out of it: a block cut there is read as far as it
// goes, and a stream that would grow beyond costs no more than that.
TCaptureInfo JxlCompressedCapture(TExifSpan stream)
{
    std::unique_ptr<BrotliDecoderState, void (*)(BrotliDecoderState*)> decoder(
        BrotliDecoderCreateInstance(nullptr, nullptr, nullptr), BrotliDecoderDestroyInstance);
    if (!decoder) return {};
    std::vector<std::uint8_t> box(kCaptureReadBytes);
    std::size_t availableIn = stream.Size, availableOut = box.size();
    const std::uint8_t* nextIn = stream.Data;
    std::uint8_t* nextOut = box.data();
    const BrotliDecoderResult result =
        BrotliDecoderDecompressStream(decoder.get(), &availableIn, &nextIn, &availableOut, &nextOut, nullptr);
    if (result == BROTLI_DECODER_RESULT_ERROR) return {};
    box.resize(box.size() - availableOut);
    if (box.size() < 4) return {};
    const std::uint32_t skip = BigU32(box.data());
    if (skip > box.size() - 4) return {};
    return InfoOfBlock({box.data() + 4 + skip, box.size() - 4 - skip});
}

bool StartsWith(const std::uint8_t* data, std::size_t size, const char* text, std::size_t length)
{
    return size >= length && std::memcmp(data, text, length) == 0;
}

} // namespace

TCaptureInfo CaptureInfoFromBytes(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0) return {};
    if (StartsWith(data, size, "FUJIFILMCCD-RAW", 15)) return RafCapture(data, size);
    if (size >= 12 && std::memcmp(data + 4, "ftypcrx ", 8) == 0) return Cr3Capture(data, size);
    if (PhotoFormatOfBytes(data, size) == TPhotoFormat::Heif) return HeifCapture(data, size);
    const TExifSpan block = FindExifBlock(data, size);
    if (block.Size == 0) {
        const TExifSpan compressed = FindCompressedJxlExif(data, size);
        if (compressed.Size != 0) return JxlCompressedCapture(compressed);
    }
    return InfoOfBlock(block);
}

TCaptureInfo ReadCaptureInfo(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    std::vector<std::uint8_t> bytes(kCaptureReadBytes);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    if (bytes.size() == kCaptureReadBytes &&
        PhotoFormatOfBytes(bytes.data(), bytes.size()) == TPhotoFormat::Heif) {
        try {
            bytes = ReadPhotoFile(path, kCaptureHeifBytes);
        } catch (const EPhoto&) {
            // Too long to read whole: what the head holds is all we look at.
        }
    }
    TCaptureInfo info = CaptureInfoFromBytes(bytes.data(), bytes.size());
    if (info.Width == 0 || info.Height == 0) {
        // Few editors write the size into EXIF: the picture's own header
        // (JPEG frame, PNG, GIF, BMP) gives it, turned as EXIF says.
        const TPictureDimensions size = PictureHeaderDimensions(path);
        if (size.Width != 0 && size.Height != 0) {
            const TExifSpan block = FindExifBlock(bytes.data(), bytes.size());
            const int orientation = block.Size != 0 ? ReadExifBlock(block.Data, block.Size).Orientation : 1;
            const bool swap = OrientationSwapsSides(orientation);
            info.Width = swap ? size.Height : size.Width;
            info.Height = swap ? size.Width : size.Height;
        }
    }
    return info;
}

} // namespace quorvane
