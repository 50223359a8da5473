// TfrmMain: the slides strip — five thumbnails of the focused row's group
// under the result list, the orange frame of the focused row's slide, and
// a press on a slide that moves the list's focus to its file.
// Invariant: a shown slide holds the full path of a list row in FileName; a
// fill reloads only the slides whose file changed.
#include "EventHook.h"
#include "FlagScope.h"
#include "MainForm.h"
#include "PathRules.h"
#include "PreviewController.h"
#include "PreviewRules.h"

#include <QFile>
#include <QHBoxLayout>
#include <QMenu>

namespace quorvane {

namespace {

constexpr int kSlidesBorderWidth = 5;
const QColor kCurrentSlideColor(255, 128, 0);

// The strip's plan for one fill: which rows the five slides show.
struct TSlidePlan {
    bool Shown = false;
    bool Current = false;
    std::string Path; // the row's exact path bytes
};

} // namespace

void TfrmMain::setupSlides()
{
    TPanel* const panels[5] = {pnImage1, pnImage2, pnImage3, pnImage4, pnImage5};
    for (int k = 0; k < 5; ++k) {
        auto* layout = new QHBoxLayout(panels[k]);
        // The panel's frame and its 5-pixel border, which carries the colour.
        const int inset = panels[k]->frameWidth() + kSlidesBorderWidth;
        layout->setContentsMargins(inset, inset, inset, inset);
        auto* slide = new TAdvImage(panels[k]);
        slide->setObjectName(QStringLiteral("AdvImage%1").arg(k + 1));
        slide->SetColor(Qt::black);
        slide->SetStretchRatio(true);
        slide->SetCenterView(true);
        slide->SetShowEmptyLabel(false);
        slide->SetJPEGPixelFormat(TJPEGPixelFormat::jf24Bit);
        slide->SetJPEGScale(TJPEGScale::jsEighth);
        slide->SetJPEGGrayscale(true);
        slide->SetJPEGPerformance(TJPEGPerformance::jpBestSpeed);
        slide->SetJPEGProgressiveDisplay(false);
        slide->SetLoadPriority(TPictureLoader::EPriority::Visible);
        slide->setContextMenuPolicy(Qt::CustomContextMenu);
        slide->hide();
        layout->addWidget(slide);
        FSlides[static_cast<std::size_t>(k)] = slide;
        FSlideCaptions[static_cast<std::size_t>(k)] = panels[k]->Caption();
        panels[k]->SetColor(palette().color(QPalette::Button));
        panels[k]->setMinimumWidth(0);
        connect(slide, &TAdvImage::OnMouseDown, this,
                [this](TAdvImage* sender) { RunGuarded([this, sender] { SlideImageMouseDown(sender); }); });
        connect(slide, &TAdvImage::OnDblClick, this, &TfrmMain::SlideImageDblClick);
        connect(slide, &QWidget::customContextMenuRequested, this,
                [this, slide](const QPoint& at) { PopupMenu1->popup(slide->mapToGlobal(at)); });
    }
    pnImage5->setSizePolicy(QSizePolicy::Ignored, pnImage5->sizePolicy().verticalPolicy());
    new TEventHook(pnSlides, this, [this](QObject*, QEvent* event) {
        if (event->type() == QEvent::Resize) pnSlidesResize();
        return false;
    });
    connect(ckShowSlides, &QCheckBox::toggled, this, &TfrmMain::ckShowSlidesClick);
    setupPrefetch();
}

void TfrmMain::setupPrefetch()
{
    TPreviewController::TListView view;
    view.Rows = [this]() -> const std::vector<TFileRecord>& { return FModel->Rows(); };
    view.FocusedRow = [this] { return FocusedRow(); };
    view.Criteria = [this] { return Criteria(); };
    view.SlidesShown = [this] { return ckShowSlides->isChecked(); };
    FPreviewController = new TPreviewController(Image, FSlides, std::move(view), this);
    connect(FModel, &QAbstractItemModel::modelReset, FPreviewController,
            &TPreviewController::ForgetPrefetches);
}

void TfrmMain::SetSlidePanelColor(int k, bool current)
{
    TPanel* const panels[5] = {pnImage1, pnImage2, pnImage3, pnImage4, pnImage5};
    panels[k - 1]->SetColor(current ? kCurrentSlideColor : palette().color(QPalette::Button));
}

void TfrmMain::FillSlides()
{
    if (!ckShowSlides->isChecked() || !FocusedRowIsPicture()) return;
    const int focused = FocusedRow();
    const TSlideWindow window = ComputeSlideWindow(FModel->Rows(), focused, Criteria());
    std::array<TSlidePlan, 5> plan;
    for (int k = 0, row = window.Start; k < 5 && row <= window.Last; ++k, ++row)
        plan[static_cast<std::size_t>(k)] = {true, row == focused, RowPath(row)};
    bool anyShown = false;
    for (int k = 1; k <= 5; ++k) {
        const TSlidePlan& slide = plan[static_cast<std::size_t>(k - 1)];
        TAdvImage* image = SlideImage(k);
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
    for (TPanel* panel : {pnImage1, pnImage2, pnImage3, pnImage4, pnImage5})
        panel->SetCaption(QString());
}

void TfrmMain::HighlightSlide()
{
    if (!ckShowSlides->isChecked() || !FocusedRowIsPicture()) return;
    const std::string path = RowPath(FocusedRow());
    for (int k = 1; k <= 5; ++k)
        SetSlidePanelColor(k, SlideImage(k)->NativeFileName() == path);
}

void TfrmMain::ClearSlides()
{
    TPanel* const panels[5] = {pnImage1, pnImage2, pnImage3, pnImage4, pnImage5};
    for (int k = 1; k <= 5; ++k) {
        SlideImage(k)->hide();
        SlideImage(k)->LoadImage(QString());
        SetSlidePanelColor(k, false);
        panels[k - 1]->SetCaption(FSlideCaptions[static_cast<std::size_t>(k - 1)]);
    }
}

void TfrmMain::pnSlidesResize()
{
    const int width = std::max(0, SlidePanelWidth(pnSlides->width(), kSlidesBorderWidth));
    for (TPanel* panel : {pnImage1, pnImage2, pnImage3, pnImage4})
        panel->setFixedWidth(width);
}

void TfrmMain::ckShowSlidesClick()
{
    if (ckShowSlides->isChecked()) {
        pnSlides->show();
        return;
    }
    pnSlides->hide();
    ClearSlides();
}

void TfrmMain::SlideImageMouseDown(TAdvImage* sender)
{
    TFlagScope ignore(FIgnoreListChange);
    const std::string path = sender->NativeFileName();
    if (sender->FileName().trimmed().isEmpty()) return;
    const int k = static_cast<int>(std::find(FSlides.begin(), FSlides.end(), sender) - FSlides.begin()) + 1;
    for (int i = 1; i <= 5; ++i)
        SetSlidePanelColor(i, false);
    const auto& rows = FModel->Rows();
    const int count = static_cast<int>(rows.size());
    const int focused = FocusedRow();
    const int first = focused < 0 ? 0 : std::max(focused - 4, 0);
    const int last = focused < 0 ? count - 1 : std::min(count - 1, focused + 4);
    DeselectAll();
    auto matches = [&](int row) { return rows[static_cast<std::size_t>(row)].FullPath() == path; };
    int found = -1;
    for (int row = first; row <= last && found < 0; ++row)
        if (matches(row)) found = row;
    for (int row = 0; row < count && found < 0; ++row)
        if (matches(row)) found = row;
    if (found >= 0) {
        lvFiles->selectionModel()->setCurrentIndex(FModel->index(found, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        SetSlidePanelColor(k, true);
    }
    if (FocusedRow() >= 0)
        lvFiles->scrollTo(FModel->index(FocusedRow(), 0), QAbstractItemView::EnsureVisible);
}

void TfrmMain::SlideImageDblClick(TAdvImage* sender)
{
    OpenViewer(sender->NativeFileName());
}

} // namespace quorvane
