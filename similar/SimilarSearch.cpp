// The search's steps in order: candidates, cache, parallel hashing, grouping,
// rows. Workers only decode and hash into their own slots; the calling thread
// alone talks to the host, so the host needs no locking.
#include "SimilarSearch.h"

#include "FilePool.h"
#include "PathRules.h"
#include "PhotoDecoder.h"
#include "SimilarModes.h"

#include <unordered_set>

namespace quorvane {

namespace {

TCachedHash HashOne(const TFileRecord& file, const TPictureDecoder& decoder, bool upright, bool centre)
{
    TCachedHash result;
    try {
        const auto picture = DecodePictureFile(file.FullPath(), decoder, upright);
        if (picture && !picture->Image.Pixels.empty()) {
            result.Decoded = true;
            result.Hash = HashOfPicture(*picture);
            result.Pixels = picture->FullPixels;
            result.Shape = picture->Shape;
            if (centre) result.Centre = CentreHashOfPicture(*picture);
        }
    } catch (...) {
        // A picture that cannot be read is left out of the groups.
    }
    return result;
}

// The picture rows of files, each file once (a file reached through two
// input directories or two hard links is one picture, never its own copy).
std::vector<const TFileRecord*> Candidates(const std::vector<TFileRecord>& files, bool moreFormats)
{
    std::vector<const TFileRecord*> result;
    std::unordered_set<std::string> seen;
    for (const TFileRecord& file : files) {
        if (!IsSimilarCandidate(file.Name, moreFormats)) continue;
        if (file.Inode != 0 &&
            !seen.insert(std::to_string(file.Device) + ':' + std::to_string(file.Inode)).second)
            continue;
        result.push_back(&file);
    }
    return result;
}

// The items of the decoded pictures and their files; the others are counted
// in result as unreadable.
std::vector<TSimilarItem> ItemsOf(TSimilarResult& result, const std::vector<const TFileRecord*>& pictures,
                                  const std::vector<TCachedHash>& hashes,
                                  std::vector<const TFileRecord*>& itemFiles)
{
    std::vector<TSimilarItem> items;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (!hashes[i].Decoded) {
            ++result.Unreadable;
            continue;
        }
        const TShapeMask* shape = hashes[i].Shape ? &*hashes[i].Shape : nullptr;
        items.push_back({hashes[i].Hash, hashes[i].Pixels, pictures[i]->Size, shape});
        itemFiles.push_back(pictures[i]);
    }
    return items;
}

void GroupCached(TSimilarResult& result, const std::vector<const TFileRecord*>& pictures,
                 const std::vector<TCachedHash>& hashes, const TSimilarOptions& options)
{
    std::vector<const TFileRecord*> itemFiles;
    const std::vector<TSimilarItem> items = ItemsOf(result, pictures, hashes, itemFiles);
    for (const auto& group : GroupSimilar(items, options.Tolerance, options.MeanTolerance, options.Threads)) {
        ++result.GroupCount;
        for (std::uint32_t member : group) {
            result.Rows.push_back(*itemFiles[member]);
            result.GroupOf.push_back(static_cast<std::uint32_t>(result.GroupCount));
            result.Distance.push_back(
                HammingDistance(items[group.front()].Hash.Hash, items[member].Hash.Hash));
        }
    }
}

void GroupCachedCrops(TSimilarResult& result, const std::vector<const TFileRecord*>& pictures,
                      const std::vector<TCachedHash>& hashes, const TSimilarOptions& options)
{
    std::vector<const TFileRecord*> itemFiles;
    const std::vector<TSimilarItem> items = ItemsOf(result, pictures, hashes, itemFiles);
    std::vector<TCropHashes> views;
    for (const TCachedHash& hash : hashes)
        if (hash.Decoded) {
            TCropHashes& picture = views.emplace_back();
            picture.Whole.push_back(hash.Hash);
            if (hash.Centre) picture.Centre.push_back(*hash.Centre);
        }
    const auto groups =
        GroupSimilarCropped(views, items, options.Tolerance, options.MeanTolerance, options.Threads);
    AppendCroppedGroups(result, groups, itemFiles, views);
}

} // namespace

bool IsSimilarCandidate(std::string_view name, bool moreFormats)
{
    return IsPictureFile(name) || (moreFormats && IsPhotoFileName(name));
}

std::vector<TCachedHash> HashPictureFiles(const std::vector<const TFileRecord*>& files,
                                          const TPictureDecoder& decoder, unsigned threads, TScanHost& host,
                                          bool upright, bool centre)
{
    return RunOnFiles<TCachedHash>(files, threads, host, [&](const TFileRecord& file) {
        return HashOne(file, decoder, upright, centre);
    });
}

std::string HashCacheFileFor(const TSimilarOptions& options)
{
    if (options.CachePath.empty()) return {};
    return options.TurnUpright ? options.CachePath : options.CachePath + ".stored";
}

TSimilarResult FindSimilarPictures(const std::vector<TFileRecord>& files, const TSimilarOptions& options,
                                   TScanHost& host)
{
    host.SetStatusText(kCheckingSimilarText, true);
    TSimilarResult result;
    const std::vector<const TFileRecord*> pictures = Candidates(files, options.MoreFormats);
    result.Pictures = pictures.size();
    if (options.SamePixels) return FindSamePixels(pictures, options, host);
    if (options.Turns)
        return options.Crops ? FindTurnedCroppedCopies(pictures, options, host)
                             : FindTurnedCopies(pictures, options, host);
    THashCache cache;
    const std::string cachePath = HashCacheFileFor(options);
    if (!cachePath.empty()) cache.Load(cachePath);
    std::vector<TCachedHash> hashes(pictures.size());
    std::vector<const TFileRecord*> missing;
    std::vector<std::size_t> missingAt;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        // An entry made without crops lacks the centre of an opaque picture.
        if (auto hit = cache.Find(*pictures[i]); hit && (!options.Crops || hit->Shape || hit->Centre)) {
            hashes[i] = *hit;
        } else {
            missing.push_back(pictures[i]);
            missingAt.push_back(i);
        }
    }
    const std::vector<TCachedHash> fresh =
        HashPictureFiles(missing, options.Decoder, options.Threads, host, options.TurnUpright, options.Crops);
    for (std::size_t k = 0; k < fresh.size(); ++k) {
        hashes[missingAt[k]] = fresh[k];
        // A failure is not kept: another front end may bring a decoder that
        // reads the file (the command line reads no WebP; the window does).
        if (fresh[k].Decoded) cache.Store(*missing[k], fresh[k]);
    }
    result.Decoded = fresh.size();
    if (!cachePath.empty() && !fresh.empty()) cache.Save(cachePath);

    if (options.Crops)
        GroupCachedCrops(result, pictures, hashes, options);
    else
        GroupCached(result, pictures, hashes, options);
    return result;
}

} // namespace quorvane
