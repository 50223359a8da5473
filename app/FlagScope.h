// TFlagScope: sets a window's flag (FIgnoreListChange, a fill under way) for
// one scope and puts back its previous value on every way out, exceptions
// included, so a flag is never left set by an error.
#pragma once

namespace quorvane {

class TFlagScope {
  public:
    explicit TFlagScope(bool& flag) : FFlag(flag), FOld(flag) { FFlag = true; }
    ~TFlagScope() { FFlag = FOld; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

  private:
    bool& FFlag;
    bool FOld;
};

} // namespace quorvane
