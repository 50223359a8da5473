// Reading the result file: the whole text is parsed in place by RapidJSON
// (iteratively, so a deeply nested file cannot exhaust the stack, and with
// UTF-8 validated), then every field is checked while the rows are built
// aside; the caller's result is replaced only when all of it holds.
#include "ResultExport.h"
#include "ResultFile.h"
#include "ResultFileRows.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <rapidjson/document.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

using TValue = rapidjson::Value;
using TDirectoryTable = std::vector<std::shared_ptr<const std::string>>;

const TValue* Member(const TValue& object, const char* key)
{
    const auto at = object.FindMember(key);
    return at == object.MemberEnd() ? nullptr : &at->value;
}

std::string_view Text(const TValue& value)
{
    return {value.GetString(), value.GetStringLength()};
}

// The bytes a string value escapes; false for another type or a bad escape.
bool GetBytes(const TValue& value, std::string& out)
{
    if (!value.IsString()) return false;
    const std::string_view text = Text(value);
    if (text.find('\\') == std::string_view::npos) {
        out.assign(text);
        return true;
    }
    auto bytes = UnescapeExportBytes(text);
    if (!bytes) return false;
    out = std::move(*bytes);
    return true;
}

bool GetBool(const TValue& object, const char* key, bool& out)
{
    const TValue* value = Member(object, key);
    if (!value || !value->IsBool()) return false;
    out = value->GetBool();
    return true;
}

bool GetInt(const TValue& object, const char* key, int low, int high, int& out)
{
    const TValue* value = Member(object, key);
    if (!value || !value->IsInt() || value->GetInt() < low || value->GetInt() > high) return false;
    out = value->GetInt();
    return true;
}

bool GetUint64(const TValue& object, const char* key, std::uint64_t& out)
{
    const TValue* value = Member(object, key);
    if (!value || !value->IsUint64()) return false;
    out = value->GetUint64();
    return true;
}

bool GetBytesList(const TValue& object, const char* key, std::vector<std::string>& out)
{
    const TValue* list = Member(object, key);
    if (!list || !list->IsArray()) return false;
    out.resize(list->Size());
    for (rapidjson::SizeType i = 0; i < list->Size(); ++i)
        if (!GetBytes((*list)[i], out[i]) || out[i].find('\0') != std::string::npos) return false;
    return true;
}

bool ReadCriteria(const TValue& search, TResultSearch& out)
{
    const TValue* criteria = Member(search, "criteria");
    if (out.Kind == TResultKind::Duplicates) {
        TSearchCriteria& c = out.Criteria;
        return criteria && criteria->IsObject() && GetBool(*criteria, "name", c.Name) &&
               GetBool(*criteria, "size", c.Size) && GetBool(*criteria, "cc", c.CC) &&
               GetBool(*criteria, "allBytes", c.AllBytes) && GetBool(*criteria, "time", c.Time);
    }
    const TValue* similar = Member(search, "similar");
    if (out.Kind != TResultKind::SimilarPictures) return true;
    TSimilarCriteria& s = out.Similar;
    return similar && similar->IsObject() &&
           GetInt(*similar, "tolerance", 0, kMaxResultDistance, s.Tolerance) &&
           GetInt(*similar, "meanTolerance", 0, 255, s.MeanTolerance) &&
           GetBool(*similar, "moreFormats", s.MoreFormats) &&
           GetBool(*similar, "turnUpright", s.TurnUpright) && GetBool(*similar, "turns", s.Turns) &&
           GetBool(*similar, "samePixels", s.SamePixels);
}

bool ReadSearch(const TValue* search, TResultSearch& out)
{
    if (!search || !search->IsObject()) return false;
    const TValue* kindName = Member(*search, "kind");
    const auto kind = kindName && kindName->IsString() ? ResultKindFromName(Text(*kindName)) : std::nullopt;
    if (!kind) return false;
    out.Kind = *kind;
    const TValue* filter = Member(*search, "filter");
    TScanFilter& f = out.Filter;
    return ReadCriteria(*search, out) && GetBool(*search, "subdirectories", out.IncludeSubdirectories) &&
           filter && filter->IsObject() && GetUint64(*filter, "minSize", f.MinSize) &&
           GetUint64(*filter, "maxSize", f.MaxSize) &&
           GetBytesList(*filter, "excludedFolders", f.ExcludedFolders) &&
           GetBytesList(*filter, "excludedNames", f.ExcludedNames) &&
           GetBytesList(*filter, "extensions", f.Extensions) &&
           GetBytesList(*search, "directories", out.Directories);
}

// "YYYY-MM-DDTHH:MM:SSZ" exactly as written (a text that names no real
// time, such as the 31st of April, does not come back equal).
bool ReadTime(const TValue* value, std::int64_t& out)
{
    if (!value || !value->IsString() || value->GetStringLength() != 20) return false;
    std::tm parts{};
    char zone = 0;
    if (std::sscanf(value->GetString(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &zone) != 7)
        return false;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    const std::int64_t seconds = ::timegm(&parts);
    if (ResultTimeText(seconds) != Text(*value)) return false;
    out = seconds;
    return true;
}

bool ReadDirectoryTable(const TValue* list, TDirectoryTable& out)
{
    if (!list || !list->IsArray()) return false;
    out.reserve(list->Size());
    std::string directory;
    for (const TValue& entry : list->GetArray()) {
        if (!GetBytes(entry, directory) || !ValidResultDirectory(directory)) return false;
        out.push_back(std::make_shared<const std::string>(std::move(directory)));
    }
    return true;
}

// True when the columns are this version's, with or without "distance".
bool ReadColumns(const TValue* columns, bool& distances)
{
    if (!columns || !columns->IsArray()) return false;
    const std::size_t count = columns->Size();
    if (count != ResultColumnCount(false) && count != ResultColumnCount(true)) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const TValue& name = (*columns)[static_cast<rapidjson::SizeType>(i)];
        if (!name.IsString() || Text(name) != kResultColumns[i]) return false;
    }
    distances = count == ResultColumnCount(true);
    return true;
}

// One row's fields in the order of kResultColumns.
bool ReadRow(const TValue& cells, const TDirectoryTable& table, bool distances, TFileRecord& row,
             int& distance)
{
    if (!cells.IsArray() || cells.Size() != ResultColumnCount(distances)) return false;
    const TValue* c = &cells[0];
    if (!c[0].IsUint() || !GetBytes(c[1], row.Name) || !c[2].IsUint() || c[2].GetUint() >= table.size() ||
        !c[3].IsUint64() || !c[4].IsInt64() || !c[5].IsUint() || c[5].GetUint() > kImageGroupMember ||
        !c[6].IsBool() || !c[7].IsUint64() || !c[8].IsUint64() || !c[9].IsInt64() || !c[10].IsInt64())
        return false;
    row.Group = c[0].GetUint();
    row.Directory = table[c[2].GetUint()];
    row.Size = c[3].GetUint64();
    row.TimeKey = c[4].GetInt64();
    row.ImageIndex = static_cast<std::uint8_t>(c[5].GetUint());
    row.OtherNames = c[6].GetBool();
    row.Device = c[7].GetUint64();
    row.Inode = c[8].GetUint64();
    row.ModifiedNs = c[9].GetInt64();
    row.StatusChangedNs = c[10].GetInt64();
    if (!distances) return true;
    if (!c[11].IsUint() || c[11].GetUint() > static_cast<unsigned>(kMaxResultDistance)) return false;
    distance = static_cast<int>(c[11].GetUint());
    return true;
}

bool ReadRows(const TValue& root, TSavedResult& out)
{
    TDirectoryTable table;
    bool distances = false;
    const TValue* rows = Member(root, "rows");
    if (!ReadDirectoryTable(Member(root, "directoryTable"), table) ||
        !ReadColumns(Member(root, "columns"), distances) || !rows || !rows->IsArray())
        return false;
    out.Rows.resize(rows->Size());
    out.Distances.resize(distances ? rows->Size() : 0);
    int ignored = 0;
    for (rapidjson::SizeType i = 0; i < rows->Size(); ++i)
        if (!ReadRow((*rows)[i], table, distances, out.Rows[i], distances ? out.Distances[i] : ignored))
            return false;
    return ValidResultRows(out);
}

// The marker and the version decide whether the rest is read at all.
TResultFileError CheckHeader(const TValue& root)
{
    const TValue* marker = root.IsObject() ? Member(root, "format") : nullptr;
    if (!marker || !marker->IsString() || Text(*marker) != kResultFileMarker)
        return TResultFileError::Foreign;
    const TValue* version = Member(root, "version");
    if (!version || !version->IsInt() || version->GetInt() < 1) return TResultFileError::Damaged;
    if (version->GetInt() > kResultFileVersion) return TResultFileError::NewerVersion;
    return TResultFileError::None;
}

// A parse error at the end of the text is a file cut short; so is an escape
// or a character the end cut in two (the parser reports those where they
// start: at most a surrogate pair's escapes, 12 bytes, before the end).
TResultFileError ParseError(const rapidjson::Document& document, std::size_t length)
{
    const std::size_t at = document.GetErrorOffset();
    const rapidjson::ParseErrorCode code = document.GetParseError();
    const bool cutInside = code == rapidjson::kParseErrorStringEscapeInvalid ||
                           code == rapidjson::kParseErrorStringUnicodeEscapeInvalidHex ||
                           code == rapidjson::kParseErrorStringUnicodeSurrogateInvalid ||
                           code == rapidjson::kParseErrorStringInvalidEncoding;
    return at >= length || (cutInside && at + 12 >= length) ? TResultFileError::Truncated
                                                            : TResultFileError::Damaged;
}

// Reads exactly size bytes; false on an error, a short read or more bytes.
bool ReadWhole(int fd, std::string& text, std::size_t size)
{
    text.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, text.data() + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    char extra = 0;
    return ::read(fd, &extra, 1) == 0;
}

} // namespace

TResultFileError ParseResultFile(std::string&& text, TSavedResult& result)
{
    const std::size_t length = text.size();
    // The parser stops at a NUL as at the end: none may hide the rest.
    if (std::memchr(text.data(), '\0', length)) return TResultFileError::Damaged;
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
    rapidjson::Document document;
    document.ParseInsitu<kFlags>(text.data());
    if (document.HasParseError()) return ParseError(document, length);
    const TResultFileError header = CheckHeader(document);
    if (header != TResultFileError::None) return header;
    TSavedResult read;
    const TValue* program = Member(document, "program");
    if (!program || !GetBytes(*program, read.ProgramVersion) ||
        !ReadTime(Member(document, "searchedAt"), read.SearchedAt) ||
        !ReadSearch(Member(document, "search"), read.Search) || !ReadRows(document, read))
        return TResultFileError::Damaged;
    result = std::move(read);
    return TResultFileError::None;
}

TResultFileError OpenResultFile(const std::string& path, TSavedResult& result)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return TResultFileError::CannotOpen;
    struct stat st;
    TResultFileError error = TResultFileError::None;
    std::string text;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        error = TResultFileError::CannotOpen;
    else if (static_cast<std::uint64_t>(st.st_size) > kMaxResultFileBytes)
        error = TResultFileError::TooLarge;
    else if (!ReadWhole(fd, text, static_cast<std::size_t>(st.st_size)))
        error = TResultFileError::CannotRead;
    ::close(fd);
    if (error != TResultFileError::None) return error;
    return ParseResultFile(std::move(text), result);
}

} // namespace quorvane
