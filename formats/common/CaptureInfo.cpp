// Strict parsing of EXIF date texts: a field out of range, a missing or
// extra character or a sign-less offset makes the text no date at all, so
// a damaged tag never orders a file before the real ones.
#include "CaptureInfo.h"

#include "ExifBlock.h"
#include "Orientation.h"

#include <cstdio>
#include <limits>

namespace quorvane {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

// The number the digits text[at .. at + count) spell, or -1.
int Digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool LeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the civil date (the proleptic Gregorian calendar).
std::int64_t DaysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

} // namespace

std::optional<std::int64_t> ParseExifDateTime(std::string_view text)
{
    // "YYYY:MM:DD HH:MM:SS": separators at fixed places.
    if (text.size() != 19 || text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':')
        return std::nullopt;
    const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return std::nullopt;
    const std::int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    // Only a date whose nanosecond count, with any offset and sub-seconds
    // added, fits (years 1678 to 2262) is a date here.
    constexpr std::int64_t kSpan = std::numeric_limits<std::int64_t>::max() / kNsPerSecond - 2 * 86400;
    if (seconds < -kSpan || seconds > kSpan) return std::nullopt;
    return seconds * kNsPerSecond;
}

std::optional<int> ParseExifOffset(std::string_view text)
{
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') return std::nullopt;
    const int hours = Digits(text, 1, 2), minutes = Digits(text, 4, 2);
    if (hours < 0 || hours > 14 || minutes < 0 || minutes > 59) return std::nullopt;
    const int offset = hours * 60 + minutes;
    return text[0] == '-' ? -offset : offset;
}

std::optional<std::int64_t> ParseExifSubSeconds(std::string_view text)
{
    if (text.empty() || text.size() > 9) return std::nullopt;
    const int digits = Digits(text, 0, text.size());
    if (digits < 0) return std::nullopt;
    std::int64_t ns = digits;
    for (std::size_t i = text.size(); i < 9; ++i)
        ns *= 10;
    return ns;
}

TCaptureInfo CaptureInfoOfExif(const TExifFields& fields)
{
    TCaptureInfo info;
    info.Model = fields.Model;
    const bool exifSize = fields.PixelWidth != 0 && fields.PixelHeight != 0;
    std::uint32_t width = exifSize ? fields.PixelWidth : fields.ImageWidth;
    std::uint32_t height = exifSize ? fields.PixelHeight : fields.ImageHeight;
    if (width == 0 || height == 0) width = height = 0;
    if (OrientationSwapsSides(fields.Orientation)) std::swap(width, height);
    info.Width = width;
    info.Height = height;
    const std::optional<std::int64_t> time = ParseExifDateTime(fields.DateTimeOriginal);
    if (!time) return info;
    info.OriginalText = fields.DateTimeOriginal;
    std::int64_t ns = *time;
    if (const auto sub = ParseExifSubSeconds(fields.SubSecTimeOriginal)) {
        info.SubSeconds = fields.SubSecTimeOriginal;
        ns += *sub;
    }
    if (const auto offset = ParseExifOffset(fields.OffsetTimeOriginal)) {
        info.HasOffset = true;
        info.OffsetMinutes = *offset;
        ns -= std::int64_t{*offset} * 60 * kNsPerSecond;
    }
    info.CaptureNs = ns;
    return info;
}

std::string CaptureDateText(const TCaptureInfo& info)
{
    if (!info.CaptureNs || info.OriginalText.size() != 19) return {};
    std::string text = info.OriginalText;
    text[4] = text[7] = '-';
    if (!info.SubSeconds.empty()) text += '.' + info.SubSeconds;
    if (info.HasOffset) {
        const int minutes = info.OffsetMinutes < 0 ? -info.OffsetMinutes : info.OffsetMinutes;
        char offset[16];
        std::snprintf(offset, sizeof offset, " %c%02d:%02d", info.OffsetMinutes < 0 ? '-' : '+', minutes / 60,
                      minutes % 60);
        text += offset;
    }
    return text;
}

} // namespace quorvane
