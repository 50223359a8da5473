// Extension blocks, data sub-blocks and the bounded reader of the GIF reader.
#include "GifDecl.h"

#include <cstdio>
#include <cstring>

namespace quorvane {

EGifListError::EGifListError(long long index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")")
{
}

std::size_t TGifReader::Read(void* target, std::size_t count)
{
    const std::size_t n = count < Remaining() ? count : Remaining();
    if (n != 0) std::memcpy(target, FData + FPosition, n);
    FPosition += n;
    return n;
}

bool TGifReader::ReadByte(std::uint8_t& value)
{
    if (FPosition >= FSize) return false;
    value = FData[FPosition++];
    return true;
}

void TGifReader::Skip(std::size_t count)
{
    FPosition += count < Remaining() ? count : Remaining();
}

bool TExtension::IsKnownLabel(std::uint8_t label)
{
    return label == 0xF9 || label == 0x01 || label == 0xFF || label == 0xFE;
}

TExtensionKind TExtension::KindOfLabel(std::uint8_t label)
{
    switch (label) {
    case 0xF9:
        return TExtensionKind::GraphicControl;
    case 0x01:
        return TExtensionKind::PlainText;
    case 0xFF:
        return TExtensionKind::Application;
    case 0xFE:
        return TExtensionKind::Comment;
    default:
        break;
    }
    throw UnrecognizedExtension(label);
}

EGifException UnrecognizedExtension(std::uint8_t label)
{
    char code[3];
    std::snprintf(code, sizeof code, "%02X", static_cast<unsigned>(label));
    return EGifException(std::string("Unrecognized extension block.\r\nCode = $") + code);
}

std::size_t TExtension::HeaderSize(TExtensionKind kind)
{
    switch (kind) {
    case TExtensionKind::GraphicControl:
        return 6;
    case TExtensionKind::PlainText:
        return 13;
    case TExtensionKind::Application:
        return 12;
    case TExtensionKind::Comment:
        break;
    }
    return 0;
}

void TExtension::Read(TGifReader& reader)
{
    FHeader.resize(HeaderSize(FKind));
    FHeader.resize(reader.Read(FHeader.data(), FHeader.size()));
    if (FKind != TExtensionKind::GraphicControl) ReadSubBlocks(reader, FData);
}

std::uint16_t TExtension::DelayTime() const
{
    if (FKind != TExtensionKind::GraphicControl || FHeader.size() < 4) return 0;
    return static_cast<std::uint16_t>(FHeader[2] | (FHeader[3] << 8));
}

void ReadSubBlocks(TGifReader& reader, std::vector<std::string>& into)
{
    std::uint8_t size = 0;
    while (reader.ReadByte(size) && size != 0) {
        const std::size_t n = size < reader.Remaining() ? size : reader.Remaining();
        into.emplace_back(reinterpret_cast<const char*>(reader.Current()), n);
        reader.Skip(n);
    }
}

bool SkipSubBlocks(TGifReader& reader)
{
    std::uint8_t size = 0;
    while (reader.ReadByte(size)) {
        if (size == 0) return true;
        if (reader.Remaining() < size) break;
        reader.Skip(size);
    }
    reader.Skip(reader.Remaining());
    return false;
}

TExtensionList& TExtensionList::operator=(TExtensionList&& other) noexcept
{
    if (this != &other) {
        Clear();
        FItems = std::move(other.FItems);
    }
    return *this;
}

TExtensionList::~TExtensionList()
{
    Clear();
}

void TExtensionList::Clear() noexcept
{
    // Last first, the reverse of the order they were read in.
    while (!FItems.empty())
        FItems.pop_back();
}

const TExtension& TExtensionList::Item(std::size_t index) const
{
    if (index >= FItems.size()) throw EGifListError(static_cast<long long>(index));
    return *FItems[index];
}

void TByteBuffer::Append(const std::uint8_t* bytes, std::size_t count)
{
    FBytes.resize(FBytes.size() - kPadding);
    FBytes.insert(FBytes.end(), bytes, bytes + count);
    FBytes.resize(FBytes.size() + kPadding, 0);
    FEnds.push_back(Size());
}

std::string_view TByteBuffer::String(std::size_t index) const
{
    if (index >= FEnds.size()) throw EGifListError(static_cast<long long>(index));
    const std::size_t begin = index == 0 ? 0 : FEnds[index - 1];
    return {reinterpret_cast<const char*>(FBytes.data()) + begin, FEnds[index] - begin};
}

void TByteBuffer::Reset()
{
    if (FEnds.empty()) throw EGifListError(0);
    FCursor = 0;
}

std::uint8_t TByteBuffer::ReadByte()
{
    if (FCursor >= Size()) throw EGifListError(static_cast<long long>(FEnds.size()));
    return FBytes[FCursor++];
}

} // namespace quorvane
