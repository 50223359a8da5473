// The result file's rows read as they stream past the parser, so a large
// file never becomes a tree in memory: every event outside the top-level
// "rows" array is copied into a small JSON text of its own (with "rows":
// null in its place) for the header's reader, and each row's cells go
// straight into a TFileRecord. Invariant: anything in the rows that is not
// an array of scalars of the columns' types marks the rows bad; the parse
// itself goes on, so a cut or damaged file is still told apart.
#pragma once

#include "TFileRecord.h"

#include <cstdint>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string>
#include <vector>

namespace quorvane {

class TResultRowStream : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TResultRowStream> {
  public:
    TResultRowStream();
    void Reserve(std::size_t rows);

    // What was read: the header's text, the rows (their Directory left
    // empty), each row's directory index and distance, the cells per row.
    std::string HeaderText() const;
    std::vector<TFileRecord> Rows;
    std::vector<std::uint32_t> DirectoryIndex;
    std::vector<int> Distances; // one per row when rows have a distance cell
    std::size_t CellsPerRow = 0;
    bool RowsFound = false;
    bool RowsBad = false;

    // The parser's events.
    bool Null();
    bool Bool(bool value);
    bool Int(int value);
    bool Uint(unsigned value);
    bool Int64(std::int64_t value);
    bool Uint64(std::uint64_t value);
    bool Double(double value);
    bool String(const char* text, rapidjson::SizeType length, bool copy);
    bool Key(const char* text, rapidjson::SizeType length, bool copy);
    bool StartObject();
    bool EndObject(rapidjson::SizeType members);
    bool StartArray();
    bool EndArray(rapidjson::SizeType elements);

  private:
    bool InRows() const { return FRowsDepth >= 0; }
    // Inside a row, directly, and nothing bad met yet: a cell to keep.
    bool InCell() const { return FRowsDepth == 1 && !RowsBad; }
    // Each returns true: the parse goes on past bad rows.
    bool Unsigned(std::uint64_t value);
    bool Signed(std::int64_t value);
    bool MarkBad();      // a value the rows cannot hold there
    bool LeaveRowsKey(); // a value outside the rows was read

    rapidjson::StringBuffer FHeaderText;
    rapidjson::Writer<rapidjson::StringBuffer> FHeader;
    int FDepth = 0;        // nesting outside the rows
    bool FRowsKey = false; // the top level's key "rows" was just read
    int FRowsDepth = -1;   // nesting inside the rows array; -1 outside it
    std::size_t FCell = 0; // the next cell of the current row
};

} // namespace quorvane
