// CSV export of result rows.
#include "ResultExport.h"

#include <cstdio>

namespace quorvane {

namespace {

// The length of the valid UTF-8 sequence at text[at], or 0 when none starts
// there (overlong forms, surrogates and values beyond U+10FFFF are invalid).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    return length;
}

bool NeedsQuotes(std::string_view field)
{
    if (field.empty()) return false;
    if (field.front() == ' ' || field.back() == ' ' || field.front() == '\t' || field.back() == '\t')
        return true;
    return field.find_first_of(",\"\r\n") != std::string_view::npos;
}

} // namespace

std::optional<TExportFormat> ExportFormatFromName(std::string_view name)
{
    if (name == "tsv") return TExportFormat::Tsv;
    if (name == "csv") return TExportFormat::Csv;
    return std::nullopt;
}

std::string EscapeExportBytes(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t at = 0; at < field.size();) {
        if (field[at] == '\\') {
            out += "\\\\";
            ++at;
            continue;
        }
        const std::size_t length = Utf8SequenceAt(field, at);
        if (length == 0) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(field[at]));
            out += hex;
            ++at;
            continue;
        }
        out.append(field.substr(at, length));
        at += length;
    }
    return out;
}

void AppendCsvField(std::string& out, std::string_view field)
{
    const std::string escaped = EscapeExportBytes(field);
    if (!NeedsQuotes(escaped)) {
        out += escaped;
        return;
    }
    out.push_back('"');
    for (const char c : escaped) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

std::string CsvHeader(bool selection)
{
    return selection ? "group,name,directory,size,type,time,selection\r\n"
                     : "group,name,directory,size,type,time\r\n";
}

void AppendCsvRow(std::string& out, std::uint32_t group, const TFileRecord& row, std::optional<bool> selected)
{
    if (group != 0) out += std::to_string(group);
    for (const std::string& field : {row.Name, row.DirectoryText()}) {
        out.push_back(',');
        AppendCsvField(out, field);
    }
    out.push_back(',');
    out += row.SizeText();
    out.push_back(',');
    AppendCsvField(out, row.TypeText());
    out.push_back(',');
    out += row.TimeText();
    if (selected) out += *selected ? ",delete" : ",keep";
    out += "\r\n";
}

} // namespace quorvane
