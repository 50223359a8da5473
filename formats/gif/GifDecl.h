// Declarations shared by the GIF reader: its errors, the extension blocks kept
// with each image (TExtension, TExtensionList), an image's compressed data
// (TByteBuffer) and the bounded memory reader every block is parsed with.
// Invariant: no read ever goes past the bytes the file really holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

class EGifException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A list asked for an item it does not have: an image number above the image
// count, or a read past the last data sub-block of an image.
class EGifListError : public std::out_of_range {
  public:
    explicit EGifListError(long long index);
};

// Reads a block of bytes held in memory; reads past the end return fewer bytes.
class TGifReader {
  public:
    TGifReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

    std::size_t Position() const { return FPosition; }
    std::size_t Size() const { return FSize; }
    bool AtEnd() const { return FPosition >= FSize; }
    std::size_t Remaining() const { return FSize - FPosition; }
    const std::uint8_t* Current() const { return FData + FPosition; }

    // Copies up to count bytes into target and returns how many came.
    std::size_t Read(void* target, std::size_t count);
    bool ReadByte(std::uint8_t& value);
    void Skip(std::size_t count);
    void Seek(std::size_t position) { FPosition = position < FSize ? position : FSize; }

  private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPosition = 0;
};

// "Unrecognized extension block.\r\nCode = $" and the label in hexadecimal.
EGifException UnrecognizedExtension(std::uint8_t label);

enum class TExtensionKind { GraphicControl = 0, PlainText = 1, Application = 2, Comment = 3 };

class TExtension {
  public:
    // The kind a label stands for; throws "Unrecognized extension block..." for
    // any label other than 0xF9, 0x01, 0xFF and 0xFE.
    static TExtensionKind KindOfLabel(std::uint8_t label);
    static bool IsKnownLabel(std::uint8_t label);
    // The count of fixed bytes kept after the label for each kind.
    static std::size_t HeaderSize(TExtensionKind kind);

    explicit TExtension(TExtensionKind kind) : FKind(kind) {}

    // Reads the content after the label; a cut-off block keeps what was there.
    void Read(TGifReader& reader);

    TExtensionKind Kind() const { return FKind; }
    const std::vector<std::uint8_t>& Header() const { return FHeader; }
    const std::vector<std::string>& Data() const { return FData; }
    // Graphic control only: the delay in hundredths of a second (0 if cut off).
    std::uint16_t DelayTime() const;

  private:
    TExtensionKind FKind;
    std::vector<std::uint8_t> FHeader;
    std::vector<std::string> FData;
};

// Reads data sub-blocks as strings until a zero size byte or the end of data.
void ReadSubBlocks(TGifReader& reader, std::vector<std::string>& into);
// Steps over data sub-blocks; true when the zero size byte ending them came
// before the end of the data.
bool SkipSubBlocks(TGifReader& reader);

class TExtensionList {
  public:
    TExtensionList() = default;
    TExtensionList(TExtensionList&&) noexcept = default;
    TExtensionList& operator=(TExtensionList&&) noexcept;
    ~TExtensionList();

    void Add(std::unique_ptr<TExtension> extension) { FItems.push_back(std::move(extension)); }
    std::size_t Count() const { return FItems.size(); }
    const TExtension& Item(std::size_t index) const; // 0-based

  private:
    void Clear() noexcept;
    std::vector<std::unique_ptr<TExtension>> FItems;
};

// The compressed data of one image: its data sub-blocks, kept back to back in
// one block (followed by zero padding so that a bit reader may load whole
// words), with the sub-block boundaries and a cursor for byte-wise reading.
class TByteBuffer {
  public:
    static constexpr std::size_t kPadding = 8;

    TByteBuffer() : FBytes(kPadding, 0) {}

    void Reserve(std::size_t total) { FBytes.reserve(total + kPadding); }
    void Append(const std::uint8_t* bytes, std::size_t count);

    std::size_t Count() const { return FEnds.size(); } // sub-blocks
    std::string_view String(std::size_t index) const;  // 0-based
    std::size_t Size() const { return FBytes.size() - kPadding; }
    // Size() bytes, then kPadding zero bytes.
    const std::uint8_t* Bytes() const { return FBytes.data(); }

    // Puts the cursor on the first byte of the first sub-block; an empty
    // buffer fails with the list-index error.
    void Reset();
    // The byte at the cursor; past the last sub-block, the list-index error.
    std::uint8_t ReadByte();

  private:
    std::vector<std::uint8_t> FBytes;
    std::vector<std::size_t> FEnds;
    std::size_t FCursor = 0;
};

} // namespace quorvane
