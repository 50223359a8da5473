// TPreviewController: what the preview pane and the slides strip ask of the
// picture loader beyond the focused row: once the focused row's preview is
// shown, the pictures the user is likely to look at next are decoded ahead,
// at low priority, exactly as the preview and the slides will ask for them.
// Invariant: at most one plan's prefetches are out; a new plan takes back
// those of the last.
#pragma once

#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace quorvane {

class TAdvImage;

class TPreviewController : public QObject {
    Q_OBJECT

  public:
    // What the controller reads of the window, at the moment of asking.
    struct TListView {
        std::function<const std::vector<TFileRecord>&()> Rows;
        std::function<int()> FocusedRow;
        std::function<TSearchCriteria()> Criteria;
        std::function<bool()> SlidesShown;
    };

    TPreviewController(TAdvImage* preview, std::array<TAdvImage*, 5> slides, TListView view,
                       QObject* parent = nullptr);

    // Takes back the prefetches out (a new list, the preview switched off).
    void ForgetPrefetches();
    // The prefetches of the last plan, in the order they were asked for.
    const std::vector<std::uint64_t>& Prefetches() const { return FPrefetches; }

  private:
    void PreviewShown();
    void Prefetch(TAdvImage* like, const std::vector<int>& rows);

    TAdvImage* FPreview;
    std::array<TAdvImage*, 5> FSlides;
    TListView FView;
    std::vector<std::uint64_t> FPrefetches;
};

} // namespace quorvane
