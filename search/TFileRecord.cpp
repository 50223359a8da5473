// TFileRecord's derived texts. Size and Time are kept as numbers and turned
// into the list's texts on demand; the texts never differ from the numbers.
#include "TFileRecord.h"

#include "PathRules.h"

#include <charconv>
#include <cstdio>

namespace quorvane {

namespace {
const std::string kEmptyDirectory;
}

const std::string& TFileRecord::DirectoryText() const
{
    return Directory ? *Directory : kEmptyDirectory;
}

std::string TFileRecord::SizeText() const
{
    return std::to_string(Size);
}

void TFileRecord::AppendSizeText(std::string& out) const
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, Size).ptr;
    out.append(text, end);
}

std::string TFileRecord::TypeText() const
{
    return std::string(ExtensionOf(Name));
}

std::string TFileRecord::TimeText() const
{
    std::string text;
    AppendTimeText(text);
    return text;
}

void TFileRecord::AppendTimeText(std::string& out) const
{
    const std::int64_t minute = TimeKey % 100;
    const std::int64_t hour = TimeKey / 100 % 100;
    const std::int64_t day = TimeKey / 10000 % 100;
    const std::int64_t month = TimeKey / 1000000 % 100;
    const std::int64_t year = TimeKey / 100000000;
    if (TimeKey < 0 || year > 9999) {
        char text[48];
        std::snprintf(text, sizeof text, "%04lld/%02lld/%02lld %02lld:%02lld", static_cast<long long>(year),
                      static_cast<long long>(month), static_cast<long long>(day),
                      static_cast<long long>(hour), static_cast<long long>(minute));
        out += text;
        return;
    }
    // The common case, digit by digit: rows are written by the hundred thousand.
    char text[16];
    const auto two = [](char* at, std::int64_t value) {
        at[0] = static_cast<char>('0' + value / 10);
        at[1] = static_cast<char>('0' + value % 10);
    };
    two(text, year / 100);
    two(text + 2, year % 100);
    text[4] = '/';
    two(text + 5, month);
    text[7] = '/';
    two(text + 8, day);
    text[10] = ' ';
    two(text + 11, hour);
    text[13] = ':';
    two(text + 14, minute);
    out.append(text, sizeof text);
}

std::string TFileRecord::FullPath(PathStyle style) const
{
    return JoinPath(DirectoryText(), Name, style);
}

} // namespace quorvane
