// TfrmMain: the slides strip's widgets — five thumbnails of the focused
// row's group under the result list — and a press on a slide, which moves
// the list's focus to its file. What the strip shows is the preview
// controller's.
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
    setupPreviewController();
}

void TfrmMain::setupPreviewController()
{
    TPreviewController::TWidgets widgets;
    widgets.Image = Image;
    widgets.Slides = FSlides;
    widgets.SlidePanels = {pnImage1, pnImage2, pnImage3, pnImage4, pnImage5};
    for (std::size_t k = 0; k < 5; ++k)
        widgets.SlideCaptions[k] = widgets.SlidePanels[k]->Caption();
    widgets.Delay = Timer1;
    widgets.Preview = ckPreview;
    widgets.ShowSlides = ckShowSlides;
    widgets.SingleClick = raClick;
    widgets.Scales = {rbFullSize, rbHalf, rbQuarter, rbEighth};
    widgets.PanelColor = palette().color(QPalette::Button);
    TPreviewController::TListView view;
    view.Model = FModel;
    view.FocusedRow = [this] { return FocusedRow(); };
    view.Criteria = [this] { return Criteria(); };
    view.ListReady = [this] { return FListReady; };
    FPreview = new TPreviewController(widgets, std::move(view), this);
    connect(FModel, &QAbstractItemModel::modelReset, FPreview, [this] {
        FPreview->ForgetPrefetches();
        FPreview->ForgetMark();
    });
    // Rows that move or go keep their marks: the marked group follows them.
    connect(FModel, &QAbstractItemModel::layoutChanged, FPreview, &TPreviewController::ResetGroupMarks);
    connect(FModel, &QAbstractItemModel::rowsRemoved, FPreview, &TPreviewController::ResetGroupMarks);
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
    FPreview->ClearSlides();
}

void TfrmMain::SlideImageMouseDown(TAdvImage* sender)
{
    TFlagScope ignore(FIgnoreListChange);
    const std::string path = sender->NativeFileName();
    if (sender->FileName().trimmed().isEmpty()) return;
    const int k = static_cast<int>(std::find(FSlides.begin(), FSlides.end(), sender) - FSlides.begin()) + 1;
    for (int i = 1; i <= 5; ++i)
        FPreview->SetSlidePanelColor(i, false);
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
        FPreview->SetSlidePanelColor(k, true);
    }
    if (FocusedRow() >= 0)
        lvFiles->scrollTo(FModel->index(FocusedRow(), 0), QAbstractItemView::EnsureVisible);
}

void TfrmMain::SlideImageDblClick(TAdvImage* sender)
{
    OpenViewer(sender->NativeFileName());
}

} // namespace quorvane
