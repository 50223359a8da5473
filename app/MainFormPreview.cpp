// TfrmMain: the preview pane's widgets — the delay edit, the click modes,
// the "Loading..." indicator, the capture line, the pane's menu — and the
// form-level key. What the pane and the strip show, when, and the group
// mark are the preview controller's; the window forwards the focused row.
#include "CaptureCache.h"
#include "CaptureInfoView.h"
#include "EventHook.h"
#include "FlagScope.h"
#include "MainForm.h"
#include "PathRules.h"
#include "PreviewController.h"
#include "PreviewRules.h"
#include "TextCompare.h"
#include "ViewImage.h"

#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

namespace quorvane {

namespace {

void SetFontColor(QWidget* widget, const QColor& color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, color);
    widget->setPalette(pal);
}

void KeepSpaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

} // namespace

void TfrmMain::setupPreview()
{
    Image->SetColor(Qt::black);
    Image->SetStretchRatio(true);
    Image->SetCenterView(true);
    Image->SetShowEmptyLabel(false);
    Image->SetJPEGPixelFormat(TJPEGPixelFormat::jf24Bit);
    Image->SetJPEGScale(TJPEGScale::jsHalf);
    Image->SetJPEGGrayscale(false);
    Image->SetJPEGPerformance(TJPEGPerformance::jpBestSpeed);
    Image->SetJPEGProgressiveDisplay(true);
    for (QWidget* widget :
         {static_cast<QWidget*>(Image), static_cast<QWidget*>(pnScale), static_cast<QWidget*>(Label1)})
        KeepSpaceWhenHidden(widget);
    // The pane may narrow to nothing: the list side keeps its width.
    for (QWidget* widget : {static_cast<QWidget*>(pnScale), static_cast<QWidget*>(Panel3)})
        widget->setSizePolicy(QSizePolicy::Ignored, widget->sizePolicy().verticalPolicy());

    auto change = [this] { RunGuarded([this] { lvFilesChange(); }); };
    connect(lvFiles->selectionModel(), &QItemSelectionModel::currentChanged, this, change);
    connect(lvFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this, change);
    // The group mark's repaint is no change of the list.
    connect(FModel, &QAbstractItemModel::dataChanged, this,
            [change](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles != QList<int>{Qt::DecorationRole}) change();
            });
    FCaptureCache = std::make_shared<TCaptureCache>();
    FCaptureView = new TCaptureInfoView(
        [cache = FCaptureCache](const std::string& path) {
            cache->LoadOnce(DefaultCaptureCachePath());
            return cache->Info(path);
        },
        this);
    connect(FCaptureView, &TCaptureInfoView::Ready, this, &TfrmMain::CaptureInfoReady);
    // A new list speaks of other files: an answer for the old one is dropped.
    connect(FModel, &QAbstractItemModel::modelReset, FCaptureView, &TCaptureInfoView::Forget);
    new TEventHook(edTime, this, [this](QObject*, QEvent* event) {
        return event->type() == QEvent::KeyPress && edTimeKeyPress(static_cast<QKeyEvent*>(event));
    });
    connect(edTime, &QLineEdit::textChanged, this, &TfrmMain::edTimeChange);
    connect(UpDown1, &TUpDown::PositionChanged, this, &TfrmMain::UpDown1Change);
    // toggled, not clicked: a state restored by the options store reacts
    // the same way as a click.
    connect(raClick, &QRadioButton::toggled, this, [this](bool on) {
        if (on) raClickClick();
    });
    connect(raDblClick, &QRadioButton::toggled, this, [this](bool on) {
        if (on) raDblClickClick();
    });
    connect(ckPreview, &QCheckBox::toggled, this, &TfrmMain::ckPreviewClick);
    connect(Image, &TAdvImage::OnImageLoading, this, &TfrmMain::ImageImageLoading);
    connect(Image, &TAdvImage::OnImageLoaded, this, &TfrmMain::ImageImageLoaded);
    connect(Image, &TAdvImage::OnDblClick, this, &TfrmMain::ImageDblClick);
    connect(PopupMenu2, &QMenu::aboutToShow, this, &TfrmMain::PopupMenu2Popup);
    connect(miView, &QAction::triggered, this, &TfrmMain::miViewClick);
    connect(miPreview, &QAction::triggered, this, &TfrmMain::miPreviewClick);
    connect(miViewFull, &QAction::triggered, this, &TfrmMain::miViewFullClick);
    // The window sees keys before its controls.
    new TEventHook(qApp, this, [this](QObject* watched, QEvent* event) {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        return static_cast<QWidget*>(watched)->window() == this &&
               FormKeyDown(static_cast<QKeyEvent*>(event));
    });
}

void TfrmMain::RequestPreview()
{
    FPreview->RequestPreview();
}

void TfrmMain::RequestSlides()
{
    FPreview->RequestSlides();
}

void TfrmMain::FillSlides()
{
    FPreview->FillSlides();
}

void TfrmMain::HighlightSlide()
{
    FPreview->HighlightSlide();
}

void TfrmMain::ClearSlides()
{
    FPreview->ClearSlides();
}

bool TfrmMain::PendingLoad() const
{
    return FPreview->PendingLoad();
}

QString TfrmMain::PendingFile() const
{
    return QFile::decodeName(QByteArray::fromStdString(FPreview->PendingFile()));
}

int TfrmMain::MarkedIndex() const
{
    return FPreview->MarkedIndex();
}

std::string TfrmMain::RowPath(int row) const
{
    return FModel->Row(row).FullPath();
}

bool TfrmMain::FocusedRowIsPicture() const
{
    const int row = FocusedRow();
    return row >= 0 && IsPictureFile(FModel->Row(row).Name);
}

void TfrmMain::lvFilesChange()
{
    const int focused = FocusedRow();
    if (FIgnoreListChange || focused < 0) return;
    if (focused != FPreview->MarkedIndex()) {
        CheckFocusedRowAgainstDisk();
        FPreview->MarkFocusedGroup();
    }
    if (!FocusedRowIsPicture()) {
        Image->setToolTip(QString());
        FCaptureShown.clear();
        return;
    }
    RequestCaptureInfo();
    if (raClick->isChecked()) {
        FPreview->RequestPreview();
        FPreview->RequestSlides();
    } else {
        FPreview->HighlightSlide();
    }
}

void TfrmMain::RequestCaptureInfo()
{
    if (!FListReady) return; // never while a search rebuilds the list
    const std::string path = RowPath(FocusedRow());
    if (path != FCaptureShown) {
        // Until the new row's answer comes, the preview speaks of no photo.
        Image->setToolTip(QString());
        FCaptureShown.clear();
    }
    FCaptureView->Request(path);
}

void TfrmMain::CaptureInfoReady(const std::string& path, const TCaptureInfo& info)
{
    const QString text = CaptureInfoText(info);
    FModel->SetCaptureNote(path, text);
    const int focused = FocusedRow();
    if (focused < 0 || RowPath(focused) != path) return;
    Image->setToolTip(text);
    FCaptureShown = path;
}

bool TfrmMain::edTimeKeyPress(QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return false;
    const QString text = event->text();
    if (event->key() == Qt::Key_Backspace) return true;
    return !text.isEmpty() && text.at(0).isPrint() && !(text.at(0) >= u'0' && text.at(0) <= u'9');
}

void TfrmMain::edTimeChange()
{
    const QString text = edTime->text();
    const std::optional<int> delay = PreviewDelay(text.toStdString());
    if (!delay) {
        ShowException(QStringLiteral("'%1' is not a valid integer value").arg(text));
        return;
    }
    Timer1->setInterval(*delay);
    UpDown1->SetPosition(text.toInt());
}

void TfrmMain::UpDown1Change(int position)
{
    bool ok = false;
    if (edTime->text().toInt(&ok) != position || !ok) edTime->setText(QString::number(position));
}

void TfrmMain::raClickClick()
{
    edTime->setEnabled(true);
    UpDown1->setEnabled(true);
}

void TfrmMain::raDblClickClick()
{
    edTime->setEnabled(false);
    UpDown1->setEnabled(false);
    Timer1->stop();
}

void TfrmMain::ckPreviewClick()
{
    const bool on = ckPreview->isChecked();
    Image->setVisible(on);
    pnScale->setVisible(on);
    Image->LoadImage(QString());
    Panel2->SetCaption(QStringLiteral("不看也罷"));
}

void TfrmMain::ImageImageLoading()
{
    SetStatusText(0, QStringLiteral("Loading"), false);
    Label1->show();
    SetFontColor(Label4, QColor(255, 255, 0));
}

void TfrmMain::ImageImageLoaded()
{
    // Shown while any picture the user waits for is under way.
    if (Image->Loading() || (FViewer && FViewer->Picture()->Loading())) return;
    SetStatusText(0, QString(), false);
    Label1->hide();
    SetFontColor(Label4, QColor(0, 128, 128));
}

void TfrmMain::ImageDblClick()
{
    if (!Image->NativeFileName().empty()) OpenViewer(Image->NativeFileName());
}

void TfrmMain::miViewClick()
{
    ImageDblClick();
}

void TfrmMain::PopupMenu2Popup()
{
    miView->setEnabled(!Image->FileName().isEmpty());
}

void TfrmMain::miPreviewClick()
{
    if (FocusedRowIsPicture()) RequestPreview();
}

void TfrmMain::miViewFullClick()
{
    if (FocusedRowIsPicture()) OpenViewer(RowPath(FocusedRow()));
}

bool TfrmMain::FormKeyDown(QKeyEvent* event)
{
    // Esc stops the work under way from anywhere in the window, not only
    // from the progress window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        (SearchRunning() || FileTaskRunning())) {
        CancelSearch();
        return true;
    }
    if (event->key() != Qt::Key_X || !(event->modifiers() & Qt::AltModifier)) return false;
    close();
    return true;
}

} // namespace quorvane
