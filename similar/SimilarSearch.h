// The similar-pictures search over the rows of a scan: pick the pictures,
// hash them (from the cache, else by decoding on all cores), group them by
// hash distance, and return the groups' rows. The caller's host gets the
// progress and is polled for a cancel; it is only called from the caller's
// own thread.
#pragma once

#include "HashCache.h"
#include "PictureDecode.h"
#include "ScanHost.h"
#include "SimilarGroups.h"
#include "TFileRecord.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

inline constexpr const char* kCheckingSimilarText = "Checking similar pictures...";

// The tolerance when none is given, from the benchmark's precision and
// recall curve (bench/similar_bench.sh).
inline constexpr int kDefaultTolerance = 8;
// Mean grey levels two copies of one picture may differ by: a brightness
// change of a few per cent passes, a flat picture of another colour does not.
inline constexpr int kDefaultMeanTolerance = 40;

// True when name counts as a picture for this search: the picture test of
// the result list, plus the photo formats (PNG, WebP, TIFF, HEIC/HEIF, AVIF,
// JPEG XL, camera RAW) with moreFormats.
bool IsSimilarCandidate(std::string_view name, bool moreFormats);

struct TSimilarOptions {
    int Tolerance = kDefaultTolerance;
    int MeanTolerance = kDefaultMeanTolerance;
    bool MoreFormats = false;
    bool TurnUpright = true; // apply the orientation tag before hashing
    // Also match copies turned by quarter turns or mirrored (all eight).
    bool Turns = false;
    // Also match copies cut down to the middle of the picture: the hash of
    // each picture's centre takes part (GroupSimilarViews).
    bool Crops = false;
    // Instead of the hash: pictures whose decoded pixels are exactly equal
    // (after turning upright); the tolerances do not count.
    bool SamePixels = false;
    std::string CachePath;   // empty: no cache
    TPictureDecoder Decoder; // formats other than JPEG and GIF; may be empty
    unsigned Threads = 0;    // 0: all cores
};

struct TSimilarResult {
    std::vector<TFileRecord> Rows;      // the groups' rows, each group together
    std::vector<std::uint32_t> GroupOf; // per row: its group, counted from 1
    // Per row: the hash distance in bits to its group's first picture (0 for
    // that picture; with turns the least over its eight variants; with crops
    // the least over the whole and the centre; 0 for equal pixels).
    std::vector<int> Distance;
    std::size_t GroupCount = 0;
    std::size_t Pictures = 0;   // pictures considered
    std::size_t Decoded = 0;    // of those, decoded in this search
    std::size_t Unreadable = 0; // of those, not decodable
};

// Throws ESearchCancelled when the host asks to stop; the cache file is then
// left as it was.
TSimilarResult FindSimilarPictures(const std::vector<TFileRecord>& files, const TSimilarOptions& options,
                                   TScanHost& host);

// Hashes the files on all cores (threads 0) with decoder as fallback;
// entries not decodable come back with Decoded false. Polls the host between
// files and reports progress from the calling thread.
// With centre, opaque pictures also get the hash of their centre.
std::vector<TCachedHash> HashPictureFiles(const std::vector<const TFileRecord*>& files,
                                          const TPictureDecoder& decoder, unsigned threads, TScanHost& host,
                                          bool upright = true, bool centre = false);

// The cache file a search with these options uses: CachePath for pictures
// turned upright (the default), a file beside it for pictures hashed as
// stored, so that one choice's hashes never answer a search with the other.
std::string HashCacheFileFor(const TSimilarOptions& options);

} // namespace quorvane
