// The result rows as text for other programs: CSV (RFC 4180: a header row,
// fields quoted where they hold a comma, a quote, a line break or blanks at
// their ends, quotes doubled, lines ended by CR LF). Names are bytes, not
// always UTF-8: in every text field a backslash is written "\\" and a byte
// that is not part of valid UTF-8 "\xHH", so that any name comes back whole.
// The JSON form is the result file (ResultFile.h).
#pragma once

#include "TFileRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

enum class TExportFormat { Tsv, Csv, Json };

// "tsv", "csv" or "json"; nullopt for anything else.
std::optional<TExportFormat> ExportFormatFromName(std::string_view name);

// The bytes of field with backslashes doubled and invalid UTF-8 as \xHH.
std::string EscapeExportBytes(std::string_view field);
void AppendExportBytes(std::string& out, std::string_view field);

// The bytes EscapeExportBytes was given, or nullopt when text holds a
// backslash that starts neither "\\" nor "\xHH".
std::optional<std::string> UnescapeExportBytes(std::string_view text);

// Appends field as one CSV field (escaped, then quoted when needed).
void AppendCsvField(std::string& out, std::string_view field);

// The header row; with distance, a column "distance" after "time"; with
// selection, a last column "selection" (keep, delete).
std::string CsvHeader(bool selection, bool distance = false);

// One row: its group (empty for 0: no group), name, directory, size, type,
// time, and the distance and the selection when given.
void AppendCsvRow(std::string& out, std::uint32_t group, const TFileRecord& row,
                  std::optional<bool> selected = std::nullopt, std::optional<int> distance = std::nullopt);

} // namespace quorvane
