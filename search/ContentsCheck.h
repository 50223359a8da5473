// The sampled comparison of contents: a candidate file against one reference
// file, whose sampled bytes are read once however many candidates it meets.
// Files are opened without following links or blocking, and only regular
// files are read; failures throw EFileReadError with the program's messages.
#pragma once

#include "DuplicateSearch.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace quorvane {

class TContentsCheck {
  public:
    explicit TContentsCheck(std::string referencePath) : FReferencePath(std::move(referencePath)) {}

    // SameContents(candidatePath, reference) on Linux: equal paths are equal
    // unopened; otherwise equal sizes and equal bytes at offsets 0, size/5,
    // 2*size/5, ... (every byte below 5 bytes). The candidate is opened
    // first, then, once, the reference.
    bool Matches(const std::string& candidatePath);

  private:
    void LoadReference();

    std::string FReferencePath;
    bool FLoaded = false;
    dev_t FDevice = 0;
    ino_t FInode = 0;
    off_t FSize = 0;
    std::vector<unsigned char> FSample;
};

// The bytes at the sampled offsets of a file of the given size.
std::vector<unsigned char> ReadSample(int fd, off_t size);

} // namespace quorvane
