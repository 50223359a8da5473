// TPreviewController: the rules are PreviewRules' plain functions (the group
// mark's range, the five slides, the prefetch plan); here they meet the
// widgets and the picture loader. Each prefetch is asked for with the
// request its control would make, so the later load finds it in the
// loader's cache (or joins its decode under way).
#include "PreviewController.h"

#include "AdvImage.h"
#include "FileListModel.h"
#include "Panel.h"
#include "PathRules.h"
#include "PictureLoader.h"
#include "PreviewRules.h"
#include "TextCompare.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTimer>

namespace quorvane {

namespace {

const QColor kCurrentSlideColor(255, 128, 0);

// The strip's plan for one fill: which rows the five slides show.
struct TSlidePlan {
    bool Shown = false;
    bool Current = false;
    std::string Path; // the row's exact path bytes
};

} // namespace

TPreviewController::TPreviewController(TWidgets widgets, TListView view, QObject* parent)
    : QObject(parent), FWidgets(widgets), FView(std::move(view))
{
    connect(FWidgets.Image, &TAdvImage::OnImageLoaded, this, &TPreviewController::PreviewShown);
    connect(FWidgets.Delay, &QTimer::timeout, this, &TPreviewController::Tick);
    for (QRadioButton* button : FWidgets.Scales)
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on) ScaleChosen();
        });
}

std::string TPreviewController::RowPath(int row) const
{
    return FView.Model->Row(row).FullPath();
}

bool TPreviewController::FocusedRowIsPicture() const
{
    const int row = FView.FocusedRow();
    return row >= 0 && row < FView.Model->rowCount() && IsPictureFile(FView.Model->Row(row).Name);
}

void TPreviewController::MarkFocusedGroup()
{
    FMarkedIndex = FView.FocusedRow();
    // A row whose file is gone or changed shows no mark: the model checks.
    const TRowRange range = MarkGroupRange(FView.Model->Rows(), FMarkedIndex, FView.Criteria());
    FView.Model->SetGroupMark(range.First, range.Last);
}

void TPreviewController::ResetGroupMarks()
{
    MarkFocusedGroup();
}

void TPreviewController::RequestPreview()
{
    if (!FView.ListReady() || !FWidgets.Preview->isChecked() || !FocusedRowIsPicture()) return;
    const std::string path = RowPath(FView.FocusedRow());
    if (SameFolded(path, FWidgets.Image->NativeFileName())) return;
    if (!FWidgets.SingleClick->isChecked()) {
        FWidgets.Image->LoadFile(path);
        return;
    }
    FWidgets.Delay->start(); // a full interval counts from now
    FPendingLoad = true;
    FPendingFile = path;
}

void TPreviewController::RequestSlides()
{
    if (!FWidgets.SingleClick->isChecked()) {
        FillSlides();
        return;
    }
    if (!FWidgets.Preview->isChecked()) FWidgets.Delay->start();
    FPendingLoad = true;
}

void TPreviewController::Tick()
{
    FWidgets.Delay->stop();
    if (!FPendingLoad) return;
    FPendingLoad = false;
    if (FWidgets.Preview->isChecked()) FWidgets.Image->LoadFile(FPendingFile);
    if (FWidgets.ShowSlides->isChecked()) FillSlides();
}

void TPreviewController::ScaleChosen()
{
    const TJPEGScale scales[] = {TJPEGScale::jsFullSize, TJPEGScale::jsHalf, TJPEGScale::jsQuarter,
                                 TJPEGScale::jsEighth};
    for (std::size_t k = 0; k < FWidgets.Scales.size(); ++k)
        if (FWidgets.Scales[k]->isChecked()) FWidgets.Image->SetJPEGScale(scales[k]);
}

void TPreviewController::SetSlidePanelColor(int k, bool current)
{
    FWidgets.SlidePanels[static_cast<std::size_t>(k - 1)]->SetColor(current ? kCurrentSlideColor
                                                                            : FWidgets.PanelColor);
}

void TPreviewController::FillSlides()
{
    if (!FWidgets.ShowSlides->isChecked() || !FocusedRowIsPicture()) return;
    const int focused = FView.FocusedRow();
    const TSlideWindow window = ComputeSlideWindow(FView.Model->Rows(), focused, FView.Criteria());
    std::array<TSlidePlan, 5> plan;
    for (int k = 0, row = window.Start; k < 5 && row <= window.Last; ++k, ++row)
        plan[static_cast<std::size_t>(k)] = {true, row == focused, RowPath(row)};
    bool anyShown = false;
    for (int k = 1; k <= 5; ++k) {
        const TSlidePlan& slide = plan[static_cast<std::size_t>(k - 1)];
        TAdvImage* image = FWidgets.Slides[static_cast<std::size_t>(k - 1)];
        if (!slide.Shown) {
            image->hide();
            image->LoadImage(QString());
            SetSlidePanelColor(k, false);
            continue;
        }
        if (image->NativeFileName() != slide.Path) image->LoadFile(slide.Path);
        SetSlidePanelColor(k, slide.Current);
        image->show();
        anyShown = true;
    }
    if (!anyShown) return;
    for (TPanel* panel : FWidgets.SlidePanels)
        panel->SetCaption(QString());
}

void TPreviewController::HighlightSlide()
{
    if (!FWidgets.ShowSlides->isChecked() || !FocusedRowIsPicture()) return;
    const std::string path = RowPath(FView.FocusedRow());
    for (int k = 1; k <= 5; ++k)
        SetSlidePanelColor(k, FWidgets.Slides[static_cast<std::size_t>(k - 1)]->NativeFileName() == path);
}

void TPreviewController::ClearSlides()
{
    for (int k = 1; k <= 5; ++k) {
        TAdvImage* slide = FWidgets.Slides[static_cast<std::size_t>(k - 1)];
        slide->hide();
        slide->LoadImage(QString());
        SetSlidePanelColor(k, false);
        FWidgets.SlidePanels[static_cast<std::size_t>(k - 1)]->SetCaption(
            FWidgets.SlideCaptions[static_cast<std::size_t>(k - 1)]);
    }
}

void TPreviewController::ForgetSlidesOf(const std::string& path)
{
    bool anyCleared = false;
    for (TAdvImage* slide : FWidgets.Slides) {
        if (slide->NativeFileName() != path) continue;
        slide->hide();
        slide->LoadImage(QString());
        anyCleared = true;
    }
    if (!anyCleared) return;
    for (int k = 1; k <= 5; ++k)
        SetSlidePanelColor(k, false);
}

void TPreviewController::ForgetPrefetches()
{
    for (const std::uint64_t ticket : FPrefetches)
        FWidgets.Image->Loader().Cancel(ticket);
    FPrefetches.clear();
}

void TPreviewController::PreviewShown()
{
    ForgetPrefetches();
    const std::vector<TFileRecord>& rows = FView.Model->Rows();
    const int focused = FView.FocusedRow();
    // Only the focused row's own picture starts a plan: a preview emptied
    // or left over from another row says nothing of where the user is.
    if (!FWidgets.Image->HasPicture() || focused < 0 || focused >= static_cast<int>(rows.size()) ||
        rows[static_cast<std::size_t>(focused)].FullPath() != FWidgets.Image->NativeFileName())
        return;
    const TPrefetchPlan plan = PlanPrefetch(rows, focused, FView.Criteria());
    Prefetch(FWidgets.Image, plan.Previews);
    if (FWidgets.ShowSlides->isChecked()) Prefetch(FWidgets.Slides[0], plan.Slides);
}

void TPreviewController::Prefetch(TAdvImage* like, const std::vector<int>& rows)
{
    TPictureLoader& loader = like->Loader();
    const std::vector<TFileRecord>& all = FView.Model->Rows();
    for (const int row : rows) {
        const TPictureRequest request = like->RequestFor(all[static_cast<std::size_t>(row)].FullPath());
        if (request.Identity.Size < 0 || loader.Cached(request)) continue;
        FPrefetches.push_back(loader.Request(request, TPictureLoader::EPriority::Prefetch));
    }
}

} // namespace quorvane
