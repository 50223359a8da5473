// quorvane-cli "similar": groups of pictures that are the same photograph at
// another size, quality or format. stdout carries one line per row: the group
// number (from 1), then Name, Directory, Size, Type and Time as "find" writes
// them; stderr the totals and the errors. Hashes are cached between runs.
// --format csv adds a column "distance" (bits to the group's first picture);
// --format json writes the result file, distances included.
#include "CliCommands.h"
#include "DuplicateSearch.h"
#include "FileScan.h"
#include "ResultExport.h"
#include "SimilarSearch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace quorvane::cli {

namespace {

constexpr const char* kSimilarUsage =
    "usage: quorvane-cli similar [--tolerance N] [--more-formats] [--turns] [--crops] [--pixels] "
    "[--all-groups] "
    "%s [--format tsv|csv|json] [--no-subdirs] [--no-cache] [--progress] DIR...\n";

class TSimilarCliHost : public TScanHost {
  public:
    TSimilarCliHost(bool showProgress, const TScanFilter& filter)
        : FShowProgress(showProgress), FFilter(filter)
    {
    }
    const TScanFilter* ScanFilter() const override { return &FFilter; }
    void SetStatusText(const std::string&, bool) override {}
    void SetPercentage(int percent, bool) override
    {
        if (FShowProgress) std::fprintf(stderr, "%d%%\n", percent);
    }
    void ShowProgressWindow() override {}

  private:
    bool FShowProgress;
    const TScanFilter& FFilter;
};

struct TSimilarCliOptions {
    TSimilarOptions Search;
    bool IncludeSubdirectories = true;
    bool ShowProgress = false;
    bool UseCache = true;
    bool AllGroups = false; // also the groups of files marked as not duplicates
    TExportFormat Format = TExportFormat::Tsv;
    TScanFilter Filter;
    std::vector<std::string> Directories;
    std::int64_t StartedAt = 0; // seconds since the epoch
};

bool ParseTolerance(const std::string& text, int& tolerance)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > kMaxTolerance) return false;
    tolerance = static_cast<int>(value);
    return true;
}

bool ParseSimilarOptions(const std::vector<std::string>& args, TSimilarCliOptions& options)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.rfind("--", 0) != 0) {
            options.Directories.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (const int taken = TakeFilterOption(args, i, options.Filter); taken != 0) {
            if (taken < 0) return false;
            ++i;
        } else if (arg == "--format") {
            const auto format = i + 1 < args.size() ? ExportFormatFromName(args[i + 1]) : std::nullopt;
            if (!format) return false;
            options.Format = *format;
            ++i;
        } else if (arg == "--tolerance") {
            if (++i == args.size() || !ParseTolerance(args[i], options.Search.Tolerance)) return false;
        } else if (arg == "--more-formats") {
            options.Search.MoreFormats = true;
        } else if (arg == "--turns") {
            options.Search.Turns = true;
        } else if (arg == "--crops") {
            options.Search.Crops = true;
        } else if (arg == "--pixels") {
            options.Search.SamePixels = true;
        } else if (arg == "--no-subdirs") {
            options.IncludeSubdirectories = false;
        } else if (arg == "--all-groups") {
            options.AllGroups = true;
        } else if (arg == "--no-cache") {
            options.UseCache = false;
        } else if (arg == "--progress") {
            options.ShowProgress = true;
        } else {
            return false;
        }
    }
    return true;
}

void AppendField(std::string& out, const std::string& field)
{
    out.push_back('\t');
    AppendEscaped(out, field);
}

// The groups as the result file, each row with its distance.
bool WriteJson(TSimilarResult& result, const TSimilarCliOptions& options)
{
    TSavedResult saved;
    saved.SearchedAt = options.StartedAt;
    saved.Search.Kind = TResultKind::SimilarPictures;
    const TSimilarOptions& search = options.Search;
    saved.Search.Similar = {search.Tolerance, search.MeanTolerance, search.MoreFormats, search.TurnUpright,
                            search.Turns,     search.SamePixels,    search.Crops};
    saved.Search.IncludeSubdirectories = options.IncludeSubdirectories;
    saved.Search.Filter = options.Filter;
    saved.Search.Directories = options.Directories;
    saved.Rows = std::move(result.Rows);
    for (std::size_t i = 0; i < saved.Rows.size(); ++i)
        saved.Rows[i].Group = result.GroupOf[i];
    saved.Distances = result.Distance;
    const bool written = PrintResultFile(saved);
    result.Rows = std::move(saved.Rows);
    return written;
}

bool WriteGroups(TSimilarResult& result, const TSimilarCliOptions& options)
{
    if (options.Format == TExportFormat::Json) return WriteJson(result, options);
    const bool csv = options.Format == TExportFormat::Csv;
    std::string out = csv ? CsvHeader(false, true) : std::string();
    for (std::size_t i = 0; i < result.Rows.size(); ++i) {
        const TFileRecord& row = result.Rows[i];
        if (csv) {
            AppendCsvRow(out, result.GroupOf[i], row, std::nullopt, result.Distance[i]);
            continue;
        }
        out += std::to_string(result.GroupOf[i]);
        for (const std::string& field :
             {row.Name, row.DirectoryText(), row.SizeText(), row.TypeText(), row.TimeText()})
            AppendField(out, field);
        out.push_back('\n');
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

// Takes the files marked as not duplicates out of the result's groups.
void LeaveOutNotDuplicates(TSimilarResult& result)
{
    for (std::size_t i = 0; i < result.Rows.size(); ++i)
        result.Rows[i].Group = result.GroupOf[i];
    if (ApplyRememberedNotDuplicates(result.Rows, &result.Distance) == 0) return;
    result.GroupOf.clear();
    result.GroupCount = 0;
    for (const TFileRecord& row : result.Rows) {
        result.GroupOf.push_back(row.Group);
        result.GroupCount = std::max<std::size_t>(result.GroupCount, row.Group);
    }
}

} // namespace

int RunSimilar(const std::vector<std::string>& args)
{
    TSimilarCliOptions options;
    if (!ParseSimilarOptions(args, options)) {
        std::fprintf(stderr, kSimilarUsage, kFilterUsage);
        return 2;
    }
    if (options.Directories.empty()) {
        std::fprintf(stderr, "%s\n", kNoDirectoryMessage);
        return 2;
    }
    options.StartedAt = ResultTimeNow();
    if (options.UseCache) options.Search.CachePath = DefaultHashCachePath();
    TSimilarCliHost host(options.ShowProgress, options.Filter);
    std::vector<TFileRecord> files;
    TScanContext context; // a directory reached twice is read once
    for (const std::string& directory : options.Directories)
        ReadAllFiles(directory, options.IncludeSubdirectories, host, files, &context);
    TSimilarResult result = FindSimilarPictures(files, options.Search, host);
    if (!options.AllGroups) LeaveOutNotDuplicates(result);
    const bool written = WriteGroups(result, options);
    std::fprintf(stderr, "%s%zu, groups: %zu, pictures: %zu, decoded: %zu, unreadable: %zu\n",
                 kTotalFilesText, result.Rows.size(), result.GroupCount, result.Pictures, result.Decoded,
                 result.Unreadable);
    if (written) return 0;
    std::fputs("quorvane-cli: cannot write the result\n", stderr);
    return 1;
}

} // namespace quorvane::cli
