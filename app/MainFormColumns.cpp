// TfrmMain: the list's added columns (Group, Copies, Dimensions), hidden
// until chosen from the header's menu; the choice is kept with the options.
#include "CaptureCache.h"
#include "MainForm.h"
#include "PictureSize.h"

#include <QHeaderView>
#include <QMenu>

namespace quorvane {

void TfrmMain::setupOptionalColumns()
{
    // Width and height come from the capture info when a photo has it (the
    // upright size), else from the picture's header; read off this thread.
    FDimensions = new TDimensionsSource(
        [cache = FCaptureCache](const std::string& path) {
            cache->LoadOnce(DefaultCaptureCachePath());
            const TCaptureInfo info = cache->Info(path);
            if (info.Width != 0 && info.Height != 0) return TPictureDimensions{info.Width, info.Height};
            return PictureHeaderDimensions(path);
        },
        this);
    FModel->SetDimensionsSource(FDimensions);

    QHeaderView* header = lvFiles->header();
    const int widths[] = {50, 50, 90};
    HeaderMenu = new QMenu(header);
    HeaderMenu->setObjectName(QStringLiteral("HeaderMenu"));
    const char* names[] = {"ckColumnGroup", "ckColumnCopies", "ckColumnDimensions"};
    for (int k = 0; k < 3; ++k) {
        const int column = TFileListModel::kStandardColumns + k;
        header->resizeSection(column, widths[k]);
        header->setSectionHidden(column, true);
        // The stored choice lives in a hidden check box, like the other
        // options the pages have no room for.
        auto* stored = new QCheckBox(ckNoRecycle->parentWidget());
        stored->setObjectName(QString::fromLatin1(names[k]));
        stored->hide();
        ckColumns[k] = stored;
        QAction* entry = HeaderMenu->addAction(OptionalColumnCaption(column));
        entry->setObjectName(QStringLiteral("miColumn%1").arg(k));
        entry->setCheckable(true);
        miColumns[k] = entry;
        connect(entry, &QAction::toggled, stored, &QCheckBox::setChecked);
        connect(stored, &QCheckBox::toggled, this, [this, header, entry, column](bool shown) {
            entry->setChecked(shown);
            header->setSectionHidden(column, !shown);
        });
    }
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this,
            [this, header](const QPoint& at) { HeaderMenu->popup(header->mapToGlobal(at)); });
}

void TfrmMain::ApplyColumnTexts()
{
    for (int k = 0; k < 3; ++k)
        if (miColumns[k]) miColumns[k]->setText(OptionalColumnCaption(TFileListModel::kStandardColumns + k));
    if (FModel) FModel->RetranslateHeaders();
}

} // namespace quorvane
