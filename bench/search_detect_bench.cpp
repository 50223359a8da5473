// Detection-only benchmark: duplicate grouping of synthetic catalogues of
// (by default) 1,000,000 rows, without any file system work, plus one sort of
// the result list. Prints CPU seconds per step and the peak memory per row.
// usage: search_detect_bench [ROWS]
#include "DuplicateSearch.h"
#include "ResultRows.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace quorvane;

namespace {

class TQuietHost : public TScanHost {
  public:
    void SetStatusText(const std::string&, bool) override {}
    void SetPercentage(int, bool) override {}
    void ShowProgressWindow() override {}
};

double CpuSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

long PeakRssKiB()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Rows spread over 1 directory per 20 files; about a fifth of the names and
// sizes repeat, names of typical camera length, log-normal sizes.
std::vector<TFileRecord> MakeCatalogue(std::size_t rows)
{
    std::mt19937_64 random(1);
    std::lognormal_distribution<double> sizes(8.3, 2.0);
    std::vector<TFileRecord> catalogue;
    catalogue.reserve(rows);
    std::shared_ptr<const std::string> directory;
    for (std::size_t i = 0; i < rows; ++i) {
        if (i % 20 == 0)
            directory = std::make_shared<const std::string>("/photos/2019/trip " + std::to_string(i / 20));
        const bool copy = i > 0 && random() % 5 == 0;
        const std::size_t id = copy ? random() % i : i;
        TFileRecord row;
        row.Name = "IMG_" + std::to_string(100000 + id) + (id % 3 == 0 ? ".JPG" : ".jpg");
        row.Directory = directory;
        row.Size = copy ? 0 : static_cast<std::uint64_t>(sizes(random));
        row.TimeKey = 201901010000 + static_cast<std::int64_t>(random() % 60);
        row.ImageIndex = kImagePicture;
        row.Device = 1;
        row.Inode = i + 1;
        catalogue.push_back(std::move(row));
    }
    // A copy takes its original's size (the original is always earlier).
    std::mt19937_64 again(1);
    for (std::size_t i = 0; i < rows; ++i) {
        if (catalogue[i].Size == 0 && i > 0) {
            const std::size_t original = std::stoul(catalogue[i].Name.substr(4)) - 100000;
            catalogue[i].Size = catalogue[original].Size;
        }
    }
    return catalogue;
}

void Run(const char* label, std::size_t rows, const TSearchCriteria& criteria)
{
    std::vector<TFileRecord> catalogue = MakeCatalogue(rows);
    TQuietHost host;
    std::vector<TFileRecord> result;
    const double start = CpuSeconds();
    GroupCatalogue(catalogue, criteria, host, result);
    const double grouped = CpuSeconds();
    SortRows(result, 4);
    const double sorted = CpuSeconds();
    std::printf("| %s | %zu | %zu | %.3f | %.3f |\n", label, rows, result.size(), grouped - start,
                sorted - grouped);
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t rows = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    std::printf("| criteria | rows | result rows | detection cpu s | result sort (Size) cpu s |\n");
    std::printf("|---|---|---|---|---|\n");
    Run("size", rows, TSearchCriteria{.Name = false, .Size = true});
    Run("name", rows, TSearchCriteria{.Name = true, .Size = false});
    Run("name+size+time", rows, TSearchCriteria{.Name = true, .Size = true, .Time = true});
    Run("time", rows, TSearchCriteria{.Name = false, .Size = false, .Time = true});
    const long peak = PeakRssKiB();
    std::printf("\npeak RSS %.1f MiB, %.0f bytes per catalogue row (sizeof(TFileRecord) = %zu)\n",
                peak / 1024.0, peak * 1024.0 / static_cast<double>(rows), sizeof(TFileRecord));
    return 0;
}
