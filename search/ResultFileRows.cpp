// The shared rules of the result file (ResultFileRows.h).
#include "ResultFileRows.h"

#include <algorithm>
#include <ctime>

namespace quorvane {

namespace {

bool FreeOfNul(std::string_view text)
{
    return text.find('\0') == std::string_view::npos;
}

} // namespace

std::string ResultTimeText(std::int64_t seconds)
{
    if (seconds < 0 || seconds > kMaxSearchedAt) return {};
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[32] = "";
    if (gmtime_r(&time, &parts)) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

const char* ResultKindName(TResultKind kind)
{
    switch (kind) {
    case TResultKind::Duplicates:
        return "duplicates";
    case TResultKind::AllFiles:
        return "allFiles";
    case TResultKind::SimilarPictures:
        return "similarPictures";
    }
    return "";
}

std::optional<TResultKind> ResultKindFromName(std::string_view name)
{
    for (const TResultKind kind :
         {TResultKind::Duplicates, TResultKind::AllFiles, TResultKind::SimilarPictures})
        if (name == ResultKindName(kind)) return kind;
    return std::nullopt;
}

bool ValidResultName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && FreeOfNul(name) &&
           name.find('/') == std::string_view::npos;
}

bool ValidResultDirectory(std::string_view directory)
{
    return !directory.empty() && FreeOfNul(directory);
}

bool ValidResultRow(const TFileRecord& row)
{
    return ValidResultName(row.Name) && row.Directory && ValidResultDirectory(*row.Directory) &&
           row.ImageIndex <= kImageOtherFile;
}

bool ValidResultRows(const TSavedResult& result)
{
    const std::vector<TFileRecord>& rows = result.Rows;
    if (result.SearchedAt < 0 || result.SearchedAt > kMaxSearchedAt) return false;
    if (!result.Distances.empty() && result.Distances.size() != rows.size()) return false;
    for (const int distance : result.Distances)
        if (distance < 0 || distance > kMaxResultDistance) return false;
    const bool grouped = !rows.empty() && rows.front().Group != 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!ValidResultRow(rows[i]) || (rows[i].Group != 0) != grouped) return false;
        if (i != 0 && rows[i].Group < rows[i - 1].Group) return false;
    }
    return true;
}

bool ValidSearch(const TResultSearch& search)
{
    const TSimilarCriteria& similar = search.Similar;
    const TScanFilter& filter = search.Filter;
    const auto allFree = [](const std::vector<std::string>& texts) {
        return std::all_of(texts.begin(), texts.end(), FreeOfNul);
    };
    return similar.Tolerance >= 0 && similar.Tolerance <= kMaxResultDistance && similar.MeanTolerance >= 0 &&
           similar.MeanTolerance <= 255 && allFree(search.Directories) && allFree(filter.ExcludedFolders) &&
           allFree(filter.ExcludedNames) && allFree(filter.Extensions);
}

} // namespace quorvane
