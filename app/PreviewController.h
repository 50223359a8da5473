// TPreviewController: the preview pane and the slides strip beside the
// result list. It owns the delay that debounces focus moves, the plan of the
// five slides, the scale buttons' effect, the focused group's mark, and the
// decodes asked for ahead once the focused row's preview is shown; the
// window forwards the focused row and keeps the widgets.
// Invariants: FPendingLoad is true only while the delay timer runs, and a
// tick asks for the last path asked for; at most one plan's prefetches are
// out (a new plan takes back those of the last); a shown slide holds the
// full path of a list row, and a fill reloads only the slides whose file
// changed.
#pragma once

#include "SearchCriteria.h"
#include "TFileRecord.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QRadioButton;
class QTimer;

namespace quorvane {

class TAdvImage;
class TFileListModel;
class TPanel;

class TPreviewController : public QObject {
    Q_OBJECT

  public:
    // The widgets the controller drives; the window owns them.
    struct TWidgets {
        TAdvImage* Image = nullptr;
        std::array<TAdvImage*, 5> Slides{};
        std::array<TPanel*, 5> SlidePanels{};
        QTimer* Delay = nullptr;
        QCheckBox* Preview = nullptr;
        QCheckBox* ShowSlides = nullptr;
        QRadioButton* SingleClick = nullptr;
        // Full size, 1/2, 1/4 and 1/8.
        std::array<QRadioButton*, 4> Scales{};
        QColor PanelColor;                    // a slide panel's colour when it is not the focused row's
        std::array<QString, 5> SlideCaptions; // the empty strip's captions
    };
    // What the controller reads of the window, at the moment of asking.
    struct TListView {
        TFileListModel* Model = nullptr;
        std::function<int()> FocusedRow;
        std::function<TSearchCriteria()> Criteria;
        std::function<bool()> ListReady;
    };

    TPreviewController(TWidgets widgets, TListView view, QObject* parent = nullptr);

    // The focus settled on another row: its group is marked.
    void MarkFocusedGroup();
    // After a sort or a removal the marked rows may no longer stand
    // together: the focused row's group is marked again.
    void ResetGroupMarks();
    // A new list: no row is marked.
    void ForgetMark() { FMarkedIndex = -1; }
    int MarkedIndex() const { return FMarkedIndex; }

    // The focused picture row's preview and slides: at once in double-click
    // mode, after the delay in single-click mode.
    void RequestPreview();
    void RequestSlides();
    void FillSlides();
    // Double-click mode: only the focused row's slide frame moves.
    void HighlightSlide();
    // Empties the strip (the end of every rebuild of the list).
    void ClearSlides();
    // Hides and empties every slide showing path (a deleted file).
    void ForgetSlidesOf(const std::string& path);
    void SetSlidePanelColor(int k, bool current);
    // The scale buttons: the next preview decodes at the chosen scale.
    void ScaleChosen();
    // Takes back the prefetches out (a new list, the preview switched off).
    void ForgetPrefetches();

    bool PendingLoad() const { return FPendingLoad; }
    const std::string& PendingFile() const { return FPendingFile; }
    // The prefetches of the last plan, in the order they were asked for.
    const std::vector<std::uint64_t>& Prefetches() const { return FPrefetches; }

  private:
    void Tick();
    void PreviewShown();
    void Prefetch(TAdvImage* like, const std::vector<int>& rows);
    bool FocusedRowIsPicture() const;
    std::string RowPath(int row) const;

    TWidgets FWidgets;
    TListView FView;
    int FMarkedIndex = -1;
    bool FPendingLoad = false;
    std::string FPendingFile;
    std::vector<std::uint64_t> FPrefetches;
};

} // namespace quorvane
