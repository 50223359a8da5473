// The copy check against cmp: N pairs of identical files (a kept file and a
// copy to delete) are checked by FindFilesWithoutCopy in one call, and by
// running `cmp -s` on each pair one after another. Both run on a warm page
// cache (one untimed round of each first); medians of the timed rounds.
// usage: copy_check_bench [pairs=3000] [size=mixed|BYTES] [rounds=3] [dir=/tmp]
#include "CopyCheck.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace quorvane;

namespace {

using TClock = std::chrono::steady_clock;

bool WriteBytes(const std::string& path, const std::vector<char>& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    return ok;
}

TCheckFile Listed(const std::string& path, bool deleting)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return {path,
            static_cast<std::uint64_t>(st.st_dev),
            static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
            deleting};
}

// Sizes like a photo folder's when "mixed": log-uniform from 4 KiB to 8 MiB.
std::uint64_t PickSize(const std::string& mode, std::mt19937_64& random)
{
    if (mode != "mixed") return std::strtoull(mode.c_str(), nullptr, 10);
    std::uniform_real_distribution<double> exponent(12.0, 23.0);
    return static_cast<std::uint64_t>(std::exp2(exponent(random)));
}

double RunCheck(const std::vector<TCheckGroup>& groups)
{
    const auto start = TClock::now();
    const TCopyCheckOutcome outcome = FindFilesWithoutCopy(groups, std::stop_token());
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    if (!outcome.WithoutCopy.empty() || outcome.Cancelled) std::fprintf(stderr, "unexpected outcome\n");
    return seconds;
}

double RunCmp(const std::vector<TCheckGroup>& groups)
{
    const auto start = TClock::now();
    for (const TCheckGroup& group : groups) {
        const char* argv[] = {"cmp", "-s", group.Files[0].Path.c_str(), group.Files[1].Path.c_str(), nullptr};
        pid_t pid = 0;
        if (::posix_spawnp(&pid, "cmp", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "cmp found a difference\n");
    }
    return std::chrono::duration<double>(TClock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int pairs = argc > 1 ? std::atoi(argv[1]) : 3000;
    const std::string sizeMode = argc > 2 ? argv[2] : "mixed";
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    std::string dir = std::string(argc > 4 ? argv[4] : "/tmp") + "/copy-check-bench.XXXXXX";
    if (!::mkdtemp(dir.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    std::mt19937_64 random(1);
    std::vector<TCheckGroup> groups;
    std::uint64_t totalBytes = 0;
    for (int k = 0; k < pairs; ++k) {
        std::vector<char> bytes(PickSize(sizeMode, random));
        for (char& c : bytes)
            c = static_cast<char>(random());
        const std::string kept = dir + "/k" + std::to_string(k);
        const std::string copy = dir + "/d" + std::to_string(k);
        if (!WriteBytes(kept, bytes) || !WriteBytes(copy, bytes)) {
            std::perror("write");
            return 1;
        }
        groups.push_back({{Listed(kept, false), Listed(copy, true)}, false});
        totalBytes += 2 * bytes.size();
    }
    RunCheck(groups); // warm-up rounds, not recorded
    RunCmp(groups);
    std::vector<double> ours, cmp;
    for (int r = 0; r < rounds; ++r) {
        ours.push_back(RunCheck(groups));
        cmp.push_back(RunCmp(groups));
    }
    const double a = Median(ours), b = Median(cmp);
    std::printf("pairs %d, sizes %s, %.1f MiB read per run, warm cache, median of %d\n", pairs,
                sizeMode.c_str(), totalBytes / 1048576.0, rounds);
    std::printf("FindFilesWithoutCopy  %8.3f s\n", a);
    std::printf("cmp -s, one by one    %8.3f s\n", b);
    std::printf("ratio (ours / cmp)    %8.3f\n", a / b);
    ::nftw(
        dir.c_str(), [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); },
        16, FTW_DEPTH | FTW_PHYS);
    return 0;
}
