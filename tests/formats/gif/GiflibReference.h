// giflib as the reference decoder of the pixel comparison tests: every
// image of a file in memory, decoded by DGifSlurp (rows in image order).
#pragma once

#include "GifWriter.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <vector>

namespace quorvane::testing {

struct TGiflibMemory {
    const TBytes* Bytes;
    std::size_t At = 0;
};

inline int GiflibReadMemory(GifFileType* gif, GifByteType* to, int count)
{
    auto* m = static_cast<TGiflibMemory*>(gif->UserData);
    const std::size_t n = std::min(static_cast<std::size_t>(count), m->Bytes->size() - m->At);
    std::memcpy(to, m->Bytes->data() + m->At, n);
    m->At += n;
    return static_cast<int>(n);
}

// The images giflib decodes from the file; none when it refuses the file.
inline std::vector<TBytes> GiflibDecode(const TBytes& bytes)
{
    TGiflibMemory memory{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&memory, GiflibReadMemory, &error);
    std::vector<TBytes> images;
    if (gif && DGifSlurp(gif) == GIF_OK) {
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& s = gif->SavedImages[i];
            images.emplace_back(s.RasterBits, s.RasterBits + s.ImageDesc.Width * s.ImageDesc.Height);
        }
    }
    if (gif) DGifCloseFile(gif, &error);
    return images;
}

} // namespace quorvane::testing
