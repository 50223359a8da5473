// TfrmMain: the "Photos" page of the option tabs: "Turn photos upright" (on
// by default; every picture control of the process and the similar search
// follow it), the other ways of the similar search, "Also turned or
// mirrored copies", "Also cropped copies" and "Same pixels", "Colour slides" (off: the slides
// are grey) and the memory kept for decoded pictures. The original two
// pages have no free row, so these options have a page of their own.
// Invariant: TAdvImage::TurnUpright() equals ckTurnUpright's tick, and every
// slide's JPEG grey setting is the opposite of ckColourSlides' tick.
#include "AdvImage.h"
#include "MainForm.h"
#include "PictureLoader.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QCheckBox* AddOption(QWidget* page, const char* name)
{
    auto* box = new QCheckBox(page);
    box->setObjectName(QLatin1String(name));
    page->layout()->addWidget(box);
    return box;
}

} // namespace

void TfrmMain::setupFormats()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tbsPhotos"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 4, 4, 4);
    layout->setSpacing(2);
    ckTurnUpright = AddOption(page, "ckTurnUpright");
    ckTurns = AddOption(page, "ckTurns");
    ckCrops = AddOption(page, "ckCrops");
    ckSamePixels = AddOption(page, "ckSamePixels");
    ckColourSlides = AddOption(page, "ckColourSlides");
    setupPictureCacheOption(page);
    layout->addStretch(1);
    pgOptions->addTab(page, QStringLiteral("Photos"));
    ckTurnUpright->setChecked(true);
    TAdvImage::SetTurnUpright(true);
    connect(ckTurnUpright, &QCheckBox::toggled, this, &TfrmMain::ckTurnUprightClick);
    connect(ckColourSlides, &QCheckBox::toggled, this, &TfrmMain::ckColourSlidesClick);
}

void TfrmMain::setupPictureCacheOption(QWidget* page)
{
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(page);
    label->setObjectName(QStringLiteral("lbPictureCache"));
    edPictureCache = new QLineEdit(page);
    edPictureCache->setObjectName(QStringLiteral("edPictureCache"));
    edPictureCache->setValidator(new QIntValidator(kMinPictureCacheMiB, kMaxPictureCacheMiB, edPictureCache));
    edPictureCache->setMaximumWidth(60);
    edPictureCache->setText(QString::number(TPictureLoader::kDefaultCacheBytes >> 20));
    label->setBuddy(edPictureCache);
    row->addWidget(label);
    row->addWidget(edPictureCache);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(page->layout())->addLayout(row);
    connect(edPictureCache, &QLineEdit::textChanged, this, &TfrmMain::edPictureCacheChange);
}

void TfrmMain::edPictureCacheChange()
{
    // A value outside the range (while it is typed) leaves the bound as it was.
    bool ok = false;
    const int mib = edPictureCache->text().toInt(&ok);
    if (ok && mib >= kMinPictureCacheMiB && mib <= kMaxPictureCacheMiB)
        TPictureLoader::Shared().SetCacheLimit(std::int64_t(mib) << 20);
}

void TfrmMain::ckColourSlidesClick()
{
    // The slides on show are drawn again in the new colours.
    for (TAdvImage* slide : FSlides) {
        if (!slide) continue;
        slide->SetJPEGGrayscale(!ckColourSlides->isChecked());
        if (!slide->NativeFileName().empty()) slide->LoadFile(slide->NativeFileName());
    }
}

void TfrmMain::ckTurnUprightClick()
{
    TAdvImage::SetTurnUpright(ckTurnUpright->isChecked());
    // The focused picture is drawn again the new way.
    if (FListReady) RequestPreview();
}

} // namespace quorvane
