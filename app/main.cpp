// The program's entry: the application titled "Quorvane", the main window,
// the progress window and the viewer created in that order; only the main
// window is shown, maximised, and the program ends when it closes.
#include "Application.h"
#include "MainForm.h"
#include "ProgressForm.h"
#include "StartUp.h"
#include "ViewImage.h"

int main(int argc, char** argv)
{
    if (const std::optional<int> status = quorvane::AnswerInfoOption(argc, argv, stdout)) return *status;
    quorvane::TApplication app(argc, argv);
    quorvane::ApplyDesktopIdentity(app);
    quorvane::TfrmMain frmMain;
    quorvane::TfrmProgress frmProgress;
    quorvane::TfrmViewer frmViewer;
    // Closing the main window ends the program even while another of the
    // three windows is visible.
    frmProgress.setAttribute(Qt::WA_QuitOnClose, false);
    frmViewer.setAttribute(Qt::WA_QuitOnClose, false);
    frmMain.SetProgressForm(&frmProgress);
    frmMain.SetViewer(&frmViewer);
    app.SetErrorReporter([&frmMain](const QString& message) { frmMain.ShowException(message); });
    frmMain.showMaximized();
    return app.exec();
}
