// Finding and starting quorvane-metafile. The program replaces this process,
// so its output and exit status are those of "quorvane-cli decode".
#include "MetafileHelper.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace quorvane::cli {

namespace {

constexpr const char* kHelperName = "quorvane-metafile";

bool IsProgram(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string MetafileHelperPath(const std::string& selfPath, const std::string& helperFromBin)
{
    const std::filesystem::path folder = std::filesystem::path(selfPath).parent_path();
    for (const std::filesystem::path& candidate :
         {folder / kHelperName, (folder / helperFromBin / kHelperName).lexically_normal()})
        if (IsProgram(candidate)) return candidate.string();
    return {};
}

int RunMetafileHelper(const std::vector<std::string>& args)
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string helper =
        error ? std::string() : MetafileHelperPath(self.string(), QUORVANE_HELPER_FROM_BIN);
    if (helper.empty()) {
        std::fprintf(stderr, "quorvane-cli: %s, which draws WMF and EMF files, is not installed\n",
                     kHelperName);
        return 1;
    }
    std::vector<char*> argv{const_cast<char*>(helper.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    ::execv(helper.c_str(), argv.data());
    std::fprintf(stderr, "quorvane-cli: cannot start %s: %s\n", helper.c_str(), std::strerror(errno));
    return 1;
}

} // namespace quorvane::cli
