// A path of open directories: a root opened by its text, then each level
// opened by name relative to the level above, never following a link. At
// most kMaxOpenLevels levels below the root stay open; a closed level is
// opened again through ".." of the level below it and accepted only when
// it is still the same directory (device and inode). So a walk may go as
// deep as the tree goes, whatever PATH_MAX says, with few descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

inline constexpr std::size_t kMaxOpenLevels = 32;

class TDirectoryPath {
  public:
    TDirectoryPath() = default;
    ~TDirectoryPath();
    TDirectoryPath(const TDirectoryPath&) = delete;
    TDirectoryPath& operator=(const TDirectoryPath&) = delete;

    // Starts again at root (opened as the text says, links included: the
    // user typed it). False when it cannot be opened as a directory.
    bool OpenRoot(const std::string& root);
    const std::string& Root() const { return FRoot; }

    // Levels held, the root included; 0 before a root was opened.
    std::size_t Depth() const { return FLevels.size(); }
    const std::string& NameAt(std::size_t level) const { return FLevels[level].Name; }

    // Keeps the first depth levels (depth >= 1) and makes the deepest open;
    // false when it can no longer be opened as the same directory.
    bool Truncate(std::size_t depth);

    // Opens name in the deepest level as a new level (O_NOFOLLOW). False,
    // and nothing added, when it cannot be opened as a directory.
    bool Push(std::string_view name);

    // The deepest level's descriptor (after Truncate or Push), or -1.
    int DeepestFd() const { return FLevels.empty() ? -1 : FLevels.back().Fd; }
    std::uint64_t DeepestDevice() const { return FLevels.back().Device; }
    std::uint64_t DeepestInode() const { return FLevels.back().Inode; }

  private:
    struct TLevel {
        std::string Name;
        std::uint64_t Device = 0;
        std::uint64_t Inode = 0;
        int Fd = -1;
    };
    bool Reopen(std::size_t level);
    void Close(TLevel& level);
    void CloseAll();

    std::string FRoot;
    std::vector<TLevel> FLevels;
    std::size_t FOpenBelowRoot = 0;
    std::size_t FShallowestOpen = 1; // levels below it (but the root) are closed
};

} // namespace quorvane
