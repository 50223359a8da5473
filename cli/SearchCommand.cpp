// quorvane-cli "find" and "list": the duplicate search and "List All" over
// the search core. stdout carries one line per result row (Name, Directory,
// Size, Type, Time, TAB-separated, with TAB, LF and backslash escaped; with
// --groups the group's number, from 1, comes first; with --keep RULE a last
// column says "keep" or "delete" as "Select Duplicates" would, though nothing
// is ever deleted here); stderr the last status text, the refusals, the
// errors, and each file or directory that could not be read (left out of
// the result, which is complete for all that could be read; exit 0).
// --format csv writes the rows as CSV, --format json as the result file.
#include "CaptureCache.h"
#include "CliCommands.h"
#include "ContentsCache.h"
#include "DuplicateSearch.h"
#include "FileScan.h"
#include "KeepRules.h"
#include "NotDuplicates.h"
#include "PathRules.h"
#include "PhotoDecoder.h"
#include "PictureSize.h"
#include "ResultExport.h"
#include "ResultRows.h"

#include <cstdio>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quorvane::cli {

namespace {

// The directory list's refusal of a text that names no directory.
constexpr const char* kNotADirectoryText = "您沒有輸入目錄, 不然就是目錄名稱輸入錯誤!";

// The first input that does not name an existing directory, or null.
const std::string* FirstNonDirectory(const std::vector<std::string>& directories)
{
    for (const std::string& directory : directories) {
        struct stat st;
        if (stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return &directory;
    }
    return nullptr;
}

// The reason a file or directory was left out, in words.
std::string NotReadText(const TNotRead& entry)
{
    const std::string error = entry.Error != 0 ? std::strerror(entry.Error) : std::string();
    switch (entry.Reason) {
    case TNotReadReason::CannotOpenFile:
    case TNotReadReason::FileReadFailed:
    case TNotReadReason::CannotOpenDirectory:
        if (!error.empty()) return error;
        break;
    case TNotReadReason::DirectoryReadFailed:
        return "listing stopped part-way: " + (error.empty() ? std::string("I/O error") : error);
    case TNotReadReason::FileChanged:
        break;
    }
    return entry.IsDirectory() ? "the directory changed while it was searched"
                               : "the file changed while it was searched";
}

// The window's progress display, written to stderr when asked for.
class TCliHost : public TDuplicateHost {
  public:
    TCliHost(bool showProgress, const TScanFilter& filter, std::string cachePath)
        : FShowProgress(showProgress), FFilter(filter), FCachePath(std::move(cachePath))
    {
    }
    const TScanFilter* ScanFilter() const override { return &FFilter; }
    std::string ContentsCachePath() const override { return FCachePath; }
    // Reads the contents cache on a thread of its own, so that on a large
    // tree its loading overlaps the scan rather than following it.
    void LoadContentsCacheAhead()
    {
        if (FCachePath.empty()) return;
        FLoading = std::async(std::launch::async, [path = FCachePath] {
            auto cache = std::make_unique<TContentsCache>();
            cache->Load(path);
            return cache;
        });
    }
    std::unique_ptr<TContentsCache> TakeLoadedContentsCache() override
    {
        return FLoading.valid() ? FLoading.get() : nullptr;
    }
    // Writes the contents cache on a thread of its own while the groups are
    // made and printed; the host waits for it before the command ends.
    void SaveContentsCache(std::unique_ptr<TContentsCache> cache, const std::string& path) override
    {
        FSaving =
            std::async(std::launch::async, [cache = std::move(cache), path] { return cache->Save(path); });
    }
    TCliHost(const TCliHost&) = delete;
    TCliHost& operator=(const TCliHost&) = delete;
    ~TCliHost() override
    {
        if (FSaving.valid()) FSaving.wait();
    }
    void SetStatusText(const std::string& text, bool) override { FStatus = text; }
    void SetPercentage(int percent, bool) override
    {
        if (FShowProgress) std::fprintf(stderr, "%d%%\n", percent);
    }
    void ShowProgressWindow() override {}
    void ShowErrorMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ClearFileList() override {}
    void NotRead(const TNotRead& entry) override
    {
        std::fprintf(stderr, "quorvane-cli: cannot read %s: %s\n", entry.Path.c_str(),
                     NotReadText(entry).c_str());
        ++(entry.IsDirectory() ? FDirectoriesNotRead : FFilesNotRead);
    }
    const std::string& Status() const { return FStatus; }
    // The count of what could not be read, after the status text.
    void WriteNotReadCount() const
    {
        if (FFilesNotRead != 0)
            std::fprintf(stderr, "quorvane-cli: %zu file%s could not be read\n", FFilesNotRead,
                         FFilesNotRead == 1 ? "" : "s");
        if (FDirectoriesNotRead != 0)
            std::fprintf(stderr, "quorvane-cli: %zu director%s could not be read\n", FDirectoriesNotRead,
                         FDirectoriesNotRead == 1 ? "y" : "ies");
    }

  private:
    bool FShowProgress;
    const TScanFilter& FFilter;
    std::string FCachePath;
    std::future<std::unique_ptr<TContentsCache>> FLoading; // LoadContentsCacheAhead
    std::future<bool> FSaving;                             // SaveContentsCache
    std::string FStatus;
    std::size_t FFilesNotRead = 0;
    std::size_t FDirectoriesNotRead = 0;
};

struct TCliOptions {
    TSearchCriteria Criteria{.Name = false, .Size = false};
    bool IncludeSubdirectories = true;
    bool GroupNumbers = false;
    bool ShowProgress = false;
    bool UseCache = true;
    bool AllGroups = false; // also the groups of files marked as not duplicates
    TExportFormat Format = TExportFormat::Tsv;
    std::optional<TKeepRule> Keep;
    std::optional<TCliAction> Action;
    TScanFilter Filter;
    std::vector<std::string> Directories;
    std::int64_t StartedAt = 0; // seconds since the epoch
};

// Sets the criterion an option names; false when it names none.
bool SetCriterion(const std::string& arg, TSearchCriteria& criteria)
{
    bool* flag = arg == "--name"        ? &criteria.Name
                 : arg == "--size"      ? &criteria.Size
                 : arg == "--cc"        ? &criteria.CC
                 : arg == "--all-bytes" ? &criteria.AllBytes
                 : arg == "--time"      ? &criteria.Time
                                        : nullptr;
    if (flag) *flag = true;
    return flag != nullptr;
}

// Parses the options; false on an unknown option (or a criterion for list).
bool ParseOptions(const std::vector<std::string>& args, bool listAll, TCliOptions& options)
{
    bool optionsEnded = false;
    bool ruleNext = false;
    bool actionNext = false;
    TCliAction action;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const int filterTaken =
            optionsEnded || actionNext || ruleNext ? 0 : TakeFilterOption(args, i, options.Filter);
        if (filterTaken < 0) return false;
        if (filterTaken > 0) {
            ++i;
        } else if (actionNext) {
            if (!ParseAction(arg, action)) return false;
            options.Action = action;
            actionNext = false;
        } else if (ruleNext) {
            options.Keep = KeepRuleFromName(arg);
            // The command line has no protected folders.
            if (!options.Keep || *options.Keep == TKeepRule::Protected) return false;
            ruleNext = false;
        } else if (optionsEnded || arg.rfind("--", 0) != 0) {
            options.Directories.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--no-subdirs") {
            options.IncludeSubdirectories = false;
        } else if (arg == "--progress") {
            options.ShowProgress = true;
        } else if (arg == "--format") {
            const auto format = i + 1 < args.size() ? ExportFormatFromName(args[i + 1]) : std::nullopt;
            if (!format) return false;
            options.Format = *format;
            ++i;
        } else if (arg == "--no-cache" && !listAll) {
            options.UseCache = false;
        } else if (arg == "--all-groups" && !listAll) {
            options.AllGroups = true;
        } else if (arg == "--groups" && !listAll) {
            options.GroupNumbers = true;
        } else if (arg == "--keep" && !listAll) {
            ruleNext = true;
        } else if (arg == "--action" && !listAll) {
            actionNext = true;
        } else if ((arg == "--dry-run" || arg == "--absolute-links") && !listAll) {
            (arg == "--dry-run" ? action.DryRun : action.AbsoluteLinks) = true;
        } else if (listAll || !SetCriterion(arg, options.Criteria)) {
            return false;
        }
    }
    if (options.Action) {
        options.Action->DryRun = action.DryRun;
        options.Action->AbsoluteLinks = action.AbsoluteLinks;
    }
    // An action needs the rule that says which files it acts on; the result
    // file has no selection column to carry the rule's choice.
    return !ruleNext && !actionNext && (!options.Action || options.Keep) &&
           !(options.Keep && options.Format == TExportFormat::Json);
}

// Writes the rows, each after its group's number when groupStarts is given
// and followed by "delete" or "keep" when selected is; false when stdout
// could not take them.
// Appends one row in the TSV form; group 0 writes no group column.
void AppendTsvRow(std::string& out, std::size_t group, const TFileRecord& row, const bool* selected)
{
    if (group != 0) {
        out += std::to_string(group);
        out.push_back('\t');
    }
    AppendEscaped(out, row.Name);
    out.push_back('\t');
    AppendEscaped(out, row.DirectoryText());
    out.push_back('\t');
    row.AppendSizeText(out);
    out.push_back('\t');
    AppendEscaped(out, ExtensionOf(row.Name));
    out.push_back('\t');
    row.AppendTimeText(out);
    if (selected) out += *selected ? "\tdelete" : "\tkeep";
    out.push_back('\n');
}

bool WriteRows(const std::vector<TFileRecord>& rows, const std::vector<std::size_t>* groupStarts,
               const std::vector<bool>* selected, TExportFormat format)
{
    std::string out = format == TExportFormat::Csv ? CsvHeader(selected != nullptr) : std::string();
    out.reserve(1 << 16);
    std::size_t group = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TFileRecord& row = rows[i];
        if (groupStarts) {
            while (group < groupStarts->size() && (*groupStarts)[group] <= i)
                ++group;
        }
        const bool isSelected = selected && (*selected)[i];
        if (format == TExportFormat::Csv)
            AppendCsvRow(out, static_cast<std::uint32_t>(group), row,
                         selected ? std::optional<bool>(isSelected) : std::nullopt);
        else
            AppendTsvRow(out, group, row, selected ? &isSelected : nullptr);
        if (out.size() >= (1 << 16) - 1024) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

// The search as the result file describes it.
TResultSearch SearchOf(const TCliOptions& options, bool listAll)
{
    TResultSearch search;
    search.Kind = listAll ? TResultKind::AllFiles : TResultKind::Duplicates;
    search.Criteria = options.Criteria;
    search.IncludeSubdirectories = options.IncludeSubdirectories;
    search.Filter = options.Filter;
    search.Directories = options.Directories;
    return search;
}

// Writes the rows (numbered by groupStarts when given) as the result file.
bool WriteJson(std::vector<TFileRecord>& rows, const TCliOptions& options,
               const std::vector<std::size_t>* groupStarts)
{
    if (groupStarts) NumberGroups(rows, *groupStarts);
    TSavedResult result;
    result.SearchedAt = options.StartedAt;
    result.Search = SearchOf(options, groupStarts == nullptr);
    result.Rows = std::move(rows);
    const bool written = PrintResultFile(result);
    rows = std::move(result.Rows);
    return written;
}

int Finish(bool written, const TCliHost& host)
{
    std::fprintf(stderr, "%s\n", host.Status().c_str());
    host.WriteNotReadCount();
    if (written) return 0;
    std::fputs("quorvane-cli: cannot write the result\n", stderr);
    return 1;
}

int Finish(const std::vector<TFileRecord>& rows, const TCliHost& host, TExportFormat format,
           const std::vector<std::size_t>* groupStarts = nullptr, const std::vector<bool>* selected = nullptr)
{
    const bool written = WriteRows(rows, groupStarts, selected, format);
    return Finish(written, host);
}

// "List All": every file of the directories, in reading order.
int RunList(const TCliOptions& options, TCliHost& host)
{
    if (options.Directories.empty()) {
        host.ShowErrorMessage(kNoDirectoryMessage);
        return 2;
    }
    std::vector<TFileRecord> rows;
    for (const std::string& directory : options.Directories)
        ReadAllFiles(directory, options.IncludeSubdirectories, host, rows);
    host.SetStatusText(kTotalFilesText + std::to_string(rows.size()), true);
    if (options.Format == TExportFormat::Json) return Finish(WriteJson(rows, options, nullptr), host);
    return Finish(rows, host, options.Format);
}

int RunFind(const TCliOptions& options, TCliHost& host)
{
    std::vector<TFileRecord> rows;
    std::vector<std::size_t> groupStarts;
    if (options.Criteria.AllBytes) host.LoadContentsCacheAhead();
    const TSearchOutcome outcome = FindDuplicatesWithGroups(
        options.Directories, options.Criteria, options.IncludeSubdirectories, host, rows, groupStarts);
    if (outcome != TSearchOutcome::Completed) return 2;
    if (!options.AllGroups) {
        NumberGroups(rows, groupStarts);
        if (ApplyRememberedNotDuplicates(rows) != 0) {
            groupStarts = GroupStartsOf(rows);
            host.SetStatusText(kTotalFilesText + std::to_string(rows.size()), true);
        }
    }
    if (options.Format == TExportFormat::Json) return Finish(WriteJson(rows, options, &groupStarts), host);
    // CSV always has its group column.
    const bool numbered = options.GroupNumbers || options.Format == TExportFormat::Csv;
    const std::vector<std::size_t>* starts = numbered ? &groupStarts : nullptr;
    if (!options.Keep) return Finish(rows, host, options.Format, starts);
    NumberGroups(rows, groupStarts);
    TKeepFacts facts;
    facts.Pixels = [](const TFileRecord& row) {
        const std::uint64_t pixels = PictureHeaderPixels(row.FullPath());
        return pixels != 0 ? pixels : PhotoHeaderPixels(row.FullPath());
    };
    // Capture dates come through the cache beside the picture hashes.
    TCaptureCache captures;
    const std::string capturePath = DefaultCaptureCachePath();
    if (*options.Keep == TKeepRule::OldestCapture && !capturePath.empty()) captures.Load(capturePath);
    facts.CaptureTime = [&captures](const TFileRecord& row) {
        return captures.Info(row.FullPath()).CaptureNs;
    };
    std::vector<bool> selected(rows.size(), false);
    for (const std::size_t row : DuplicateRows(rows, options.Criteria, *options.Keep, facts))
        selected[row] = true;
    if (!capturePath.empty()) captures.Save(capturePath);
    // Only --action changes files (ActionCommand.cpp), after the rows are out.
    const int status = Finish(rows, host, options.Format, starts, &selected);
    if (!options.Action || status != 0) return status;
    return RunAction(*options.Action, rows, selected, options.Directories);
}

} // namespace

bool PrintResultFile(TSavedResult& result)
{
    result.ProgramVersion = QUORVANE_VERSION;
    const auto toStdout = [](std::string_view piece) {
        return std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
    };
    return WriteResultFile(result, toStdout) == TResultFileError::None && std::fflush(stdout) == 0 &&
           !std::ferror(stdout);
}

void AppendEscaped(std::string& out, std::string_view field)
{
    // Runs without TAB, LF or backslash are appended whole.
    std::size_t begin = 0;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\t' && c != '\n' && c != '\\') continue;
        out.append(field.data() + begin, i - begin);
        out += c == '\t' ? "\\t" : c == '\n' ? "\\n" : "\\\\";
        begin = i + 1;
    }
    out.append(field.data() + begin, field.size() - begin);
}

int RunSearch(const std::vector<std::string>& args, bool listAll)
{
    TCliOptions options;
    if (!ParseOptions(args, listAll, options)) {
        std::fprintf(
            stderr,
            listAll
                ? "usage: quorvane-cli list %s [--format tsv|csv|json] [--no-subdirs] [--progress] DIR...\n"
                : "usage: quorvane-cli find [--name] [--size] [--cc] [--all-bytes] [--time] "
                  "[--groups] [--all-groups] [--keep RULE [--action ACTION [--dry-run] [--absolute-links]]] "
                  "%s [--format tsv|csv|json] [--no-subdirs] [--no-cache] [--progress] DIR...\n",
            kFilterUsage);
        return 2;
    }
    // The window greys the contents boxes out without Size; a script that
    // asks for them without it would get groups it did not ask for.
    const TSearchCriteria& criteria = options.Criteria;
    if ((criteria.CC || criteria.AllBytes) && !criteria.Size && criteria.AnyKeyCriterion()) {
        std::fprintf(stderr, "quorvane-cli: %s compares contents only among files of one size: add --size\n",
                     criteria.AllBytes ? "--all-bytes" : "--cc");
        return 2;
    }
    if (const std::string* wrong = FirstNonDirectory(options.Directories)) {
        std::fprintf(stderr, "%s %s\n", kNotADirectoryText, wrong->c_str());
        return 2;
    }
    options.StartedAt = ResultTimeNow();
    TCliHost host(options.ShowProgress, options.Filter,
                  options.UseCache ? DefaultContentsCachePath() : std::string());
    return listAll ? RunList(options, host) : RunFind(options, host);
}

} // namespace quorvane::cli
