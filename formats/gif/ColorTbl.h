// TColorTable: a GIF colour table of up to 256 RGB entries in file order.
// Invariant: storage always holds 256 entries, so any 8-bit index is valid;
// entries the file does not overwrite keep the values the count chose.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorvane {

struct TRgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    bool operator==(const TRgb&) const = default;
};

class TColorTable {
  public:
    // 0 or 2: black and white; 16: the 16 standard VGA colours; 256: a grey
    // ramp; any other count: all black.
    explicit TColorTable(unsigned count = 0);

    unsigned Count() const { return FCount; }
    // Changes the count only; the entries keep their values.
    void SetCount(unsigned count) { FCount = count; }

    const TRgb& Entry(std::uint8_t index) const { return FEntries[index]; }
    void SetEntry(std::uint8_t index, TRgb value) { FEntries[index] = value; }

    // Copies up to 256 entries of 3 bytes (red, green, blue) from file bytes.
    void ReadEntries(const std::uint8_t* bytes, std::size_t entryCount);

  private:
    unsigned FCount;
    std::array<TRgb, 256> FEntries{};
};

} // namespace quorvane
