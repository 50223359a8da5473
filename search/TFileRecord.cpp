// TFileRecord's derived texts. Size and Time are kept as numbers and turned
// into the list's texts on demand; the texts never differ from the numbers.
#include "TFileRecord.h"

#include "PathRules.h"

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

std::string TFileRecord::TypeText() const
{
    return std::string(ExtensionOf(Name));
}

std::string TFileRecord::TimeText() const
{
    const std::int64_t minute = TimeKey % 100;
    const std::int64_t hour = TimeKey / 100 % 100;
    const std::int64_t day = TimeKey / 10000 % 100;
    const std::int64_t month = TimeKey / 1000000 % 100;
    const std::int64_t year = TimeKey / 100000000;
    char text[48];
    std::snprintf(text, sizeof text, "%04lld/%02lld/%02lld %02lld:%02lld", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(hour),
                  static_cast<long long>(minute));
    return text;
}

std::string TFileRecord::FullPath(PathStyle style) const
{
    return JoinPath(DirectoryText(), Name, style);
}

} // namespace quorvane
