// Percentages of long work, rounded half to even, and the reporting of one
// pass's steps to the host.
#include "ScanHost.h"

namespace quorvane {

int ProgressPercent(std::size_t i, std::size_t n)
{
    if (n == 0) return 100;
    const unsigned long long numerator = (static_cast<unsigned long long>(i) + 1) * 100ull;
    unsigned long long q = numerator / n;
    const unsigned long long twiceRemainder = 2 * (numerator % n);
    if (twiceRemainder > n || (twiceRemainder == n && q % 2 == 1)) ++q;
    return static_cast<int>(q);
}

void ThrowIfCancelled(const TScanHost& host)
{
    if (host.CancelRequested()) throw ESearchCancelled();
}

void TProgressMeter::Step(std::size_t i)
{
    ThrowIfCancelled(FHost);
    FHost.ShowProgressWindow();
    const int percent = ProgressPercent(i, FSteps);
    if (percent == FLastPercent) return;
    FLastPercent = percent;
    FHost.SetPercentage(percent, percent % 2 == 0);
}

} // namespace quorvane
