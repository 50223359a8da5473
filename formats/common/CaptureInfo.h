// When and with what a photo was taken, as its EXIF block says: the capture
// time, the camera model and the picture's dimensions. Plain values; the
// date texts are parsed strictly, so a date outside the calendar is no date.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

struct TExifFields;

struct TCaptureInfo {
    // Nanoseconds since 1970-01-01 00:00:00 UTC, comparable across files.
    // A date stored without an offset is read as +00:00 (the camera's clock
    // zone is unknown), so such dates order among themselves by their text
    // and among dated-with-offset ones to within the unknown zone.
    std::optional<std::int64_t> CaptureNs;
    std::string OriginalText; // "YYYY:MM:DD HH:MM:SS" as stored
    std::string SubSeconds;   // the sub-second digits as stored, or empty
    bool HasOffset = false;
    int OffsetMinutes = 0; // east of UTC, when HasOffset
    std::string Model;
    std::uint32_t Width = 0; // the upright picture's, 0 when unknown
    std::uint32_t Height = 0;

    bool operator==(const TCaptureInfo&) const = default;
};

// Nanoseconds since the epoch of an EXIF date "YYYY:MM:DD HH:MM:SS" read as
// UTC; nullopt unless the text is exactly that shape with every field in
// range (a year whose nanoseconds since 1970 fit 64 bits, about 1678 to
// 2262; a day that the month has; hour 0..23; minute and second 0..59).
std::optional<std::int64_t> ParseExifDateTime(std::string_view text);
// Minutes east of UTC of an EXIF offset "+HH:MM" or "-HH:MM" (hours 0..14,
// minutes 0..59); nullopt for any other text.
std::optional<int> ParseExifOffset(std::string_view text);
// Nanoseconds of EXIF sub-second digits ("5" is half a second); nullopt
// unless the text is 1 to 9 digits.
std::optional<std::int64_t> ParseExifSubSeconds(std::string_view text);

// The capture info of an EXIF block's fields: the time when the date is
// valid (its sub-seconds and offset added where they are valid), the model,
// and the pixel dimensions (the Exif IFD's, else the first IFD's image size)
// turned as the orientation asks.
TCaptureInfo CaptureInfoOfExif(const TExifFields& fields);

// The date as people read it, "2023-05-14 10:31:07.25 +02:00" (sub-seconds
// and offset only when stored); empty when there is no valid date.
std::string CaptureDateText(const TCaptureInfo& info);

} // namespace quorvane
