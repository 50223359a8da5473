// Reading the result file: the whole text is parsed in place by RapidJSON's
// event reader (iteratively, so a deeply nested file cannot exhaust the
// stack, and with UTF-8 validated); the rows stream into records and the
// small rest is read as a tree (ResultRowStream.h). Every field is checked
// while the result is built aside; the caller's result is replaced only when
// all of it holds.
#include "ResultExport.h"
#include "ResultFile.h"
#include "ResultFileRows.h"
#include "ResultRowStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <new>
#include <rapidjson/document.h>
#include <sys/mman.h>
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
           GetBool(*similar, "samePixels", s.SamePixels) &&
           (!Member(*similar, "crops") || GetBool(*similar, "crops", s.Crops));
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

// The streamed rows given their directories and checked whole.
bool ReadRows(const TValue& header, TResultRowStream& stream, TSavedResult& out)
{
    TDirectoryTable table;
    bool distances = false;
    const TValue* rows = Member(header, "rows");
    if (!ReadDirectoryTable(Member(header, "directoryTable"), table) ||
        !ReadColumns(Member(header, "columns"), distances) || !rows || !rows->IsNull() || !stream.RowsFound ||
        stream.RowsBad || (!stream.Rows.empty() && stream.CellsPerRow != ResultColumnCount(distances)))
        return false;
    for (std::size_t i = 0; i < stream.Rows.size(); ++i) {
        if (stream.DirectoryIndex[i] >= table.size()) return false;
        stream.Rows[i].Directory = table[stream.DirectoryIndex[i]];
    }
    out.Rows = std::move(stream.Rows);
    if (distances) out.Distances = std::move(stream.Distances);
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
TResultFileError ParseError(const rapidjson::ParseResult& parsed, std::size_t length)
{
    const std::size_t at = parsed.Offset();
    const rapidjson::ParseErrorCode code = parsed.Code();
    const bool cutInside = code == rapidjson::kParseErrorStringEscapeInvalid ||
                           code == rapidjson::kParseErrorStringUnicodeEscapeInvalidHex ||
                           code == rapidjson::kParseErrorStringUnicodeSurrogateInvalid ||
                           code == rapidjson::kParseErrorStringInvalidEncoding;
    return at >= length || (cutInside && at + 12 >= length) ? TResultFileError::Truncated
                                                            : TResultFileError::Damaged;
}

// Memory for a whole file's text, asked for in huge pages where the system
// gives them: a large file then costs a few hundred page faults, not tens of
// thousands (each of which is slow under a hypervisor).
class TTextBuffer {
  public:
    explicit TTextBuffer(std::size_t length) : FBytes(length + 1)
    {
        void* at = ::mmap(nullptr, FBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at == MAP_FAILED) return;
        FText = static_cast<char*>(at);
        ::madvise(at, FBytes, MADV_HUGEPAGE);
    }
    ~TTextBuffer()
    {
        if (FText) ::munmap(FText, FBytes);
    }
    TTextBuffer(const TTextBuffer&) = delete;
    TTextBuffer& operator=(const TTextBuffer&) = delete;
    char* Text() const { return FText; } // null when no memory was given

  private:
    std::size_t FBytes;
    char* FText = nullptr;
};

// Reads exactly length bytes into text; false on an error, a short read or
// more bytes.
bool ReadWhole(int fd, char* text, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::read(fd, text + done, length - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    char extra = 0;
    return ::read(fd, &extra, 1) == 0;
}

// text[length] is a NUL; the text is modified in place.
TResultFileError ParseText(char* text, std::size_t length, TSavedResult& result)
{
    // The parser stops at a NUL as at the end: none may hide the rest.
    if (std::memchr(text, '\0', length)) return TResultFileError::Damaged;
    constexpr unsigned kFlags =
        rapidjson::kParseInsituFlag | rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
    TResultRowStream stream;
    // The writer puts each row on a line of its own, and no row is shorter
    // than 30 bytes: reserving for that many spares the copies of growing.
    // It is only a hint; memory refused here is asked for again row by row.
    try {
        stream.Reserve(std::min<std::size_t>(std::count(text, text + length, '\n') + 1, length / 30));
    } catch (const std::bad_alloc&) {
    }
    rapidjson::InsituStringStream input(text);
    const rapidjson::ParseResult parsed = rapidjson::Reader().Parse<kFlags>(input, stream);
    if (parsed.IsError()) return ParseError(parsed, length);
    rapidjson::Document header;
    header.Parse(stream.HeaderText().c_str());
    if (header.HasParseError()) return TResultFileError::Damaged;
    const TResultFileError error = CheckHeader(header);
    if (error != TResultFileError::None) return error;
    TSavedResult read;
    const TValue* program = Member(header, "program");
    if (!program || !GetBytes(*program, read.ProgramVersion) ||
        !ReadTime(Member(header, "searchedAt"), read.SearchedAt) ||
        !ReadSearch(Member(header, "search"), read.Search) || !ReadRows(header, stream, read))
        return TResultFileError::Damaged;
    result = std::move(read);
    return TResultFileError::None;
}

// Out of memory for the rows, the file is too large for this machine.
TResultFileError ParseTextInMemory(char* text, std::size_t length, TSavedResult& result)
{
    try {
        return ParseText(text, length, result);
    } catch (const std::bad_alloc&) {
        return TResultFileError::TooLarge;
    }
}

} // namespace

TResultFileError ParseResultFile(std::string&& text, TSavedResult& result)
{
    return ParseTextInMemory(text.data(), text.size(), result);
}

TResultFileError OpenResultFile(const std::string& path, TSavedResult& result)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return TResultFileError::CannotOpen;
    struct stat st;
    TResultFileError error = TResultFileError::None;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const auto length = static_cast<std::size_t>(regular ? st.st_size : 0);
    if (!regular)
        error = TResultFileError::CannotOpen;
    else if (static_cast<std::uint64_t>(st.st_size) > kMaxResultFileBytes)
        error = TResultFileError::TooLarge;
    TTextBuffer buffer(error == TResultFileError::None ? length : 0);
    if (error == TResultFileError::None && (!buffer.Text() || !ReadWhole(fd, buffer.Text(), length)))
        error = TResultFileError::CannotRead;
    ::close(fd);
    if (error != TResultFileError::None) return error;
    buffer.Text()[length] = '\0';
    return ParseTextInMemory(buffer.Text(), length, result);
}

} // namespace quorvane
