// Saving and opening a large result file: N rows in groups of two to four,
// spread over D directories with realistic names (camera pictures, documents,
// a few names that are not UTF-8), saved with SaveResultFile (fsync
// included) and opened with OpenResultFile. Prints the median of the timed
// rounds, the bytes per row on disk and the peak memory of the process.
// usage: result_file_bench [rows=1000000] [directories=5000] [rounds=3] [dir=/tmp]
#include "ResultFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

using namespace quorvane;

namespace {

using TClock = std::chrono::steady_clock;

std::string FileName(std::mt19937_64& random, std::size_t i)
{
    static const char* const kStems[] = {
        "IMG_",      "DSC",      "Screenshot 2024-03-", "report-final-v", "song ",
        "旅行照片 ", "invoice_", "backup copy of ",     "\xe9t\xe9-"};
    static const char* const kExtensions[] = {".jpg", ".JPG",  ".png",  ".pdf",
                                              ".mp3", ".docx", ".heic", ".txt"};
    return kStems[random() % std::size(kStems)] + std::to_string(i % 100000) +
           kExtensions[random() % std::size(kExtensions)];
}

std::vector<std::shared_ptr<const std::string>> Directories(std::mt19937_64& random, std::size_t count)
{
    static const char* const kParts[] = {"Pictures", "2023",   "2024",        "Holiday",  "Documents",
                                         "Music",    "Backup", "Camera Roll", "Projects", "old"};
    std::vector<std::shared_ptr<const std::string>> out;
    for (std::size_t i = 0; i < count; ++i) {
        std::string path = "/home/someone";
        for (int depth = 2 + int(random() % 3); depth > 0; --depth)
            path += '/' + std::string(kParts[random() % std::size(kParts)]);
        out.push_back(std::make_shared<const std::string>(path + '/' + std::to_string(i)));
    }
    return out;
}

TSavedResult MakeResult(std::size_t rows, std::size_t directories)
{
    std::mt19937_64 random(42);
    const auto folders = Directories(random, directories);
    TSavedResult result;
    result.ProgramVersion = "bench";
    result.SearchedAt = 1767366240;
    result.Search.Directories = {"/home/someone"};
    result.Rows.reserve(rows);
    std::uint32_t group = 0;
    while (result.Rows.size() < rows) {
        ++group;
        const std::uint64_t size = 1000 + random() % 50000000;
        for (std::size_t copies = 2 + random() % 3; copies > 0 && result.Rows.size() < rows; --copies) {
            TFileRecord row;
            row.Name = FileName(random, result.Rows.size());
            row.Directory = folders[random() % folders.size()];
            row.Group = group;
            row.Size = size;
            row.TimeKey = 202001010000 + static_cast<std::int64_t>(random() % 50000000);
            row.ImageIndex = static_cast<std::uint8_t>(random() % 3);
            row.Device = 66306;
            row.Inode = 1000000 + random() % 90000000;
            row.ModifiedNs = 1600000000000000000 + static_cast<std::int64_t>(random() % 100000000000000000);
            row.StatusChangedNs = row.ModifiedNs + static_cast<std::int64_t>(random() % 1000000000);
            result.Rows.push_back(std::move(row));
        }
    }
    return result;
}

double Seconds(TClock::time_point since)
{
    return std::chrono::duration<double>(TClock::now() - since).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const std::size_t directories = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 5000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    const std::string path = std::string(argc > 4 ? argv[4] : "/tmp") + "/result_file_bench.json";
    const TSavedResult result = MakeResult(rows, directories);
    std::vector<double> saves, opens;
    for (int round = 0; round < rounds; ++round) {
        auto start = TClock::now();
        if (SaveResultFile(path, result) != TResultFileError::None) {
            std::fprintf(stderr, "cannot save %s\n", path.c_str());
            return 1;
        }
        saves.push_back(Seconds(start));
        TSavedResult opened;
        start = TClock::now();
        const TResultFileError error = OpenResultFile(path, opened);
        opens.push_back(Seconds(start));
        if (error != TResultFileError::None || opened.Rows.size() != result.Rows.size()) {
            std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), ResultFileErrorName(error));
            return 1;
        }
    }
    // The text alone, without the disk: what the fsync and the writes add.
    std::size_t bytes = 0;
    const auto start = TClock::now();
    WriteResultFile(result, [&bytes](std::string_view piece) { return bytes += piece.size(), true; });
    std::printf("text alone %.3f s for %zu bytes\n", Seconds(start), bytes);
    struct stat st {};
    ::stat(path.c_str(), &st);
    std::remove(path.c_str());
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("rows %zu, directories %zu: save %.3f s, open %.3f s (median of %d), %.1f bytes per row, "
                "peak memory %.0f MiB\n",
                rows, directories, Median(saves), Median(opens), rounds,
                double(st.st_size) / double(std::max<std::size_t>(rows, 1)), usage.ru_maxrss / 1024.0);
    return 0;
}
