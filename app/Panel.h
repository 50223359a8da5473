// TPanel: a framed panel that fills its own background and draws a caption
// centred under its children, the way the design's panels do (the black
// preview pane and the five slide panels show a large caption while nothing
// covers it). Colour and caption font belong to the panel alone: children
// keep the ordinary palette and font.
#pragma once

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QString>

namespace quorvane {

class TPanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString caption READ Caption WRITE SetCaption)

  public:
    explicit TPanel(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    // Background colour; an invalid colour means the window's ordinary one.
    void SetColor(const QColor& color);
    QColor Color() const;
    void SetCaptionFont(const QFont& font);
    QFont CaptionFont() const { return FCaptionFont; }
    void SetCaptionColor(const QColor& color);
    QColor CaptionColor() const { return FCaptionColor; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString FCaption;
    QColor FColor;
    QFont FCaptionFont;
    QColor FCaptionColor = Qt::black;
};

} // namespace quorvane
