// The rows' cells in the order of kResultColumns: group, name, directory
// index, size, time key, image, other names, device, inode, modified and
// status-changed nanoseconds, and the distance when present.
#include "ResultRowStream.h"

#include "ResultExport.h"
#include "ResultFileRows.h"

#include <limits>

namespace quorvane {

namespace {

constexpr std::uint64_t kMaxUint32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kMaxInt64 = std::numeric_limits<std::int64_t>::max();
// A row's small image as earlier versions could save it: 2 was the focused
// group's mark, read back as a picture.
constexpr std::uint64_t kSavedGroupMark = 2;

// Whether value is in the range of the cell's field (false for a cell that
// is no number).
bool UnsignedFits(std::size_t cell, std::uint64_t value)
{
    switch (cell) {
    case 0:
    case 2:
        return value <= kMaxUint32;
    case 3:
    case 7:
    case 8:
        return true;
    case 4:
    case 9:
    case 10:
        return value <= kMaxInt64;
    case 5:
        return value <= kSavedGroupMark;
    case 11:
        return value <= std::uint64_t(kMaxResultDistance);
    }
    return false;
}

} // namespace

TResultRowStream::TResultRowStream() : FHeader(FHeaderText) {}

void TResultRowStream::Reserve(std::size_t rows)
{
    Rows.reserve(rows);
    DirectoryIndex.reserve(rows);
    Distances.reserve(rows);
}

std::string TResultRowStream::HeaderText() const
{
    return {FHeaderText.GetString(), FHeaderText.GetSize()};
}

bool TResultRowStream::Unsigned(std::uint64_t value)
{
    if (!InCell()) return MarkBad();
    TFileRecord& row = Rows.back();
    const std::size_t cell = FCell++;
    if (!UnsignedFits(cell, value)) return MarkBad();
    switch (cell) {
    case 0:
        row.Group = static_cast<std::uint32_t>(value);
        break;
    case 2:
        DirectoryIndex.back() = static_cast<std::uint32_t>(value);
        break;
    case 3:
        row.Size = value;
        break;
    case 4:
        row.TimeKey = static_cast<std::int64_t>(value);
        break;
    case 5:
        // The focused group's mark, which earlier versions saved, stands on
        // picture rows only.
        row.ImageIndex =
            static_cast<std::uint8_t>(value == kSavedGroupMark ? std::uint64_t{kImagePicture} : value);
        break;
    case 7:
        row.Device = value;
        break;
    case 8:
        row.Inode = value;
        break;
    case 9:
        row.ModifiedNs = static_cast<std::int64_t>(value);
        break;
    case 10:
        row.StatusChangedNs = static_cast<std::int64_t>(value);
        break;
    default:
        Distances.back() = static_cast<int>(value);
        break;
    }
    return true;
}

// Only the times may be below zero.
bool TResultRowStream::Signed(std::int64_t value)
{
    if (!InCell()) return MarkBad();
    const std::size_t cell = FCell++;
    if (cell != 4 && cell != 9 && cell != 10) return MarkBad();
    TFileRecord& row = Rows.back();
    (cell == 4 ? row.TimeKey : cell == 9 ? row.ModifiedNs : row.StatusChangedNs) = value;
    return true;
}

bool TResultRowStream::MarkBad()
{
    RowsBad = true;
    return true;
}

bool TResultRowStream::LeaveRowsKey()
{
    FRowsKey = false;
    return true;
}

bool TResultRowStream::Null()
{
    if (InRows()) return MarkBad();
    FRowsKey = false;
    return FHeader.Null();
}

bool TResultRowStream::Bool(bool value)
{
    if (!InRows()) return LeaveRowsKey() && FHeader.Bool(value);
    if (!InCell() || FCell != 6) return MarkBad();
    Rows.back().OtherNames = value;
    ++FCell;
    return true;
}

bool TResultRowStream::Int(int value)
{
    return Int64(value);
}

bool TResultRowStream::Uint(unsigned value)
{
    return Uint64(value);
}

bool TResultRowStream::Int64(std::int64_t value)
{
    if (!InRows()) return LeaveRowsKey() && FHeader.Int64(value);
    return value >= 0 ? Unsigned(static_cast<std::uint64_t>(value)) : Signed(value);
}

bool TResultRowStream::Uint64(std::uint64_t value)
{
    if (!InRows()) return LeaveRowsKey() && FHeader.Uint64(value);
    Unsigned(value);
    return true;
}

bool TResultRowStream::Double(double value)
{
    if (InRows()) return MarkBad();
    FRowsKey = false;
    return FHeader.Double(value);
}

bool TResultRowStream::String(const char* text, rapidjson::SizeType length, bool)
{
    if (!InRows()) return LeaveRowsKey() && FHeader.String(text, length);
    if (!InCell() || FCell != 1) return MarkBad();
    ++FCell;
    const std::string_view escaped(text, length);
    if (escaped.find('\\') == std::string_view::npos) {
        Rows.back().Name.assign(escaped);
        return true;
    }
    auto name = UnescapeExportBytes(escaped);
    if (name)
        Rows.back().Name = std::move(*name);
    else
        RowsBad = true;
    return true;
}

bool TResultRowStream::Key(const char* text, rapidjson::SizeType length, bool)
{
    if (InRows()) return true; // inside an object in the rows, already bad
    FRowsKey = FDepth == 1 && std::string_view(text, length) == "rows";
    return FHeader.Key(text, length);
}

bool TResultRowStream::StartObject()
{
    if (InRows()) {
        ++FRowsDepth;
        return MarkBad();
    }
    FRowsKey = false;
    ++FDepth;
    return FHeader.StartObject();
}

bool TResultRowStream::EndObject(rapidjson::SizeType members)
{
    if (InRows()) {
        --FRowsDepth;
        return true;
    }
    --FDepth;
    return FHeader.EndObject(members);
}

bool TResultRowStream::StartArray()
{
    if (InRows()) {
        if (++FRowsDepth != 1) return MarkBad();
        Rows.emplace_back();
        DirectoryIndex.push_back(0);
        Distances.push_back(0);
        FCell = 0;
        return true;
    }
    if (!FRowsKey) {
        ++FDepth;
        return FHeader.StartArray();
    }
    // The rows' place in the header holds null; a second "rows" is bad.
    FRowsKey = false;
    RowsBad = RowsBad || RowsFound;
    RowsFound = true;
    FRowsDepth = 0;
    return FHeader.Null();
}

bool TResultRowStream::EndArray(rapidjson::SizeType elements)
{
    if (!InRows()) {
        --FDepth;
        return FHeader.EndArray(elements);
    }
    if (FRowsDepth == 1) {
        if (Rows.size() == 1) CellsPerRow = FCell;
        RowsBad = RowsBad || FCell != CellsPerRow;
    }
    --FRowsDepth;
    return true;
}

} // namespace quorvane
