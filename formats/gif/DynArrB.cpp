// The pixel store: bounded, zero-filled blocks with checked 1-based access.
// Invariant: Data() of a TBigByteArray of Size() n holds exactly n bytes.
#include "DynArrB.h"

#include <cstdlib>
#include <cstring>

namespace quorvane {

namespace {

std::size_t CheckedProduct(std::size_t a, std::size_t b)
{
    if (a != 0 && b > kMaxPixelStore / a) throw ENotEnoughMemory(kMaxPixelStore + 1);
    return a * b;
}

} // namespace

ENotEnoughMemory::ENotEnoughMemory(std::size_t requested)
    : std::runtime_error("error in TBigByteArray.create: Not enough contiguous memory available\r\n"
                         " requested memory block: " +
                         std::to_string(requested) + " bytes")
{
}

void TBigByteArray::TFree::operator()(std::uint8_t* p) const noexcept
{
    std::free(p);
}

TBigByteArray::TBigByteArray(std::size_t size) : FSize(size)
{
    if (size > kMaxPixelStore) throw ENotEnoughMemory(size);
    // calloc of a large block maps fresh zero pages without touching them.
    FData.reset(static_cast<std::uint8_t*>(std::calloc(size == 0 ? 1 : size, 1)));
    if (!FData) throw ENotEnoughMemory(size);
}

std::uint8_t TBigByteArray::Get(std::size_t index) const
{
    if (index < 1 || index > FSize) throw EIndexOutOfBounds();
    return FData.get()[index - 1];
}

void TBigByteArray::Set(std::size_t index, std::uint8_t value)
{
    if (index < 1 || index > FSize) throw EIndexOutOfBounds();
    FData.get()[index - 1] = value;
}

TByteArray2D::TByteArray2D(std::size_t rowLength, std::size_t rowCount)
    : FRowLength(rowLength), FRowCount(rowCount), FStore(CheckedProduct(rowLength, rowCount))
{
}

TBigByteArray TByteArray2D::Row(std::size_t row) const
{
    if (row < 1 || row > FRowCount) throw EIndexOutOfBounds();
    TBigByteArray copy(FRowLength);
    if (FRowLength != 0) std::memcpy(copy.Data(), Data() + (row - 1) * FRowLength, FRowLength);
    return copy;
}

void TByteArray2D::SetRow(std::size_t row, const TBigByteArray& values)
{
    SetRow(row, values.Data(), values.Size());
}

void TByteArray2D::SetRow(std::size_t row, const std::uint8_t* values, std::size_t count)
{
    if (row < 1 || row > FRowCount) throw EIndexOutOfBounds();
    if (count != FRowLength)
        throw EIndexOutOfBounds("Row doesn't have equal number of elements as Matrix row");
    if (count != 0) std::memcpy(Data() + (row - 1) * FRowLength, values, count);
}

} // namespace quorvane
