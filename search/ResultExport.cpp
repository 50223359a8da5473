// CSV export of result rows.
#include "ResultExport.h"

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
    if (name == "json") return TExportFormat::Json;
    return std::nullopt;
}

std::string EscapeExportBytes(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    AppendExportBytes(out, field);
    return out;
}

void AppendExportBytes(std::string& out, std::string_view field)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t at = 0; at < field.size();) {
        const auto byte = static_cast<unsigned char>(field[at]);
        if (byte == '\\') {
            out += "\\\\";
            ++at;
            continue;
        }
        const std::size_t length = byte < 0x80 ? 1 : Utf8SequenceAt(field, at);
        if (length == 0) {
            const char hex[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
            out.append(hex, 4);
            ++at;
            continue;
        }
        out.append(field.substr(at, length));
        at += length;
    }
}

std::optional<std::string> UnescapeExportBytes(std::string_view text)
{
    const auto hexValue = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\') {
            out.push_back(text[at]);
        } else if (at + 1 < text.size() && text[at + 1] == '\\') {
            out.push_back('\\');
            ++at;
        } else if (at + 3 < text.size() && text[at + 1] == 'x' && hexValue(text[at + 2]) >= 0 &&
                   hexValue(text[at + 3]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[at + 2]) * 16 + hexValue(text[at + 3])));
            at += 3;
        } else {
            return std::nullopt;
        }
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

std::string CsvHeader(bool selection, bool distance)
{
    std::string header = "group,name,directory,size,type,time";
    if (distance) header += ",distance";
    if (selection) header += ",selection";
    return header + "\r\n";
}

void AppendCsvRow(std::string& out, std::uint32_t group, const TFileRecord& row, std::optional<bool> selected,
                  std::optional<int> distance)
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
    if (distance) out += ',' + std::to_string(*distance);
    if (selected) out += *selected ? ",delete" : ",keep";
    out += "\r\n";
}

} // namespace quorvane
