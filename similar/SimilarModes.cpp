// Turned copies: every variant of every picture is an item of GroupSimilar,
// so a picture near any turn of another is its neighbour (a turn applied to
// both keeps their distance, so the plain hash against the other's eight
// variants covers all pairs); the groups of variants are then read back as
// groups of pictures, each picture kept in the first group that takes it.
// A transparent picture's outline turns with each of its variants.
// Cropped copies: the whole and the centre of each picture are views of it
// (GroupSimilarViews), turned too when turns are asked for.
// Same pixels: groups of equal pixel digests, largest file first.
#include "SimilarModes.h"

#include "FilePool.h"
#include "PictureDecode.h"

#include <algorithm>
#include <map>

namespace quorvane {

namespace {

constexpr int kHashBits = 64;

struct TTurnedHash {
    bool Decoded = false;
    std::array<TPictureHash, kHashVariants> Hashes{};
    std::optional<std::array<TPictureHash, kHashVariants>> Centres; // with crops, of an opaque picture
    std::uint64_t Pixels = 0;
    std::optional<TShapeMask> Shape;
};

// variants gives each member's distance to the group's first as the least
// over the member's turns; without it every distance is 0 (equal pixels).
void AppendGroups(TSimilarResult& result, const std::vector<std::vector<std::uint32_t>>& groups,
                  const std::vector<const TFileRecord*>& files,
                  const std::vector<std::array<TPictureHash, kHashVariants>>* variants = nullptr)
{
    for (const auto& group : groups) {
        ++result.GroupCount;
        for (std::uint32_t member : group) {
            result.Rows.push_back(*files[member]);
            result.GroupOf.push_back(static_cast<std::uint32_t>(result.GroupCount));
            int distance = variants ? kHashBits : 0;
            if (variants)
                for (const TPictureHash& turned : (*variants)[member])
                    distance =
                        std::min(distance, HammingDistance((*variants)[group.front()][0].Hash, turned.Hash));
            result.Distance.push_back(distance);
        }
    }
}

} // namespace

void AppendCroppedGroups(TSimilarResult& result, const std::vector<std::vector<std::uint32_t>>& groups,
                         const std::vector<const TFileRecord*>& files, const std::vector<TCropHashes>& hashes)
{
    for (const auto& group : groups) {
        ++result.GroupCount;
        for (std::uint32_t member : group) {
            result.Rows.push_back(*files[member]);
            result.GroupOf.push_back(static_cast<std::uint32_t>(result.GroupCount));
            result.Distance.push_back(
                member == group.front() ? 0 : CroppedDistance(hashes[group.front()], hashes[member]));
        }
    }
}

std::vector<std::vector<std::uint32_t>>
GroupSimilarTurned(const std::vector<std::array<TPictureHash, kHashVariants>>& variants,
                   const std::vector<TSimilarItem>& items, int tolerance, int meanTolerance, unsigned threads)
{
    // Each variant carries its picture's outline turned the same way.
    std::vector<TShapeMask> turnedShapes;
    turnedShapes.reserve(kHashVariants * static_cast<std::size_t>(std::count_if(
                                             items.begin(), items.end(), [](const TSimilarItem& item) {
                                                 return item.Shape != nullptr;
                                             })));
    std::vector<TSimilarItem> expanded;
    expanded.reserve(items.size() * kHashVariants);
    for (std::size_t i = 0; i < items.size(); ++i)
        for (int variant = 0; variant < kHashVariants; ++variant) {
            TSimilarItem item = items[i];
            item.Hash = variants[i][std::size_t(variant)];
            if (item.Shape) item.Shape = &turnedShapes.emplace_back(TurnShapeMask(*item.Shape, variant));
            expanded.push_back(item);
        }
    std::vector<std::uint8_t> taken(items.size(), 0);
    std::vector<std::vector<std::uint32_t>> groups;
    for (const auto& group : GroupSimilar(expanded, tolerance, meanTolerance, threads)) {
        std::vector<std::uint32_t> pictures;
        for (std::uint32_t entry : group) {
            const std::uint32_t picture = entry / kHashVariants;
            if (taken[picture]) continue;
            taken[picture] = 1;
            pictures.push_back(picture);
        }
        if (pictures.size() >= 2) {
            groups.push_back(std::move(pictures));
        } else {
            for (std::uint32_t picture : pictures)
                taken[picture] = 0; // alone here: free to join a later group
        }
    }
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return groups;
}

namespace {

// Decodes each picture once and hashes its eight turns and mirrors, with
// centres also those of its middle; a picture that cannot be decoded is
// marked so and left out.
auto HashTurnedFiles(const std::vector<const TFileRecord*>& pictures, const TSimilarOptions& options,
                     TScanHost& host, bool centres)
{
    return RunOnFiles<TTurnedHash>(pictures, options.Threads, host, [&](const TFileRecord& file) {
        TTurnedHash hashed;
        try {
            const auto picture = DecodePictureFile(file.FullPath(), options.Decoder, options.TurnUpright);
            if (picture && !picture->Image.Pixels.empty()) {
                hashed.Decoded = true;
                hashed.Hashes = HashVariantsOfPicture(*picture);
                if (centres) hashed.Centres = CentreHashVariantsOfPicture(*picture);
                hashed.Pixels = picture->FullPixels;
                hashed.Shape = picture->Shape;
            }
        } catch (...) {
        }
        return hashed;
    });
}

} // namespace

TSimilarResult FindTurnedCopies(const std::vector<const TFileRecord*>& pictures,
                                const TSimilarOptions& options, TScanHost& host)
{
    TSimilarResult result;
    result.Pictures = pictures.size();
    const auto hashes = HashTurnedFiles(pictures, options, host, false);
    result.Decoded = hashes.size();
    std::vector<std::array<TPictureHash, kHashVariants>> variants;
    std::vector<TSimilarItem> items;
    std::vector<const TFileRecord*> itemFiles;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (!hashes[i].Decoded) {
            ++result.Unreadable;
            continue;
        }
        variants.push_back(hashes[i].Hashes);
        const TShapeMask* shape = hashes[i].Shape ? &*hashes[i].Shape : nullptr;
        items.push_back({hashes[i].Hashes[0], hashes[i].Pixels, pictures[i]->Size, shape});
        itemFiles.push_back(pictures[i]);
    }
    AppendGroups(
        result,
        GroupSimilarTurned(variants, items, options.Tolerance, options.MeanTolerance, options.Threads),
        itemFiles, &variants);
    return result;
}

std::vector<std::vector<std::uint32_t>> GroupSimilarCropped(const std::vector<TCropHashes>& hashes,
                                                            const std::vector<TSimilarItem>& items,
                                                            int tolerance, int meanTolerance,
                                                            unsigned threads)
{
    // Each whole variant carries the picture's outline turned the same way;
    // the centre is only ever taken of an opaque picture.
    std::vector<TShapeMask> turnedShapes;
    std::size_t shapes = 0;
    for (std::size_t i = 0; i < items.size(); ++i)
        shapes += items[i].Shape ? hashes[i].Whole.size() : 0;
    turnedShapes.reserve(shapes);
    std::vector<TSimilarView> views;
    for (std::uint32_t i = 0; i < items.size(); ++i) {
        for (std::size_t v = 0; v < hashes[i].Whole.size(); ++v) {
            const TShapeMask* shape = nullptr;
            if (items[i].Shape)
                shape = &turnedShapes.emplace_back(TurnShapeMask(*items[i].Shape, static_cast<int>(v)));
            views.push_back({hashes[i].Whole[v], shape, i, false, v == 0});
        }
        for (std::size_t v = 0; v < hashes[i].Centre.size(); ++v)
            views.push_back({hashes[i].Centre[v], nullptr, i, true, v == 0});
    }
    return GroupSimilarViews(items, views, tolerance, meanTolerance, threads);
}

int CroppedDistance(const TCropHashes& leader, const TCropHashes& member)
{
    int distance = kHashBits;
    for (const TPictureHash& view : member.Whole) {
        distance = std::min(distance, HammingDistance(leader.Whole[0].Hash, view.Hash));
        if (!leader.Centre.empty())
            distance = std::min(distance, HammingDistance(leader.Centre[0].Hash, view.Hash));
    }
    for (const TPictureHash& view : member.Centre)
        distance = std::min(distance, HammingDistance(leader.Whole[0].Hash, view.Hash));
    return distance;
}

TSimilarResult FindTurnedCroppedCopies(const std::vector<const TFileRecord*>& pictures,
                                       const TSimilarOptions& options, TScanHost& host)
{
    TSimilarResult result;
    result.Pictures = pictures.size();
    const auto hashes = HashTurnedFiles(pictures, options, host, true);
    result.Decoded = hashes.size();
    std::vector<TCropHashes> views;
    std::vector<TSimilarItem> items;
    std::vector<const TFileRecord*> itemFiles;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (!hashes[i].Decoded) {
            ++result.Unreadable;
            continue;
        }
        TCropHashes& picture = views.emplace_back();
        picture.Whole.assign(hashes[i].Hashes.begin(), hashes[i].Hashes.end());
        if (hashes[i].Centres) picture.Centre.assign(hashes[i].Centres->begin(), hashes[i].Centres->end());
        const TShapeMask* shape = hashes[i].Shape ? &*hashes[i].Shape : nullptr;
        items.push_back({hashes[i].Hashes[0], hashes[i].Pixels, pictures[i]->Size, shape});
        itemFiles.push_back(pictures[i]);
    }
    const auto groups =
        GroupSimilarCropped(views, items, options.Tolerance, options.MeanTolerance, options.Threads);
    AppendCroppedGroups(result, groups, itemFiles, views);
    return result;
}

TSimilarResult FindSamePixels(const std::vector<const TFileRecord*>& pictures, const TSimilarOptions& options,
                              TScanHost& host)
{
    TSimilarResult result;
    result.Pictures = pictures.size();
    const auto digests = RunOnFiles<std::optional<TPixelDigest>>(
        pictures, options.Threads, host,
        [&](const TFileRecord& file) { return DecodePixelDigest(file.FullPath(), options.TurnUpright); });
    result.Decoded = digests.size();
    using TKey = std::tuple<int, int, std::uint64_t, std::uint64_t>;
    std::map<TKey, std::vector<std::uint32_t>> byDigest;
    for (std::uint32_t i = 0; i < pictures.size(); ++i) {
        if (!digests[i]) {
            ++result.Unreadable;
            continue;
        }
        const TPixelDigest& d = *digests[i];
        byDigest[{d.Width, d.Height, d.Digest[0], d.Digest[1]}].push_back(i);
    }
    std::vector<std::vector<std::uint32_t>> groups;
    for (auto& [key, members] : byDigest) {
        if (members.size() < 2) continue;
        // The same picture in each: the largest file first, then the order found.
        std::stable_sort(members.begin(), members.end(), [&](std::uint32_t a, std::uint32_t b) {
            return pictures[a]->Size > pictures[b]->Size;
        });
        groups.push_back(members);
    }
    std::sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
        return *std::min_element(a.begin(), a.end()) < *std::min_element(b.begin(), b.end());
    });
    AppendGroups(result, groups, pictures);
    return result;
}

} // namespace quorvane
