// The initial entries of a new colour table, chosen by its entry count.
#include "ColorTbl.h"

#include <algorithm>

namespace quorvane {

namespace {

constexpr TRgb kVgaColours[16] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {128, 128, 128}, {192, 192, 192}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

} // namespace

TColorTable::TColorTable(unsigned count) : FCount(count)
{
    if (count == 0 || count == 2) {
        FEntries[1] = {255, 255, 255};
    } else if (count == 16) {
        std::copy(std::begin(kVgaColours), std::end(kVgaColours), FEntries.begin());
    } else if (count == 256) {
        for (unsigned i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            FEntries[i] = {v, v, v};
        }
    }
}

void TColorTable::ReadEntries(const std::uint8_t* bytes, std::size_t entryCount)
{
    entryCount = std::min<std::size_t>(entryCount, FEntries.size());
    for (std::size_t i = 0; i < entryCount; ++i)
        FEntries[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
}

} // namespace quorvane
