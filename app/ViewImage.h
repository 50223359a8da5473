// TfrmViewer: the frameless full-screen picture viewer. Created hidden at
// start and kept until the end; for now it is an empty black window.
#pragma once

#include <QWidget>

namespace quorvane {

class TfrmViewer : public QWidget {
    Q_OBJECT

  public:
    explicit TfrmViewer(QWidget* parent = nullptr);
};

} // namespace quorvane
