// Writing the result file: a header (marker, version, program, time, the
// search), a table of directories written once each, the column names, and
// one JSON array per row on a line of its own. Reading is ResultFileRead.cpp.
#include "ResultFile.h"

#include "AtomicFile.h"
#include "ResultExport.h"
#include "ResultFileRows.h"

#include <charconv>
#include <chrono>
#include <string_view>
#include <unordered_map>

namespace quorvane {

namespace {

template <typename T> void AppendNumber(std::string& out, T value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void AppendBool(std::string& out, bool value)
{
    out += value ? "true" : "false";
}

// A JSON string of the export escape of bytes: plain ASCII goes as it is;
// anything else is escaped for export first, then for JSON.
void AppendJsonString(std::string& out, std::string_view bytes)
{
    out.push_back('"');
    bool plain = true;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        plain = plain && byte >= 0x20 && byte < 0x80 && c != '"' && c != '\\';
    }
    if (plain) {
        out.append(bytes);
        out.push_back('"');
        return;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : EscapeExportBytes(bytes)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20) {
            const char escape[6] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
            out.append(escape, 6);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

void AppendKey(std::string& out, const char* key)
{
    out.push_back('"');
    out += key;
    out += "\":";
}

void AppendStringList(std::string& out, const char* key, const std::vector<std::string>& items)
{
    AppendKey(out, key);
    out.push_back('[');
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) out.push_back(',');
        AppendJsonString(out, items[i]);
    }
    out.push_back(']');
}

void AppendCriteria(std::string& out, const TResultSearch& search)
{
    if (search.Kind == TResultKind::Duplicates) {
        const TSearchCriteria& c = search.Criteria;
        const std::pair<const char*, bool> flags[] = {
            {"name", c.Name}, {"size", c.Size}, {"cc", c.CC}, {"allBytes", c.AllBytes}, {"time", c.Time}};
        out += ",\"criteria\":{";
        for (const auto& [key, value] : flags) {
            if (key != flags[0].first) out.push_back(',');
            AppendKey(out, key);
            AppendBool(out, value);
        }
        out.push_back('}');
    } else if (search.Kind == TResultKind::SimilarPictures) {
        const TSimilarCriteria& s = search.Similar;
        out += ",\"similar\":{\"tolerance\":";
        AppendNumber(out, s.Tolerance);
        out += ",\"meanTolerance\":";
        AppendNumber(out, s.MeanTolerance);
        const std::pair<const char*, bool> flags[] = {{"moreFormats", s.MoreFormats},
                                                      {"turnUpright", s.TurnUpright},
                                                      {"turns", s.Turns},
                                                      {"samePixels", s.SamePixels},
                                                      {"crops", s.Crops}};
        for (const auto& [key, value] : flags) {
            out.push_back(',');
            AppendKey(out, key);
            AppendBool(out, value);
        }
        out.push_back('}');
    }
}

void AppendSearch(std::string& out, const TResultSearch& search)
{
    out += "\"search\":{\"kind\":\"";
    out += ResultKindName(search.Kind);
    out += '"';
    AppendCriteria(out, search);
    out += ",\"subdirectories\":";
    AppendBool(out, search.IncludeSubdirectories);
    out += ",\"filter\":{\"minSize\":";
    AppendNumber(out, search.Filter.MinSize);
    out += ",\"maxSize\":";
    AppendNumber(out, search.Filter.MaxSize);
    out.push_back(',');
    AppendStringList(out, "excludedFolders", search.Filter.ExcludedFolders);
    out.push_back(',');
    AppendStringList(out, "excludedNames", search.Filter.ExcludedNames);
    out.push_back(',');
    AppendStringList(out, "extensions", search.Filter.Extensions);
    out += "},";
    AppendStringList(out, "directories", search.Directories);
    out += "},\n";
}

void AppendRow(std::string& out, const TFileRecord& row, std::uint32_t directory, const int* distance)
{
    out.push_back('[');
    AppendNumber(out, row.Group);
    out.push_back(',');
    AppendJsonString(out, row.Name);
    for (const std::uint64_t value : {std::uint64_t{directory}, row.Size}) {
        out.push_back(',');
        AppendNumber(out, value);
    }
    out.push_back(',');
    AppendNumber(out, row.TimeKey);
    out.push_back(',');
    AppendNumber(out, static_cast<unsigned>(row.ImageIndex));
    out += row.OtherNames ? ",true," : ",false,";
    AppendNumber(out, row.Device);
    out.push_back(',');
    AppendNumber(out, row.Inode);
    out.push_back(',');
    AppendNumber(out, row.ModifiedNs);
    out.push_back(',');
    AppendNumber(out, row.StatusChangedNs);
    if (distance) {
        out.push_back(',');
        AppendNumber(out, *distance);
    }
    out.push_back(']');
}

// The directories of the rows, each once, in the order first met, and each
// row's index into them.
std::vector<std::string_view> DirectoryTable(const std::vector<TFileRecord>& rows,
                                             std::vector<std::uint32_t>& indexOf)
{
    std::vector<std::string_view> table;
    std::unordered_map<std::string_view, std::uint32_t> known;
    indexOf.resize(rows.size());
    const std::string* last = nullptr;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string* directory = rows[i].Directory.get();
        // Neighbouring rows mostly share one directory object.
        if (directory != last) {
            const auto [at, added] = known.try_emplace(*directory, static_cast<std::uint32_t>(table.size()));
            if (added) table.push_back(*directory);
            last = directory;
            indexOf[i] = at->second;
        } else {
            indexOf[i] = indexOf[i - 1];
        }
    }
    return table;
}

// Hands out's text to sink once it holds a piece's worth (never without a
// sink: then out gathers the whole file).
bool Flush(std::string& out, const TByteSink* sink, std::size_t atLeast)
{
    if (!sink || out.size() < atLeast) return true;
    const bool written = (*sink)(out);
    out.clear();
    return written;
}

constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

bool AppendRows(std::string& out, const TSavedResult& result, const TByteSink* sink)
{
    std::vector<std::uint32_t> indexOf;
    const std::vector<std::string_view> table = DirectoryTable(result.Rows, indexOf);
    out += "\"directoryTable\":[";
    for (std::size_t i = 0; i < table.size(); ++i) {
        out += i != 0 ? ",\n" : "\n";
        AppendJsonString(out, table[i]);
    }
    const bool distances = !result.Distances.empty();
    out += "],\n\"columns\":[";
    for (std::size_t i = 0; i < ResultColumnCount(distances); ++i) {
        if (i != 0) out.push_back(',');
        out += '"' + std::string(kResultColumns[i]) + '"';
    }
    out += "],\n\"rows\":[";
    for (std::size_t i = 0; i < result.Rows.size(); ++i) {
        out += i != 0 ? ",\n" : "\n";
        AppendRow(out, result.Rows[i], indexOf[i], distances ? &result.Distances[i] : nullptr);
        if (!Flush(out, sink, kPieceBytes)) return false;
    }
    out += "]}\n";
    return Flush(out, sink, 0);
}

TResultFileError WriteText(std::string& out, const TSavedResult& result, const TByteSink* sink)
{
    if (!ValidResultRows(result) || !ValidSearch(result.Search)) return TResultFileError::RowsInvalid;
    out += "{\"format\":\"";
    out += kResultFileMarker;
    out += "\",\"version\":";
    AppendNumber(out, kResultFileVersion);
    out += ",\"program\":";
    AppendJsonString(out, result.ProgramVersion);
    out += ",\"searchedAt\":\"" + ResultTimeText(result.SearchedAt) + "\",\n";
    AppendSearch(out, result.Search);
    return AppendRows(out, result, sink) ? TResultFileError::None : TResultFileError::CannotWrite;
}

} // namespace

const char* ResultFileErrorName(TResultFileError error)
{
    switch (error) {
    case TResultFileError::None:
        return "none";
    case TResultFileError::CannotOpen:
        return "cannot open";
    case TResultFileError::TooLarge:
        return "too large";
    case TResultFileError::CannotRead:
        return "cannot read";
    case TResultFileError::Truncated:
        return "truncated";
    case TResultFileError::Damaged:
        return "damaged";
    case TResultFileError::Foreign:
        return "foreign";
    case TResultFileError::NewerVersion:
        return "newer version";
    case TResultFileError::RowsInvalid:
        return "rows invalid";
    case TResultFileError::CannotWrite:
        return "cannot write";
    }
    return "unknown";
}

std::int64_t ResultTimeNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TResultFileError AppendResultFile(std::string& out, const TSavedResult& result)
{
    std::string text;
    text.reserve(4096 + result.Rows.size() * 160);
    const TResultFileError error = WriteText(text, result, nullptr);
    if (error == TResultFileError::None) out += text;
    return error;
}

TResultFileError WriteResultFile(const TSavedResult& result, const TByteSink& sink)
{
    std::string piece;
    piece.reserve(kPieceBytes + 4096);
    return WriteText(piece, result, &sink);
}

TResultFileError SaveResultFile(const std::string& path, const TSavedResult& result)
{
    TResultFileError error = TResultFileError::None;
    const bool saved = ReplaceFileAtomically(
        path,
        [&](const TByteSink& sink) {
            error = WriteResultFile(result, sink);
            return error == TResultFileError::None;
        },
        0644, false);
    if (error != TResultFileError::None) return error;
    return saved ? TResultFileError::None : TResultFileError::CannotWrite;
}

} // namespace quorvane
