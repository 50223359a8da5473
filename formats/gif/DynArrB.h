// The pixel store of a GIF image: TBigByteArray (one contiguous block of bytes,
// elements numbered from 1) and TByteArray2D (a width x height matrix held in
// one TBigByteArray, row 1 first). Every index is checked before memory is
// touched, and no block larger than kMaxPixelStore bytes is ever requested.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace quorvane {

// Bytes one pixel store may hold: 16384 x 16384. A descriptor may claim up to
// 65535 x 65535 pixels with a handful of data bytes; such an image is refused
// instead of being allowed to exhaust memory.
inline constexpr std::size_t kMaxPixelStore = std::size_t{16384} * 16384;

class EIndexOutOfBounds : public std::out_of_range {
  public:
    EIndexOutOfBounds() : std::out_of_range("Dynamic array index out of bounds") {}
    explicit EIndexOutOfBounds(const std::string& message) : std::out_of_range(message) {}
};

class ENotEnoughMemory : public std::runtime_error {
  public:
    explicit ENotEnoughMemory(std::size_t requested);
};

class TBigByteArray {
  public:
    // The block starts zero-filled. Pages are taken from the system lazily, so
    // the memory really used follows the pixels that decoding writes.
    explicit TBigByteArray(std::size_t size);

    std::size_t Size() const { return FSize; }
    std::uint8_t Get(std::size_t index) const;       // 1-based
    void Set(std::size_t index, std::uint8_t value); // 1-based

    std::uint8_t* Data() { return FData.get(); }
    const std::uint8_t* Data() const { return FData.get(); }

  private:
    struct TFree {
        void operator()(std::uint8_t* p) const noexcept;
    };
    std::size_t FSize;
    std::unique_ptr<std::uint8_t, TFree> FData;
};

class TByteArray2D {
  public:
    // Refuses (ENotEnoughMemory) a matrix whose byte count exceeds kMaxPixelStore.
    TByteArray2D(std::size_t rowLength, std::size_t rowCount);

    std::size_t RowLength() const { return FRowLength; }
    std::size_t RowCount() const { return FRowCount; }

    TBigByteArray Row(std::size_t row) const; // a copy of row (1-based)
    void SetRow(std::size_t row, const TBigByteArray& values);
    void SetRow(std::size_t row, const std::uint8_t* values, std::size_t count);

    // Row-major pixels, row 1 first, RowLength() bytes a row, no padding.
    std::uint8_t* Data() { return FStore.Data(); }
    const std::uint8_t* Data() const { return FStore.Data(); }

  private:
    std::size_t FRowLength;
    std::size_t FRowCount;
    TBigByteArray FStore;
};

} // namespace quorvane
