#pragma once
// TSRPlaybackDlg: the player window. It owns the open recording (reader, voice track,
// overlay, off-screen picture and the voice track's temporary file), plays it with the
// playback loop on the worker thread of BackExec1 against the audio clock of AudioPlayback,
// paints the picture on PlayPanel and drives the transport buttons.
//
// The class is split by concern over several files: SRPlaybackDlg.cpp (creation, destruction,
// messages), SRPlaybackDlgLayout.cpp (controls), SRPlaybackDlgLifeCycle.cpp (opening and
// closing a recording), SRPlaybackDlgLoop.cpp (the loop and the audio side),
// SRPlaybackDlgPaint.cpp (painting and layout of the picture), SRPlaybackDlgTransport.cpp
// (buttons, timers, end of playback), SRPlaybackDlgSeekBar.cpp (seek bar and time display) and
// SRPlaybackDlgSearch.cpp (finding text on the screen).
//
// Threads: everything runs on the main thread except BackExec1Exec and what it calls
// (PlayTime, WaitUntil, UpdateCursorPos), which run on the worker. The worker shares only
// FBitmap (under its canvas lock), the two events and the atomic fields below; it reports an
// error by a private message, never by touching a widget.

#include "audio/AudioOut.h"
#include "audio/SmoothClock.h"
#include "audio/SpxStream.h"
#include "audio/VoiceShaper.h"
#include "base/BackExec.h"
#include "platform/Event.h"
#include "platform/MessageQueue.h"
#include "player/ButtonGlyphs.h"
#include "player/ExportRun.h"
#include "player/PlayerStartUp.h"
#include "player/SearchRun.h"
#include "recording/AppendedRecording.h"
#include "recording/CustomScreenRecorderPlaybackFile.h"
#include "recording/ScreenRecorderOverlayFile.h"
#include "render/Bitmap32.h"
#include "render/Geometry.h"
#include "render/Snapshot.h"
#include "search/TextSearch.h"

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QRect>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPainter;
class QShowEvent;
class QKeyEvent;
class QDragEnterEvent;
class QDropEvent;
class QProgressBar;
class QProgressDialog;
class QScrollArea;
class QTimer;
class QToolButton;

namespace vsr {

class TPicture;
class TPlayTrackBar;
class TTileDecoder;
class TUserPaintPanel;
class TCustomSliderBar;
class TEventHook;
class THoverPreview;
class TInternational;
class TScreenRecorderPlaybackStream;
class TSearchPanel;
struct TSliderMouse;
enum class TMousePress;

// Private messages of the window.
inline constexpr std::uint32_t cStartSourceMessage = cFirstUserMessage + 10; // 1034
inline constexpr std::uint32_t cCloseSourceMessage = cFirstUserMessage + 90; // 1114
// An error of the playback loop, to be shown on the main thread.
inline constexpr std::uint32_t cLoopErrorMessage = cFirstUserMessage + 100; // 1124
// The loop has drawn a whole screen update: the picture is to be repainted.
inline constexpr std::uint32_t cRepaintMessage = cFirstUserMessage + 110;

// Audio format of the player's wave output: 200 ms buffers of 8000 Hz 16-bit mono.
inline constexpr std::int32_t cPlaybackBufferSize = 3200;
inline constexpr std::int32_t cPlaybackFrameRate = 8000;
inline constexpr std::int32_t cPcmBytesPerMs = 16;

// "1.25×": a speed as the overlay and the Speed menu show it.
std::string SpeedText(double speed);

// "h:mm:ss" for a whole number of seconds, with the given separator.
std::string FormatTime(std::int64_t seconds, std::string_view separator);

class TSRPlaybackDlg : public QMainWindow {
    Q_OBJECT
    friend struct TSRPlaybackDlgKeys;

public:
    // Creates the window in its framed view with the controls shown and the picture
    // stretched to fit.
    explicit TSRPlaybackDlg(QWidget* parent = nullptr);
    // Closes the recording; releases and deletes the sound library copy, if one was given.
    ~TSRPlaybackDlg() override;
    TSRPlaybackDlg(const TSRPlaybackDlg&) = delete;
    TSRPlaybackDlg& operator=(const TSRPlaybackDlg&) = delete;

    // Closes the current recording and opens and plays name. False when opening failed; the
    // error has then been shown and no recording is open.
    bool OpenRecording(const std::string& name);
    void CloseRecording();
    // The temporary copy of the sound library that main() wrote and chose.
    void SetSndKitCopy(std::string fileName) { FSndKitCopy = std::move(fileName); }

    // Observers of the playback state (main thread).
    const TBitmap32* Bitmap() const { return FBitmap.get(); }
    bool HasRecording() const { return FReader != nullptr; }
    bool Playing() const { return FPlaying; }
    bool AudioActive() const { return AudioPlayback.Active(); }
    bool RunFinished() const { return BackExec1.Finished(); }
    TPoint CursorPos() const { return {FCursorX, FCursorY}; }
    const std::string& AudioFile() const { return FAudioFile; }
    const TScreenRecorderOverlayFile* Overlay() const { return FOverlay.get(); }
    // The audio clock in ms; any thread.
    std::uint32_t PlayTime() const;
    std::int64_t HeardBytes() const;
    // The voice's position restarts at position (bytes of the voice track).
    void RestartClock(std::int64_t position);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class TStreamPass { Read, Wait, Leave };

    // Creation (SRPlaybackDlg.cpp).
    void WireComponents();
    void MessageReceived(const TMessage& message);
    void FormCloseQuery();
    void FormDestroy();
    void ShowMouseCursor(bool show);

    // Controls (SRPlaybackDlgLayout.cpp).
    void CreateControls();
    void CreatePlayArea(QWidget* parent);
    void CreateStreamStatusPanel();
    void CreateControlsPanel(QWidget* parent);
    QToolButton* CreateButton(const char* name, int left, TGlyph glyph, const char* hint);
    void CreateCaption(const char* name, const char* text, int left);
    void CreateTimers();
    QTimer* CreateTimer(const char* name, int intervalMs);
    void PlaceControls();

    // Life cycle (SRPlaybackDlgLifeCycle.cpp).
    void OpenFile(const std::string& name);
    void ExtractAudio(TStream& source, std::int64_t audioOffset);
    void PrepareBitmap(std::int32_t width, std::int32_t height);
    void MOpenClick();

    // The playback loop and the audio side (SRPlaybackDlgLoop.cpp).
    void BackExec1Exec(TCustomBackExec& sender);
    TStreamPass StreamUnderflowPass();
    void DrawFrame(TMemoryStream& payload, std::uint32_t time, std::int32_t x, std::int32_t y,
                   TTileDecoder& decoder);
    bool WaitRunEvent();
    void FinalWait(std::uint32_t lastTime, std::int64_t frames);
    void WaitUntil(std::uint32_t time);
    void UpdateCursorPos(std::uint32_t time);
    void RequestRepaint();
    void AddDirty(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
    bool AudioPlaybackFillBuffer(std::span<std::byte> buffer, std::int32_t& size);

    // Painting (SRPlaybackDlgPaint.cpp).
    void PlayPanelPaint(TUserPaintPanel& sender);
    TRect FitRect() const;
    void RepaintChanges();
    void UpdateLayout();
    void DrawCentred(const TPicture* picture);

    // Transport (SRPlaybackDlgTransport.cpp).
    void PlayButtonClick();
    void PlayFromBeginning();
    void EndActiveRun();
    void PauseButtonClick();
    void StopButtonClick();
    void ToStartButtonClick();
    void RewindButtonClick();
    void FFWButtonClick();
    void JumpKeyFrame(bool forward);
    void StopRunAndWait();
    void StartRun(const char* origin);
    void HeaderDelayTimerTimer();
    void TrailerDelayTimerTimer();
    void AudioPlaybackStop();
    void AudioRanDry();
    void BackExec1Finished();
    void BackExec1Error(const std::exception& error);
    void ShowLoopErrors();
    void EndOfPlayback();
    void OpenLink(const std::string& link);

    // Seek bar and time display (SRPlaybackDlgSeekBar.cpp).
    void ClearSeekBar();
    void SetupSeekBar();
    void UpdateTimerTimer();
    void AudioTrackBarMouseDown(TCustomSliderBar& sender, const TSliderMouse& mouse,
                                TMousePress& press);
    void ShowTimes(std::uint32_t elapsedSeconds);

    // Controls (owned by Qt's parent chain).
    QScrollArea* ScrollBox1 = nullptr;
    TUserPaintPanel* PlayPanel = nullptr;
    QFrame* StreamStatusPanel = nullptr;
    QLabel* StreamStatusLabel = nullptr;
    QProgressBar* StreamProgress = nullptr;
    QPointer<QFrame> InfoPanel;
    QFrame* ControlsPanel = nullptr;
    QToolButton* ToStartButton = nullptr;
    QToolButton* RewindButton = nullptr;
    QToolButton* PlayButton = nullptr;
    QToolButton* PauseButton = nullptr;
    QToolButton* StopButton = nullptr;
    QToolButton* FFWButton = nullptr;
    QToolButton* LoadButton = nullptr;
    TPlayTrackBar* AudioTrackBar = nullptr;
    QLabel* TimeLabel = nullptr;
    QAction* MStretch = nullptr;
    QImage CursorImg;
    QTimer* UpdateTimer = nullptr;
    QTimer* HeaderDelayTimer = nullptr;
    QTimer* TrailerDelayTimer = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* HideMouseTimer = nullptr;

    // The open recording.
    std::unique_ptr<TCustomScreenRecorderPlaybackFile> FReader;
    std::unique_ptr<TSpxStream> FAudioStream;
    std::unique_ptr<TBitmap32> FBitmap;
    std::unique_ptr<TScreenRecorderOverlayFile> FOverlay;
    std::string FAudioFile;
    std::string FExtractedFile;
    std::string FSndKitCopy;

    // Shared with the worker.
    TEvent FStopEvent;
    TEvent FRunEvent;
    std::atomic<bool> FPlaying = false;
    std::atomic<bool> FBuffering = false;
    std::atomic<bool> FRepaintPosted = false; // one repaint message at a time
    std::mutex FDirtyLock;
    TRect FDirty; // the picture's area drawn since the last repaint
    std::atomic<std::int32_t> FLastX = -1;
    std::atomic<std::int32_t> FLastY = -1;
    std::atomic<std::int32_t> FCursorX = 0;
    std::atomic<std::int32_t> FCursorY = 0;
    std::mutex FLoopErrorLock;
    std::deque<std::string> FLoopErrors;

    TRect FPaintedCursor; // in the panel, where the cursor was last painted
    bool FFullScreen = false;
    bool FOutsideMenu = true;
    bool FCursorShown = true;

    // Start-up, menus, full screen, pointer (SRPlaybackDlgStartUp.cpp, SRPlaybackDlgMenus.cpp,
    // SRPlaybackDlgPointer.cpp).
public:
    // Builds the window and runs its start-up for startUp: the framed view with "/debug",
    // otherwise full screen; in TStartUpMode::Program it registers the player and opens the
    // source (the file or address argument, else the recording appended to the executable)
    // once it is shown.
    explicit TSRPlaybackDlg(const TPlayerStartUp& startUp, QWidget* parent = nullptr);
    bool FullScreen() const { return FFullScreen; }
    bool OutsideMenu() const { return FOutsideMenu; }
    bool CursorShown() const { return FCursorShown; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum class TMenuLoop { Enter, Exit };

    void BuildWindow();
    void FormCreate(const TPlayerStartUp& startUp);
    void RegisterSilently();
    void FormShow();
    void StartSource();
    void ExtractAppendedRecording();
    void ShowOpenHint();
    void CreateMenus();
    void CreateHintPanel();
    void TePopupMenu1Popup();
    void MMaximizeClick();
    void MTrackBarVisibleClick();
    void MMinimizetoTaskbarClick();
    void MCloseClick();
    void ControlHook1BeforeMsg(TMenuLoop message);
    bool PlayPanelEvent(QEvent* event);
    void Timer1Timer();
    void Timer2Timer();
    void HideMouseTimerTimer();
    void PlayPanelMouseMove(QPoint position);
    void PlayPanelMouseDown();

    QMenu* TePopupMenu1 = nullptr;
    QAction* MMaximize = nullptr;
    QAction* MRestore = nullptr;
    QAction* MTrackBarVisible = nullptr;
    QAction* MMinimizetoTaskbar = nullptr;
    QAction* MOpen = nullptr;
    QAction* MOpenURL = nullptr;
    QAction* MClose = nullptr;
    QFrame* HintPanel = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* InfoLabel = nullptr;
    TInternational* International1 = nullptr;
    TEventHook* ControlHook1 = nullptr;
    TEventHook* PlayPanelHook = nullptr;
    std::string FExePath;
    std::string FSourceArgument;
    TStartUpMode FStartUpMode = TStartUpMode::WindowOnly;
    bool FSourceStarted = false;
    bool FMouseMoveInstalled = false;
    QRect FSavedBounds;
    QPoint FLastMouse{-1, -1};
    std::unique_ptr<TRandomNames> FRandomNames;
    // The extracted copy of the appended recording; removed when the window goes.
    std::unique_ptr<TTempFile> FExtractedCopy;

    // Streaming (SRPlaybackDlgStream.cpp): a recording opened from a streaming address plays
    // from the events of its TScreenRecorderPlaybackStream.
public:
    // Asks for a streaming address and opens it (any other text is opened as a file).
    void MOpenURLClick();

private:
    void OpenStream(const std::string& address);
    TScreenRecorderPlaybackStream* StreamReader() const;
    void StreamMessageReceived(const TMessage& message);
    void StreamLastPartStarted();
    void StreamLastPartProgress();
    void StreamFirstPartProgress();
    void StreamLastPartHeadArrived();
    void OpenStreamVoice(TScreenRecorderPlaybackStream& stream);
    void TryStartStream(const TScreenRecorderPlaybackStream& stream, const char* why);
    bool VoiceAhead() const;
    // The loop waits for pictures, or the output for the voice, of a stream.
    bool Buffering() const { return FBuffering || AudioPlayback.Starved(); }
    void StreamLastPartFinished(TScreenRecorderPlaybackStream& stream);
    void StreamFirstPartFinished(TScreenRecorderPlaybackStream& stream);
    void StreamError(const std::string& message);
    void HideStreamStatus();
    bool StreamMayStartPlayback() const;
    void StartStreamPlayback(const char* why);
    // Posted to by the download workers; created with the first stream.
    std::unique_ptr<TMessageTarget> FStreamMessages;
    // AudioPlayback.Paused as it was when the loop began to wait for data (worker only).
    bool FPausedBeforeBuffering = false;

    // Watching (SRPlaybackDlgSeek.cpp, SRPlaybackDlgKeys.cpp, SRPlaybackDlgDrop.cpp): exact
    // seek, keys, the go-to box, the overlay texts, dropped files and addresses.
public:
    // Shows the picture, pointer and voice position at ms (clamped to the recording); resumes
    // if it was playing, otherwise stays paused there. False, with the reason in the status
    // panel, where the recording cannot seek yet (a stream before its last part).
    bool SeekTo(std::uint32_t ms);
    // The recording's length in ms: the later of its pictures' and its voice's end.
    std::uint32_t RecordingLength() const;
    // The shown overlay text (speed, volume), empty when none shows.
    std::string OverlayText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateWatching();
    void SeekBy(std::int64_t deltaMs);
    bool SeekAllowed(std::uint32_t ms) const;
    void SetTransportRunning(bool paused);
    void ShowStatusText(std::string_view text);
    void ShowOverlayText(const std::string& text);
    void PlayPauseKey();
    void GoToTimeClick();
    void ToggleFullScreen();
    void MRestoreClick();
    void CloseOrQuit();
    void ToggleShortcutHelp();
    void ShowKeysInMenu();
    // The keys of a button or menu entry (object name): "Space", "Ctrl+O"; empty when none.
    static QString KeysOf(const QString& target);
    void PlayPanelDoubleClick();
    void ChangeSpeed(int steps);
    void SetSpeed(double speed);
    void ChangeVolume(int steps);
    void ToggleMute();
    // Speed and volume of the voice; its count of what was played is the audio clock.
    TVoiceShaper FShaper;
    mutable TSmoothClock FClock{cPcmBytesPerMs, 2};
    // The record the last seek's composition read past; the loop starts with it.
    TNextFrame FNextFrame;
    QLabel* OverlayLabel = nullptr;
    QTimer* OverlayTimer = nullptr;
    QTimer* StatusTextTimer = nullptr; // while it runs, the status panel shows a short text
    QLabel* ShortcutHelp = nullptr;
    QAction* MGoToTime = nullptr;
    QAction* MExport = nullptr;
    QAction* MCloseRecording = nullptr;
    QAction* MShortcuts = nullptr;
    QAction* MAbout = nullptr;
    QMenu* MSpeed = nullptr;

    // Export to ordinary video (SRPlaybackDlgExport.cpp): a save dialog, then the export on a
    // worker with a progress dialog; playback pauses while it runs.
public:
    void MExportClick();
    bool Exporting() const { return FExport != nullptr; }

private:
    bool ExportAllowed() const;
    void StartExport(const std::string& fileName);
    void ExportProgressed(std::int64_t done, std::int64_t frames);
    void ExportEnded(const std::string& error, bool cancelled);
    void CancelExport();
    std::unique_ptr<TExportRun> FExport;
    QPointer<QProgressDialog> ExportProgress;
    bool FResumeAfterExport = false;

    // Hover preview over the seek bar (SRPlaybackDlgPreview.cpp): created once a recording's
    // whole file can be read, destroyed when it closes.
    void CreatePreview();
    void DestroyPreview();
    bool AudioTrackBarEvent(QEvent* event);
    std::unique_ptr<TEventHook> FPreviewHook;
    std::unique_ptr<THoverPreview> FPreview;

    // Finding text on the screen (SRPlaybackDlgSearch.cpp): the recording's text index is
    // opened on a worker at the first search and dropped with the recording; the matches are
    // listed under the field and marked on the seek bar, and the one chosen is sought to with
    // its words outlined for a while.
public:
    // The index is being opened, built or waited for.
    bool TextIndexRunning() const { return FSearchRun != nullptr; }

private:
    void CreateSearch();
    bool SearchAllowed() const;
    void OpenSearch();
    // False when the field was not open.
    bool CloseSearch();
    // With the recording: cancels the index's build and forgets the index.
    void EndSearch();
    void PlaceSearchPanel();
    void StartTextIndex();
    void TextIndexWaiting();
    void TextIndexProgress(std::uint32_t doneMs, std::uint32_t totalMs);
    void TextIndexFinished(std::optional<TOpenedIndex> index, const std::string& error);
    void RunSearch();
    void ChooseMatch(int entry);
    void PaintOutline(QPainter& canvas, const TRect& fit);
    // The status panel stays for the build's progress.
    bool IndexingText() const { return FIndexBuilding; }
    TSearchPanel* SearchPanel = nullptr;
    QAction* MFindText = nullptr;
    QTimer* OutlineTimer = nullptr;
    std::unique_ptr<TSearchRun> FSearchRun;
    std::optional<TTextIndex> FTextIndex;
    std::string FIndexNote; // while there is no index: its state, or why there is none
    bool FIndexBuilding = false;
    std::vector<TTextMatch> FMatches; // as listed
    std::vector<TRect> FOutline;      // the chosen match's words, in the recording's pixels

    // Components; the message target last, so that it goes first.
    TAudioOut AudioPlayback;
    TBackExec BackExec1;
    std::unique_ptr<TMessageTarget> FMessages;
};

} // namespace vsr
