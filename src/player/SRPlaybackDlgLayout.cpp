// The controls of the player window: the play area (ScrollBox1 with PlayPanel and its hidden
// panels), the controls panel with the seven flat buttons, their captions, the seek bar and
// the time display, and the timers. Every control carries its own name as object name. The
// window's first size keeps to the screen, and the controls panel to a width that shows every
// button and the time.
#include "player/SRPlaybackDlg.h"

#include "controls/PlayTrackBar.h"
#include "controls/UserPaintPanel.h"
#include "player/ButtonHints.h"
#include "player/TimeText.h"
#include "render/CursorPicture.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace vsr {

namespace {

constexpr int cClientWidth = 792;
constexpr int cClientHeight = 566;
constexpr int cControlsHeight = 55;
constexpr int cButtonTop = 6;
constexpr int cButtonSize = 29;
constexpr int cCaptionTop = 38;
constexpr int cCaptionWidth = 55;
constexpr int cCaptionHeight = 13;
constexpr int cTrackBarLeft = 376;
constexpr int cTrackBarTop = 11;
constexpr int cTrackBarHeight = 29;
constexpr int cTrackBarRightGap = cClientWidth - cTrackBarLeft - 346;
constexpr int cTimeLabelWidth = 62;
constexpr int cTimeLabelHeight = 53;
constexpr int cTimeLabelRightGap = cClientWidth - 729;
constexpr int cTimeLabelGap = cTrackBarRightGap - cTimeLabelRightGap; // after the seek bar
// Narrowest seek bar beside the time on one line, and beside the time on two lines.
constexpr int cOneLineTrackBarWidth = 150;
constexpr int cMinTrackBarWidth = 40;
constexpr int cControlsMinWidth = cTrackBarLeft + cMinTrackBarWidth + cTrackBarRightGap;
// Room left on the screen for the title bar and frame, unknown before the window is shown.
constexpr QSize cFrameRoom(16, 48);

void PaintBlack(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::black);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QImage CursorImage() {
    const auto pixels = TCursorPicture::Instance().ArgbPixels();
    QImage image(TCursorPicture::Width, TCursorPicture::Height, QImage::Format_ARGB32);
    for (int y = 0; y < TCursorPicture::Height; ++y)
        std::copy_n(pixels.data() + y * TCursorPicture::Width, TCursorPicture::Width,
                    reinterpret_cast<TPixel32*>(image.scanLine(y)));
    return image;
}

// The designed size within the screen's available area, never narrower than the controls.
QSize FirstSize(const QScreen* screen) {
    QSize size(cClientWidth, cClientHeight);
    if (screen)
        size = size.boundedTo(screen->availableGeometry().size() - cFrameRoom);
    return size.expandedTo(QSize(cControlsMinWidth, cControlsHeight));
}

} // namespace

void TSRPlaybackDlg::CreateControls() {
    auto* central = new QWidget(this);
    central->setObjectName("ClientArea");
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    CreatePlayArea(central);
    CreateControlsPanel(central);
    layout->addWidget(ScrollBox1, 1);
    layout->addWidget(ControlsPanel);
    setCentralWidget(central);
    resize(FirstSize(screen()));
    // A clamped window is centred, frame included, so that a placement meant for the designed
    // size cannot push its controls off the screen.
    if (screen() && size() != QSize(cClientWidth, cClientHeight)) {
        const QRect area = screen()->availableGeometry();
        const QSize spare = area.size() - size() - cFrameRoom;
        move(area.topLeft() + QPoint(spare.width() / 2, spare.height() / 2));
    }
    MStretch = new QAction("Stretch To Fit", this);
    MStretch->setObjectName("MStretch");
    MStretch->setCheckable(true);
    MStretch->setChecked(true);
    CursorImg = CursorImage();
    CreateTimers();
}

void TSRPlaybackDlg::CreatePlayArea(QWidget* parent) {
    ScrollBox1 = new QScrollArea(parent);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setAlignment(Qt::AlignCenter);
    ScrollBox1->installEventFilter(this);
    PaintBlack(ScrollBox1);
    PlayPanel = new TUserPaintPanel;
    PlayPanel->setObjectName("PlayPanel");
    PlayPanel->setFrameShape(QFrame::NoFrame);
    PaintBlack(PlayPanel);
    PlayPanel->OnPaint = [this](TUserPaintPanel& sender) { PlayPanelPaint(sender); };
    ScrollBox1->setWidget(PlayPanel);
    InfoPanel = new QFrame(PlayPanel);
    InfoPanel->setObjectName("InfoPanel");
    InfoPanel->hide();
    CreateStreamStatusPanel();
}

void TSRPlaybackDlg::CreateStreamStatusPanel() {
    StreamStatusPanel = new QFrame(PlayPanel);
    StreamStatusPanel->setObjectName("StreamStatusPanel");
    StreamStatusPanel->setFrameShape(QFrame::Panel);
    StreamStatusPanel->setAutoFillBackground(true);
    // The picture panel's black would hide the status text: the panel has the usual colours,
    // set one by one, as a palette set whole without changes is inherited.
    QPalette usual = QApplication::palette();
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText})
        usual.setColor(role, usual.color(role));
    StreamStatusPanel->setPalette(usual);
    StreamStatusPanel->setGeometry(208, 236, 378, 41);
    StreamStatusLabel = new QLabel(StreamStatusPanel);
    StreamStatusLabel->setObjectName("StreamStatusLabel");
    StreamStatusLabel->setAlignment(Qt::AlignCenter);
    StreamStatusLabel->setGeometry(0, 0, 378, 20);
    StreamProgress = new QProgressBar(StreamStatusPanel);
    StreamProgress->setObjectName("StreamProgress");
    StreamProgress->setGeometry(0, 20, 378, 21);
    StreamStatusPanel->hide();
}

void TSRPlaybackDlg::CreateControlsPanel(QWidget* parent) {
    ControlsPanel = new QFrame(parent);
    ControlsPanel->setObjectName("ControlsPanel");
    ControlsPanel->setFixedHeight(cControlsHeight);
    ControlsPanel->setMinimumWidth(cControlsMinWidth);
    ControlsPanel->installEventFilter(this);
    ToStartButton = CreateButton("ToStartButton", 17, TGlyph::ToStart, "To Begin");
    RewindButton = CreateButton("RewindButton", 68, TGlyph::Rewind, "Rewind");
    PlayButton = CreateButton("PlayButton", 120, TGlyph::Play, "Play Current Loaded File");
    PauseButton = CreateButton("PauseButton", 172, TGlyph::Pause, "Pause");
    StopButton = CreateButton("StopButton", 224, TGlyph::Stop, "Stop");
    FFWButton = CreateButton("FFWButton", 276, TGlyph::FastForward, "Fast Forward");
    LoadButton = CreateButton("LoadButton", 331, TGlyph::Load, "Load VSR File");
    LoadButton->setEnabled(true);
    CreateCaption("Label8", "To Begin", 4);
    CreateCaption("Label6", "Rewind", 55);
    CreateCaption("Label1", "Play", 107);
    CreateCaption("Label2", "Pause", 159);
    CreateCaption("Label3", "Stop", 211);
    CreateCaption("Label7", "FFwd", 263);
    CreateCaption("Label4", "Load", 318);
    AudioTrackBar = new TPlayTrackBar(ControlsPanel);
    AudioTrackBar->setObjectName("AudioTrackBar");
    AudioTrackBar->OnMouseDown = [this](TCustomSliderBar& sender, const TSliderMouse& mouse,
                                        TMousePress& press) {
        AudioTrackBarMouseDown(sender, mouse, press);
    };
    TimeLabel = new QLabel(ControlsPanel);
    TimeLabel->setObjectName("TimeLabel");
    TimeLabel->setAlignment(Qt::AlignCenter);
    PlaceControls();
    connect(ToStartButton, &QToolButton::clicked, this, [this] { ToStartButtonClick(); });
    connect(RewindButton, &QToolButton::clicked, this, [this] { RewindButtonClick(); });
    connect(PlayButton, &QToolButton::clicked, this, [this] { PlayButtonClick(); });
    connect(PauseButton, &QToolButton::clicked, this, [this] { PauseButtonClick(); });
    connect(StopButton, &QToolButton::clicked, this, [this] { StopButtonClick(); });
    connect(FFWButton, &QToolButton::clicked, this, [this] { FFWButtonClick(); });
    connect(LoadButton, &QToolButton::clicked, this, [this] { MOpenClick(); });
}

// The hint is the status tip and the tool tip; the tool tip gains its keys once the language
// file's texts are on the window.
QToolButton* TSRPlaybackDlg::CreateButton(const char* name, int left, TGlyph glyph,
                                          const char* hint) {
    auto* button = new QToolButton(ControlsPanel);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIcon(GlyphIcon(glyph));
    button->setIconSize(QSize(cGlyphSize, cGlyphSize));
    button->setGeometry(left, cButtonTop, cButtonSize, cButtonSize);
    button->setStatusTip(hint);
    button->setToolTip(hint);
    button->installEventFilter(this);
    button->setEnabled(false);
    return button;
}

void TSRPlaybackDlg::CreateCaption(const char* name, const char* text, int left) {
    auto* label = new QLabel(text, ControlsPanel);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(left, cCaptionTop, cCaptionWidth, cCaptionHeight + 4);
}

void TSRPlaybackDlg::CreateTimers() {
    UpdateTimer = CreateTimer("UpdateTimer", 500);
    HeaderDelayTimer = CreateTimer("HeaderDelayTimer", 0);
    TrailerDelayTimer = CreateTimer("TrailerDelayTimer", 0);
    Timer1 = CreateTimer("Timer1", 1000);
    Timer2 = CreateTimer("Timer2", 10000);
    HideMouseTimer = CreateTimer("HideMouseTimer", 1000);
    connect(UpdateTimer, &QTimer::timeout, this, [this] { UpdateTimerTimer(); });
    connect(HeaderDelayTimer, &QTimer::timeout, this, [this] { HeaderDelayTimerTimer(); });
    connect(TrailerDelayTimer, &QTimer::timeout, this, [this] { TrailerDelayTimerTimer(); });
}

QTimer* TSRPlaybackDlg::CreateTimer(const char* name, int intervalMs) {
    auto* timer = new QTimer(this);
    timer->setObjectName(name);
    timer->setInterval(intervalMs);
    return timer;
}

// The seek bar stretches with the panel; the time display keeps to its right edge, on one line
// where the seek bar keeps a fair width beside it.
void TSRPlaybackDlg::PlaceControls() {
    const int width = ControlsPanel->width() > 0 ? ControlsPanel->width() : cClientWidth;
    const int oneLine = OneLineTimeWidth(*TimeLabel);
    const bool fits = width - 1 - oneLine - cTimeLabelGap - cTrackBarLeft >= cOneLineTrackBarWidth;
    const int labelWidth = fits ? std::max(oneLine, cTimeLabelWidth) : cTimeLabelWidth;
    const int labelLeft = width - 1 - labelWidth;
    AudioTrackBar->setGeometry(cTrackBarLeft, cTrackBarTop,
                               std::max(0, labelLeft - cTimeLabelGap - cTrackBarLeft),
                               cTrackBarHeight);
    TimeLabel->setGeometry(labelLeft, 1, labelWidth, cTimeLabelHeight);
    RefitTimeText(*TimeLabel);
}

bool TSRPlaybackDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ControlsPanel && event->type() == QEvent::Resize)
        PlaceControls();
    else if (watched == ScrollBox1 && event->type() == QEvent::Resize) {
        UpdateLayout();
        PlaceSearchPanel();
    } else if (event->type() == QEvent::ToolTip && watched->parent() == ControlsPanel &&
               qobject_cast<QToolButton*>(watched)) {
        ShowToolTipAbove(*static_cast<QWidget*>(watched), *ControlsPanel);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace vsr
