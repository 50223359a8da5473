// TfrmMain: construction and the window's own events. The list handlers
// live in MainFormList.cpp, the two searches in MainFormSearch.cpp.
#include "MainForm.h"

#include "AppMessages.h"
#include "CaptureCache.h"
#include "DuplicateSearch.h"
#include "EventHook.h"
#include "FileScan.h"
#include "ProgressForm.h"
#include "WindowRules.h"
#include "WorkspaceWidgets.h"

#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPainter>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>

namespace quorvane {

namespace {

QFont DesignFont(const QString& family, int pixelSize, bool bold, bool italic = false)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

void SetTextColor(QWidget* widget, const QColor& color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, color);
    widget->setPalette(pal);
}

} // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent), FMessageBoxes(std::make_unique<TMessageBoxes>(this))
{
    FMessages = FMessageBoxes.get();
    setupUi(this);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    // The balloon hint replaces the plain tooltip for every control.
    KelpHint1 = CreateMainWindowKelpHint(this);
    setupFonts();
    setupPanels();
    setupStatusBar();
    setupResultList();
    setupMenus();
    connectHandlers();
    setupPreview();
    setupSlides();
    setupWorkspace();
    setupFiles();
    setupLanguage();
    setupSimilar();
    setupFormats();
    setupFilters();
    setupOptionalColumns();
    setupSelection();
    setupDiskCommands();
    setupReplaceCommands();
    setupRowCommands();
    setupResultCommands();
    setupViewerOptions();
    setupProtection();
    setupNotRead();
    // The controls made in code take their texts and places as the others.
    ApplyInterfaceTexts();
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    // The capture infos read in this session are there for the next one.
    if (FCaptureCache) FCaptureCache->Save(DefaultCaptureCachePath());
}

void TfrmMain::SetUserMessages(IUserMessages* messages)
{
    FMessages = messages ? messages : FMessageBoxes.get();
}

void TfrmMain::ShowException(const QString& message)
{
    FMessages->ShowApplicationError(message);
}

void TfrmMain::setupFonts()
{
    const QString arial = QStringLiteral("Arial");
    const QFont title = DesignFont(arial, 32, true, true);
    Label3->setFont(title);
    Label4->setFont(title);
    SetTextColor(Label3, Qt::black);
    SetTextColor(Label4, Qt::gray);
    for (QLabel* label : {lblVersion, lblDate}) {
        label->setFont(DesignFont(arial, 16, true));
        SetTextColor(label, Qt::gray);
    }
    for (QPushButton* button : {btnAddDir, btnSubDir, btnClearDir})
        button->setFont(DesignFont(arial, 12, true));
    StatusBar->setFont(DesignFont(arial, 16, true));
    Label1->setFont(DesignFont(arial, 24, true, true));
    SetTextColor(Label1, Qt::red);
}

void TfrmMain::setupPanels()
{
    Panel2->SetColor(Qt::black);
    Panel2->SetCaptionFont(DesignFont(QStringLiteral("標楷體"), 48, false));
    Panel2->SetCaptionColor(Qt::gray);
    // Five large characters that spell the program's name; each panel shows
    // its own while its slide is hidden.
    const QString captions[5] = {QStringLiteral("夸"), QStringLiteral("爾"), QStringLiteral("沃"),
                                 QStringLiteral("凡"), QStringLiteral("恩")};
    const QColor colors[5] = {Qt::red, QColor(255, 128, 64), Qt::yellow, QColor(0, 128, 0), Qt::blue};
    TPanel* const slides[5] = {pnImage1, pnImage2, pnImage3, pnImage4, pnImage5};
    for (int k = 0; k < 5; ++k) {
        slides[k]->SetCaptionFont(DesignFont(QStringLiteral("標楷體"), 64, false));
        slides[k]->SetCaptionColor(colors[k]);
        slides[k]->SetCaption(captions[k]);
        slides[k]->setLineWidth(2);
    }
    UpDown1->SetRange(0, 9999);
    UpDown1->SetIncrement(10);
    UpDown1->SetPosition(200);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
}

void TfrmMain::setupStatusBar()
{
    StatusPanel0 = new QLabel(StatusBar);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(80);
    StatusPanel1 = new QLabel(StatusBar);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    for (QLabel* panel : {StatusPanel0, StatusPanel1}) {
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setContentsMargins(2, 0, 2, 0);
    }
    // 25 pixels as designed, unless the installed face that stands in for
    // Arial is taller than Arial: the text must not be cut.
    StatusBar->setFixedHeight(std::max(25, QFontMetrics(StatusBar->font()).height() + 7));
    StatusBar->addWidget(StatusPanel0, 0);
    StatusBar->addWidget(StatusPanel1, 1);
}

void TfrmMain::setupMenus()
{
    auto addMenu = [this](const char* name) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addItem = [](QMenu* menu, const char* name, const char* text) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    PopupMenu1 = addMenu("PopupMenu1");
    miNextGroup = addItem(PopupMenu1, "miNextGroup", "Next Group [Ctrl+Down]");
    miPriorGroup = addItem(PopupMenu1, "miPriorGroup", "Prior Group [Ctrl+Up]");
    PopupMenu1->addSeparator();
    miOpen = addItem(PopupMenu1, "miOpen", "Open");
    miViewFull = addItem(PopupMenu1, "miViewFull", "View Image In Full Size");
    miPreview = addItem(PopupMenu1, "miPreview", "Preview");
    miAcdsee = addItem(PopupMenu1, "miAcdsee", "Open With ACDSee");
    miUltraEdit = addItem(PopupMenu1, "miUltraEdit", "Open With UltraEdit");
    PopupMenu1->addSeparator();
    miDelete = addItem(PopupMenu1, "miDelete", "Delete");
    PopupMenu2 = addMenu("PopupMenu2");
    miView = addItem(PopupMenu2, "miView", "View Image In Full Size");
    PopupMenu3 = addMenu("PopupMenu3");
    miAddItem = addItem(PopupMenu3, "miAddItem", "Add");
    PopupMenu3->addSeparator();
    miDelItems = addItem(PopupMenu3, "miDelItems", "Delete");
    miDelAllItems = addItem(PopupMenu3, "miDelAllItems", "Delete All");
}

void TfrmMain::connectHandlers()
{
    connect(btnFindDuplicates, &QPushButton::clicked, this, &TfrmMain::btnFindDuplicatesClick);
    connect(btnFindAll, &QPushButton::clicked, this, &TfrmMain::btnFindAllClick);
    // toggled, not clicked: a state restored by the options store enables
    // "CC" the same way as a click.
    connect(ckSize, &QCheckBox::toggled, this, &TfrmMain::ckSizeClick);
    connect(lvFiles->header(), &QHeaderView::sectionClicked, this, &TfrmMain::lvFilesColumnClick);
    connect(FModel, &QAbstractItemModel::rowsAboutToBeRemoved, this, &TfrmMain::lvFilesDeletion);
    connect(FModel, &TFileListModel::NameEdited, this, &TfrmMain::lvFilesEdited);
    connect(lvFiles, &QWidget::customContextMenuRequested, this, &TfrmMain::lvFilesContextMenu);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TfrmMain::PopupMenu1Popup);
    connect(miNextGroup, &QAction::triggered, this, &TfrmMain::miNextGroupClick);
    connect(miPriorGroup, &QAction::triggered, this, &TfrmMain::miPriorGroupClick);
    Image->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Image, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu2->popup(Image->mapToGlobal(at)); });
    lstDir->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstDir, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu3->popup(lstDir->viewport()->mapToGlobal(at)); });
    Label4->installEventFilter(this);
    Image1->installEventFilter(this);
}

void TfrmMain::FormCreate()
{
    FListReady = true;
    FIgnoreListChange = false;
    FHandCursor = QCursor(QPixmap(QStringLiteral(":/art/handpoint.png")), 9, 1);
    Image1->setCursor(FHandCursor);
    Label4->setCursor(FHandCursor);
    Image1->setPixmap(QPixmap(QStringLiteral(":/art/logo.png")));
    Timer1->stop();
    Timer1->setInterval(edTime->text().toInt());
    lblVersion->setText(QStringLiteral("Version: 0.51"));
    lblDate->setText(QStringLiteral("Date: 4/23/1998"));
    pgOptions->setCurrentIndex(0);
    PlaceDelayEdit();
}

void TfrmMain::FormShow()
{
    // The list side starts 550 pixels wide; the preview pane takes the rest.
    Splitter1->setSizes({550, std::max(0, Splitter1->width() - 550 - Splitter1->handleWidth())});
    FormResize();
    LoadOptions();
    SetLanguage(rbEnglish->isChecked() ? 1 : 2);
}

void TfrmMain::FormResize()
{
    Image1->move(CentredLogoLeft(width(), Bevel3->x(), Bevel3->width(), Image1->width()), Image1->y());
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // A window restored from the task bar is shown again spontaneously; the
    // options are restored only when the program shows the window.
    if (!event->spontaneous() && !FShownOnce) {
        FShownOnce = true;
        RunGuarded([this] { FormShow(); });
    }
}

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TfrmMain::PlaceDelayEdit()
{
    const QString text = Label5->text();
    const TSpaceRun gap = LongestSpaceRun(text);
    if (gap.Length == 0) return;
    const QFontMetrics metrics(Label5->font());
    const int gapLeft = Label5->x() + metrics.horizontalAdvance(text.left(gap.Start));
    int gapWidth = metrics.horizontalAdvance(text.mid(gap.Start, gap.Length));
    // Where the text runs past the page (the Chinese one does), the run of
    // spaces under the edit gives up the difference, and the label draws
    // its two parts on either side of the edit itself.
    const int room = Bevel4->x() + Bevel4->width() - Label5->x();
    const int overflow = metrics.horizontalAdvance(text) - room;
    const int upDownWidth = UpDown1->width();
    FDelayLabelGap = 0;
    if (overflow > 0) {
        gapWidth = std::max(gapWidth - overflow, upDownWidth + 28);
        FDelayLabelGap = gapWidth;
        if (!FDelayLabelHook)
            FDelayLabelHook = new TEventHook(Label5, this, [this](QObject*, QEvent* event) {
                return event->type() == QEvent::Paint && FDelayLabelGap > 0 && PaintDelayLabel();
            });
    }
    Label5->update();
    const int editWidth = std::max(gapWidth - upDownWidth - 4, 24);
    // One pixel taller than the label, so it stays clear of the radio
    // button above and inside the page below.
    const int top = Label5->y();
    const int height = Label5->height() + 1;
    edTime->setGeometry(gapLeft + 2, top, editWidth, height);
    UpDown1->setGeometry(gapLeft + 2 + editWidth, top, upDownWidth, height);
}

bool TfrmMain::PaintDelayLabel()
{
    const QString text = Label5->text();
    const TSpaceRun gap = LongestSpaceRun(text);
    const QString head = text.left(gap.Start);
    const int headWidth = QFontMetrics(Label5->font()).horizontalAdvance(head);
    QPainter painter(Label5);
    painter.setFont(Label5->font());
    const QRect all = Label5->contentsRect();
    const int flags = Qt::AlignLeft | Qt::AlignVCenter;
    QStyle* style = Label5->style();
    style->drawItemText(&painter, all, flags, Label5->palette(), Label5->isEnabled(), head,
                        Label5->foregroundRole());
    style->drawItemText(&painter, all.adjusted(headWidth + FDelayLabelGap, 0, 0, 0), flags, Label5->palette(),
                        Label5->isEnabled(), text.mid(gap.Start + gap.Length), Label5->foregroundRole());
    return true;
}

QString TfrmMain::StatusText(int panel) const
{
    return panel == 0 ? StatusPanel0->text() : StatusPanel1->text();
}

void TfrmMain::SetStatusText(int panel, const QString& text, bool repaintNow)
{
    (panel == 0 ? StatusPanel0 : StatusPanel1)->setText(text);
    if (repaintNow) StatusBar->repaint();
}

void TfrmMain::ckSizeClick()
{
    ApplyCriteriaEnabling();
}

TSearchCriteria TfrmMain::Criteria() const
{
    TSearchCriteria criteria;
    if (ckSimilar->isChecked()) { // the other criteria do not count
        criteria.Size = false;
        return criteria;
    }
    criteria.Name = ckName->isChecked();
    criteria.Size = ckSize->isChecked();
    criteria.CC = ckCC->isChecked();
    criteria.AllBytes = ckAllBytes->isChecked();
    criteria.Time = ckTime->isChecked();
    return criteria;
}

std::vector<std::string> TfrmMain::InputDirectories() const
{
    std::vector<std::string> directories;
    directories.reserve(static_cast<std::size_t>(lstDir->count()));
    for (int i = 0; i < lstDir->count(); ++i)
        directories.push_back(DirectoryBytes(*lstDir->item(i)).toStdString());
    return directories;
}

} // namespace quorvane
