// TByteView: little-endian reads from a borrowed byte range. Every read is
// checked against the range; a read past it throws EByteRange, which the
// players catch per record, so a damaged record is skipped as a whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quorvane {

struct EByteRange {};

class TByteView {
  public:
    TByteView() = default;
    TByteView(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

    std::size_t Size() const { return FSize; }
    const std::uint8_t* Data() const { return FData; }
    // True when [offset, offset + length) lies inside the view (overflow-safe).
    bool Has(std::size_t offset, std::size_t length) const
    {
        return offset <= FSize && length <= FSize - offset;
    }
    TByteView Sub(std::size_t offset, std::size_t length) const
    {
        Need(offset, length);
        return TByteView(FData + offset, length);
    }
    std::uint8_t U8(std::size_t offset) const
    {
        Need(offset, 1);
        return FData[offset];
    }
    std::uint16_t U16(std::size_t offset) const
    {
        Need(offset, 2);
        return std::uint16_t(FData[offset] | (FData[offset + 1] << 8));
    }
    std::int16_t I16(std::size_t offset) const { return std::int16_t(U16(offset)); }
    std::uint32_t U32(std::size_t offset) const
    {
        Need(offset, 4);
        return std::uint32_t(FData[offset]) | (std::uint32_t(FData[offset + 1]) << 8) |
               (std::uint32_t(FData[offset + 2]) << 16) | (std::uint32_t(FData[offset + 3]) << 24);
    }
    std::int32_t I32(std::size_t offset) const { return std::int32_t(U32(offset)); }
    float F32(std::size_t offset) const
    {
        const std::uint32_t bits = U32(offset);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

  private:
    void Need(std::size_t offset, std::size_t length) const
    {
        if (!Has(offset, length)) throw EByteRange{};
    }

    const std::uint8_t* FData = nullptr;
    std::size_t FSize = 0;
};

} // namespace quorvane
