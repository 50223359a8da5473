// The duplicate criteria ticked on the Options page. CC counts only while
// Size is ticked; a search needs at least one of Name, Size and Time.
#pragma once

namespace quorvane {

struct TSearchCriteria {
    bool Name = false;
    bool Size = true;
    bool CC = false;       // sampled contents; has effect only with Size
    bool AllBytes = false; // whole contents; has effect only with Size, supersedes CC
    bool Time = false;

    bool AnyKeyCriterion() const { return Name || Size || Time; }
    bool CompareContents() const { return Size && CC; }
    bool CompareAllBytes() const { return Size && AllBytes; }
};

} // namespace quorvane
