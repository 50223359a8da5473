// TPreviewController: the plan comes from PlanPrefetch; each row is asked for
// with the request its control would make, so the later load finds it in
// the loader's cache (or joins its decode under way).
#include "PreviewController.h"

#include "AdvImage.h"
#include "PictureLoader.h"
#include "PreviewRules.h"

namespace quorvane {

TPreviewController::TPreviewController(TAdvImage* preview, std::array<TAdvImage*, 5> slides, TListView view,
                                       QObject* parent)
    : QObject(parent), FPreview(preview), FSlides(slides), FView(std::move(view))
{
    connect(FPreview, &TAdvImage::OnImageLoaded, this, &TPreviewController::PreviewShown);
}

void TPreviewController::ForgetPrefetches()
{
    for (const std::uint64_t ticket : FPrefetches)
        FPreview->Loader().Cancel(ticket);
    FPrefetches.clear();
}

void TPreviewController::PreviewShown()
{
    ForgetPrefetches();
    const std::vector<TFileRecord>& rows = FView.Rows();
    const int focused = FView.FocusedRow();
    // Only the focused row's own picture starts a plan: a preview emptied
    // or left over from another row says nothing of where the user is.
    if (!FPreview->HasPicture() || focused < 0 || focused >= static_cast<int>(rows.size()) ||
        rows[static_cast<std::size_t>(focused)].FullPath() != FPreview->NativeFileName())
        return;
    const TPrefetchPlan plan = PlanPrefetch(rows, focused, FView.Criteria());
    Prefetch(FPreview, plan.Previews);
    if (FView.SlidesShown()) Prefetch(FSlides[0], plan.Slides);
}

void TPreviewController::Prefetch(TAdvImage* like, const std::vector<int>& rows)
{
    TPictureLoader& loader = like->Loader();
    const std::vector<TFileRecord>& all = FView.Rows();
    for (const int row : rows) {
        const TPictureRequest request = like->RequestFor(all[static_cast<std::size_t>(row)].FullPath());
        if (request.Identity.Size < 0 || loader.Cached(request)) continue;
        FPrefetches.push_back(loader.Request(request, TPictureLoader::EPriority::Prefetch));
    }
}

} // namespace quorvane
