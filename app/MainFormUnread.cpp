// TfrmMain: the files and folders a search could not read. The report is
// made with the list's menu and filled by every search that ends; panel 1
// then says how many were left out.
#include "MainForm.h"
#include "NotReadReport.h"

namespace quorvane {

void TfrmMain::setupNotRead()
{
    FNotRead = new TNotReadReport(
        PopupMenu1, [this]() -> IUserMessages& { return *FMessages; }, this);
}

void TfrmMain::ShowNotRead(std::vector<TNotRead> entries)
{
    FNotRead->SetEntries(std::move(entries));
    const QString count = NotReadCountText(FNotRead->Entries());
    if (!count.isEmpty()) SetStatusText(1, StatusText(1) + QStringLiteral("   ") + count, true);
}

} // namespace quorvane
