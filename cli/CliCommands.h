// The subcommands of quorvane-cli. Each takes the arguments after its own
// name and returns the process exit status; all output goes to stdout/stderr.
#pragma once

#include <string>
#include <vector>

namespace quorvane::cli {

// "find" (listAll false) and "list" (listAll true).
int RunSearch(const std::vector<std::string>& args, bool listAll);

// "decode" of a GIF file: the first image as an in-memory BMP stream.
int RunDecodeGif(const std::vector<std::string>& args);

// "decode" of a JPEG file with the decoding settings given as options.
int RunDecodeJpeg(const std::vector<std::string>& args);

// "decode" of a WMF or EMF file: played at its own size into a 24-bit BMP.
int RunDecodeMetafile(const std::vector<std::string>& args);

// "decode" of a photo format (PNG, WebP, TIFF, HEIF, AVIF, JPEG XL, RAW):
// the picture turned upright (unless --stored) as a 32-bit BMP with alpha.
int RunDecodePhoto(const std::vector<std::string>& args);

// "similar": groups of the same picture at another size, quality or format.
int RunSimilar(const std::vector<std::string>& args);

// Appends field as the result lines write it: TAB, line feed and backslash
// become \t, \n and \\.
void AppendEscaped(std::string& out, const std::string& field);

} // namespace quorvane::cli
