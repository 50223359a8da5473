// The entries of the "Keep in each group:" list in the order of TKeepRule.
// The English texts are the source strings of the translation (context
// "frmMain", comment "cbKeepRule").
#pragma once

#include "KeepRules.h"

#include <QCoreApplication>
#include <QString>
#include <array>

namespace quorvane {

inline constexpr std::array<const char*, 7> kKeepRuleSources{
    QT_TRANSLATE_NOOP("frmMain", "First listed"),  QT_TRANSLATE_NOOP("frmMain", "Newest"),
    QT_TRANSLATE_NOOP("frmMain", "Oldest"),        QT_TRANSLATE_NOOP("frmMain", "Largest"),
    QT_TRANSLATE_NOOP("frmMain", "Shortest path"), QT_TRANSLATE_NOOP("frmMain", "Protected"),
    QT_TRANSLATE_NOOP("frmMain", "Oldest photo"),
};
static_assert(kKeepRuleSources.size() == std::size_t(kKeepRuleCount), "one entry per keep rule");

// Entry k of the list in the installed interface language.
inline QString KeepRuleCaption(std::size_t k)
{
    return QCoreApplication::translate("frmMain", kKeepRuleSources[k], "cbKeepRule");
}

} // namespace quorvane
