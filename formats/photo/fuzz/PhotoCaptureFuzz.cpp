// Fuzz target over the capture info reader's byte-level entry: the EXIF
// block found in any container, the TIFF IFDs, the date parsing. Crashes,
// sanitizer reports, leaks and hangs are findings; so is a result that
// breaks the fields' promises.
#include "PhotoCapture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvane;
    const TCaptureInfo info = CaptureInfoFromBytes(data, size);
    // A time comes only with the text it was read from, and a text is
    // never longer than the parser keeps.
    if (info.CaptureNs.has_value() != !info.OriginalText.empty()) __builtin_trap();
    if (info.OriginalText.size() > 64 || info.Model.size() > 64) __builtin_trap();
    if (!CaptureDateText(info).empty() != info.CaptureNs.has_value()) __builtin_trap();
    return 0;
}
