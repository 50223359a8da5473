// The texts of the similar-pictures controls in both interface languages, in
// one place so the language switch and the tests read the same strings.
#pragma once

namespace quorvane {

struct TSimilarTexts {
    const char* Caption;        // ckSimilar
    const char* Hint;           // ckSimilar's hint
    const char* ToleranceLabel; // before edTolerance
    const char* MoreFormats;    // ckMoreFormats
};

inline constexpr TSimilarTexts kSimilarTextsEnglish{"Similar pictures",
                                                    "Find the same picture at another size or quality",
                                                    "Tolerance:", "Also PNG, WebP and TIFF"};
inline constexpr TSimilarTexts kSimilarTextsChinese{"相似圖片", "找出不同大小或品質的同一張圖片",
                                                    "容許差異:", "也包括 PNG、WebP 與 TIFF"};

// Ends status panel 1 after a similar-pictures search: "   Groups: 3".
inline constexpr const char* kSimilarGroupsText = "   Groups: ";

} // namespace quorvane
